// The main window's command flows: verifying a camera from the login panel and keeping its
// credentials, the batch verification, Save, opening a camera's web page, and the reboot
// and factory-default commands with their selection check and confirmation. Everything
// here runs on the window's thread; what waits on a camera (an HTTP verification, a
// setting or a command sent over HTTP, the batch) runs on the window's workers and reports
// back by a queued call, so a slow camera never freezes the window.

#include <QDesktopServices>
#include <QFontMetrics>
#include <QToolButton>
#include <QUrl>
#include <cstring>

#include "app/AlartDlg.h"
#include "app/BehaviorDlg.h"
#include "app/CombineDlg.h"
#include "app/DefaultDlg.h"
#include "app/InfoDlg.h"
#include "app/ListDlg.h"
#include "app/LoginVerifier.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "common/stdafx.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/BatchVerify.h"
#include "engine/CameraCommands.h"
#include "engine/CommandChecks.h"
#include "engine/TSmain.h"

namespace {
CTarsel_NextGenerateDlg* Owner(void* context) { return static_cast<CTarsel_NextGenerateDlg*>(context); }

// The message line that tells what is wrong with Save's input.
int SaveProblemText(SaveProblem problem) {
    switch (problem) {
        case SAVE_NAME_CHARACTERS: return 20113;
        case SAVE_NAME_TOO_LONG: return 20114;
        case SAVE_BAD_ADDRESS: return 20115;
        case SAVE_BAD_MASK: return 20116;
        case SAVE_BAD_GATEWAY: return 20117;
        case SAVE_BAD_PORT: return 20118;
        default: return 20119;
    }
}
constexpr int kCorrectAndSaveAgain = 20121;
constexpr int kNoWebPage = 20120;
constexpr int kCameraDidNotAnswer = 20130;
constexpr int kTargetNameWidth = 130;  // pixels: five names fit the confirmation's three lines

QStringList BatchLines(const BatchCounts& counts) {
    return {QStringLiteral("%1: %2").arg(UiText(20067)).arg(counts.sent),
            QStringLiteral("%1: %2").arg(UiText(20068)).arg(counts.ok),
            QStringLiteral("%1: %2").arg(UiText(20069)).arg(counts.fail)};
}
}  // namespace

void CTarsel_NextGenerateDlg::WireFlows() {
    m_cameraPanel->m_context = this;
    m_cameraPanel->onVerify = [](void* context, const char* mac, const char* user, const char* password) {
        Owner(context)->StartVerification(mac, user, password);
    };
    m_cameraPanel->onCancelVerify = [](void* context) { Owner(context)->m_verifier->Cancel(); };
    m_cameraPanel->onSave = [](void* context) { Owner(context)->ApplySettings(); };
    m_cameraPanel->onCancel = [](void* context) { Owner(context)->ReloadPanel(); };

    m_verifier = new CLoginVerifier(m_engine.get(), this);
    m_verifier->onAnswer = [this](const VerifyAnswer& answer) { OnVerifyAnswer(answer); };

    m_commandBar->onWebsite = [](void* context) { Owner(context)->OpenWebsite(); };
    m_commandBar->onInitialize = [](void* context) {
        auto* self = Owner(context);
        const QWidget* button = self->commandBar()->Button(CBehaviorDlg::kInitialize);
        self->initialiseChooser()->Toggle(QRect(button->mapTo(self, QPoint(0, 0)), button->size()));
    };
    m_defaultChooser->m_context = this;
    m_defaultChooser->onCommand = [](void* context, const char* command) { Owner(context)->PrepareCommand(command); };
    m_alertDialog->onConfirm = [](void* context, const char* command) { Owner(context)->ConfirmCommand(command); };
    m_alertDialog->onCancel = [](void* context) { Owner(context)->CancelCommand(); };
    if (!openUrl) openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void CTarsel_NextGenerateDlg::StopFlows() {
    // The verifier and the workers use the engine: they end before it.
    delete m_verifier;
    m_verifier = nullptr;
    m_flowWorkers.JoinAll();
}

void CTarsel_NextGenerateDlg::ShowTextMessage(int line1Id, int line2Id) {
    m_messageDialog->SetDisplaySeconds(3);
    m_messageDialog->SetLines(line1Id, line2Id, 0);
    m_messageDialog->ShowTimed();
}

// ---------------------------------------------------------------------------------------
// Verification

void CTarsel_NextGenerateDlg::StartVerification(const char* mac, const char* user, const char* password) {
    m_verifier->Start(mac, user, password);
}

void CTarsel_NextGenerateDlg::OnVerifyAnswer(const VerifyAnswer& answer) {
    if (answer.timedOut) {
        // Silence says nothing about the password: say what happened, and the login panel
        // keeps what was typed for the next try.
        ShowTextMessage(0, kCameraDidNotAnswer);
        return;
    }
    if (!answer.ok) {
        ShowFixedMessage(1);
        return;
    }
    CameraRecord record;
    if (!m_engine->CopyCamera(answer.mac.c_str(), &record)) return;  // gone with a new search
    StoreCredentials(record.ip, answer.mac.c_str(), answer.user.c_str(), answer.password.c_str());
}

void CTarsel_NextGenerateDlg::StoreCredentials(const char* ip, const char* mac, const char* user,
                                               const char* password) {
    m_engine->SetCameraAuth(ip, mac, user, password);
    RememberAuthenticated(mac);
    m_engine->Table().SetStatus(mac, STATUS_INDEX_VERIFIED);
    m_cameraList->CheckIfSelectAll(mac);
    // The answer belongs to the camera asked about: the panel changes only if it still
    // shows that camera.
    if (std::strcmp(currentMac, mac) == 0)
        OnCameraSelected(mac);
    else
        UpdateCommandBar();
}

void CTarsel_NextGenerateDlg::VerifyAll(const char* user, const char* password) {
    // One batch at a time; a batch ends by itself within seconds of the last answer.
    if (m_engine->Mode() == MODE_VERIFY_ALL) return;
    m_resultBox->ShowResult(0, nullptr);
    const std::string u = user, p = password;
    CTSmainDlg* engine = m_engine.get();
    CWorkerThreads* workers = &m_flowWorkers;
    m_flowWorkers.Start([this, engine, workers, u, p] {
        auto show = [this](const BatchCounts& counts, bool done) {
            QMetaObject::invokeMethod(this, [this, counts, done] {
                const QStringList lines = BatchLines(counts);
                for (int i = 0; i < 3; ++i) m_resultBox->Line(i)->setText(lines[i]);
                if (!done) return;
                // A refused camera says so in its row: the engine reports passes as they
                // come, refusals only in its counts.
                for (const CameraRecord& copy : m_engine->CopyCameras())
                    if (copy.credentialsStored == 0 && HasStatus(&copy, STATUS_AUTH_FAIL))
                        m_engine->Table().SetStatus(copy.mac, STATUS_INDEX_VERIFY_FAIL);
                m_resultBox->OkButton()->setEnabled(true);
            }, Qt::QueuedConnection);
        };
        const BatchCounts counts = RunBatchVerification(
            *engine, u.c_str(), p.c_str(), [engine](const CameraRecord& copy) { return engine->Table().IsMacListed(copy.mac); },
            [&show](const BatchCounts& now) { show(now, false); }, 5000, [workers] { return workers->Stopping(); });
        show(counts, true);
    });
}

// ---------------------------------------------------------------------------------------
// Save

void CTarsel_NextGenerateDlg::ApplySettings() {
    CInfoDlg* info = m_cameraPanel->Info();
    const std::string mac = info->Mac();
    CameraRecord record;
    CameraEntry entry;
    if (mac != currentMac || !m_engine->CopyCamera(currentMac, &record)) return;
    if (m_engine->Table().Find(mac.c_str(), &entry)) {
        const bool upgraded = entry.statusIndex == STATUS_INDEX_PROGRESS && entry.progress == 100;
        if (entry.statusIndex != STATUS_INDEX_VERIFIED && !upgraded) {
            ShowFixedMessage(9);
            return;
        }
    }
    // Refused before anything shows or goes out: a value that would split into other
    // settings, or an address a manual camera could not use.
    const CameraSettingsRequest request = info->Request();
    const SaveProblem problem = CheckSaveInput(request);
    if (problem != SAVE_OK) {
        ShowTextMessage(SaveProblemText(problem), kCorrectAndSaveAgain);
        return;
    }
    PreparedSettings prepared;
    if (PrepareSettings(*m_engine, mac.c_str(), request, &prepared) != 0) {
        ShowTextMessage(SaveProblemText(SAVE_BAD_MODE), kCorrectAndSaveAgain);
        return;
    }
    ShowFixedMessage(3);
    // The row shows "Setting" already; a send the camera refuses shows "No Response".
    CTSmainDlg* engine = m_engine.get();
    m_flowWorkers.Start([engine, prepared] { SendSettings(*engine, prepared); });
    ResetPanels();
}

// ---------------------------------------------------------------------------------------
// Web page

void CTarsel_NextGenerateDlg::OpenWebsite() {
    if (currentMac[0] == '\0') {
        ShowFixedMessage(4);
        return;
    }
    if (!IsCameraVerified(currentMac)) {
        ShowFixedMessage(0);
        return;
    }
    CameraRecord record;
    if (!m_engine->CopyCamera(currentMac, &record)) return;
    OnOpenWebsite(record.ip, record.httpPort, record.mac);
}

void CTarsel_NextGenerateDlg::OnOpenWebsite(const char* ip, const char* port, const char*) {
    std::string url;
    // Only a page the camera's own address names: a dotted address and a port, no host
    // names, paths or anything a browser could take as an option.
    if (!CameraPageUrl(ip, port, &url)) {
        TLOG_NOTICE("(%s:%d)No web page for %s:%s", ip, port);
        ShowTextMessage(0, kNoWebPage);
        return;
    }
    openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}

// ---------------------------------------------------------------------------------------
// Reboot and factory defaults

void CTarsel_NextGenerateDlg::PrepareCommand(const char* command) {
    std::vector<CommandRow> checked;
    const CameraTable& table = m_engine->Table();
    // Busy: a setting or an upgrade under way, which another command would cut short.
    const auto busy = [&table](const char* mac) {
        return table.BusyOf(mac) != BusyAction::None || table.StatusOf(mac) == STATUS_INDEX_SETTING;
    };
    for (const QString& mac : m_cameraList->CheckedMacs()) {
        const QByteArray bytes = mac.toUtf8();
        checked.push_back({bytes.toStdString(), busy(bytes.constData())});
    }
    const int message =
        CommandSelectionMessage(checked, currentMac, busy(currentMac),
                                [this](const std::string& mac) { return IsCameraVerified(mac.c_str()); });
    if (message >= 0) {
        ShowFixedMessage(message);
        return;
    }
    // The question names what will be commanded: the checked cameras, else the selected one.
    const QString targets = CommandTargets();
    const std::string which = command;
    if (which == "SW_DEFAULT")
        m_alertDialog->ShowSoftwareDefault(targets);
    else if (which == "HW_DEFAULT")
        m_alertDialog->ShowHardwareDefault(targets);
    else
        m_alertDialog->ShowReboot(targets);
}

QString CTarsel_NextGenerateDlg::CommandTargets() const {
    QStringList macs = m_cameraList->CheckedMacs();
    if (macs.isEmpty() && currentMac[0] != '\0')
        macs << QString::fromUtf8(currentMac);
    const QFontMetrics metrics(m_alertDialog->TargetsLine()->font());
    std::vector<std::string> names;
    for (const QString& mac : macs) {
        CameraRecord record;
        const QByteArray bytes = mac.toUtf8();
        if (!m_engine->CopyCamera(bytes.constData(), &record))
            continue;  // gone with a new search
        // A camera without a name is named by its MAC, kept on one line (a word joiner after
        // each colon); a long name is shortened.
        QString name = UiCameraText(record.name);
        if (name.isEmpty())
            name = QString(mac).replace(QLatin1Char(':'), QStringLiteral(":\u2060"));
        names.push_back(metrics.elidedText(name, Qt::ElideRight, kTargetNameWidth).toStdString());
    }
    return QString::fromStdString(CommandTargetsText(names));
}

void CTarsel_NextGenerateDlg::ConfirmCommand(const char* command) {
    EnableAll();
    QStringList macs = m_cameraList->CheckedMacs();
    if (macs.isEmpty() && currentMac[0] != '\0') macs << QString::fromUtf8(currentMac);
    std::vector<std::string> asked;
    for (const QString& mac : macs) asked.push_back(mac.toStdString());
    // Each camera still listed shows "Rebooting" and counts as not verified from now on.
    const std::vector<std::string> sent = BeginCommand(*m_engine, asked);
    for (const std::string& mac : sent) m_cameraList->SetChecked(mac.c_str(), false);
    ResetPanels();
    m_alertDialog->hide();
    m_cameraList->SelectAllBox()->setChecked(false);
    if (sent.empty()) {
        // Nothing went out: saying "Rebooting camera..." would tell a lie.
        ShowFixedMessage(4);
        return;
    }
    m_messageDialog->ShowCommandProgress(command);
    CTSmainDlg* engine = m_engine.get();
    const std::string what = command;
    m_flowWorkers.Start([engine, sent, what] { SendCommand(*engine, sent, what.c_str()); });
}

void CTarsel_NextGenerateDlg::CancelCommand() {
    EnableAll();
    m_alertDialog->hide();
}
