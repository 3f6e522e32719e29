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
#include <algorithm>
#include <cstring>
#include <thread>

#include "app/AlartDlg.h"
#include "app/BehaviorDlg.h"
#include "app/CombineDlg.h"
#include "app/DefaultDlg.h"
#include "app/InfoDlg.h"
#include "app/ListDlg.h"
#include "app/LoginVerifier.h"
#include "app/MessageDlg.h"
#include "app/MessageOKDlg.h"
#include "app/OnvifInfoDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/UnauthDlg.h"
#include "common/Language.h"
#include "common/WindowTextIds.h"
#include "common/stdafx.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/BatchVerify.h"
#include "engine/CameraCommands.h"
#include "engine/CommandChecks.h"
#include "engine/TSmain.h"
#include "finder/LibIP.h"

namespace {
CTarsel_NextGenerateDlg* Owner(void* context) { return static_cast<CTarsel_NextGenerateDlg*>(context); }

constexpr int kCorrectAndSaveAgain = 20121;
constexpr int kNoWebPage = 20120;
constexpr int kCameraDidNotAnswer = 20130;
constexpr int kAuthenticationFailed = 20004;
constexpr int kTargetNameWidth = 130;
constexpr size_t kOnvifBatchReads = 8;  // ONVIF devices a batch verification reads at once  // pixels: five names fit the confirmation's three lines

// The batch's count: asked; passed and refused as they come, and once done the cameras
// that did not answer, then the names of every camera that did not pass.
QStringList BatchLines(const BatchCounts& counts, bool done, const std::vector<std::string>& notPassed) {
    QString line1 = QStringLiteral("%1: %2   %3: %4").arg(UiText(20068)).arg(counts.ok).arg(UiText(kTextRefused)).arg(counts.fail);
    if (done) line1 += QStringLiteral("   %1: %2").arg(UiText(kTextNoAnswer)).arg(counts.NoAnswer());
    return {QStringLiteral("%1: %2").arg(UiText(20067)).arg(counts.sent), line1,
            notPassed.empty() ? QString()
                              : QString::fromStdString(LoadTextWith(kTextNotPassed, {ListedNames(notPassed)}))};
}
}  // namespace

void CTarsel_NextGenerateDlg::WireFlows() {
    m_cameraPanel->m_context = this;
    m_cameraPanel->onVerify = [](void* context, const char* mac, const char* user, const char* password) {
        Owner(context)->StartVerification(mac, user, password);
    };
    m_cameraPanel->onCancelVerify = [](void* context) {
        Owner(context)->m_verifier->Cancel();
        Owner(context)->ShowVerifyBusy();
    };
    m_cameraPanel->onSave = [](void* context) { Owner(context)->ApplySettings(); };
    m_cameraPanel->onCancel = [](void* context) { Owner(context)->ReloadPanel(); };

    m_verifier = new CLoginVerifier(m_engine.get(), this);
    m_verifier->onAnswer = [this](const VerifyAnswer& answer) { OnVerifyAnswer(answer); };
    // The result box's button stops a batch verification while it counts.
    connect(m_resultBox->OkButton(), &QPushButton::clicked, this, [this] {
        if (m_batchRunning) m_batchStop.store(true);
    });

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
    if (!enumerateAdapters) enumerateAdapters = EnumerateAdapters;
    if (!openUrl) openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void CTarsel_NextGenerateDlg::StopFlows() {
    // The verifier and the workers use the engine: they end before it (a batch's ONVIF
    // reads stop at this flag).
    m_batchStop.store(true);
    delete m_verifier;
    m_verifier = nullptr;
    m_flowWorkers.JoinAll();
}

void CTarsel_NextGenerateDlg::ShowTextMessage(int line1Id, int line2Id) { ShowFailure(line1Id, line2Id); }

void CTarsel_NextGenerateDlg::ShowFailure(int line1Id, int line2Id, const QString& about) {
    // A progress message gives way: the failure is what the user must read now, and it
    // stays until OK, however long the user looked elsewhere.
    m_messageDialog->Close();
    QStringList lines;
    if (!about.isEmpty()) lines << about;
    for (int id : {line1Id, line2Id})
        if (id != 0) lines << UiText(id);
    m_resultBox->ShowResult(1, &lines);
}

QString CTarsel_NextGenerateDlg::CameraLabel(const char* mac) const {
    CameraRecord record;
    CameraEntry entry;
    // An ONVIF device has no MAC of its own: it is named by its address.
    const bool onvif = IsOnvifKey(mac) && m_engine->Table().Find(mac, &entry);
    if (onvif) record = entry.record;
    const QString name = onvif || m_engine->CopyCamera(mac, &record) ? UiCameraText(record.name) : QString();
    const QString which = onvif ? UiCameraText(record.ip) : QString::fromUtf8(mac);
    return name.isEmpty() ? which : QStringLiteral("%1 (%2)").arg(name, which);
}

// ---------------------------------------------------------------------------------------
// Verification

void CTarsel_NextGenerateDlg::StartVerification(const char* mac, const char* user, const char* password) {
    m_verifier->Start(mac, user, password);
    ShowVerifyBusy();
}

void CTarsel_NextGenerateDlg::ShowVerifyBusy() {
    // Busy only beside the camera asked about: another camera's panel may verify at once.
    const bool busy = m_verifier != nullptr && m_verifier->Pending() && m_verifier->PendingMac() == currentMac;
    m_cameraPanel->Login()->SetBusy(busy);
}

void CTarsel_NextGenerateDlg::OnVerifyAnswer(const VerifyAnswer& answer) {
    ShowVerifyBusy();
    // A failure names its camera: the user may have gone on to another since, whose panel
    // stays as it is.
    if (answer.timedOut) {
        // Silence says nothing about the password: say what happened, and the login panel
        // keeps what was typed for the next try.
        ShowFailure(kCameraDidNotAnswer, 0, CameraLabel(answer.mac.c_str()));
        return;
    }
    if (!answer.otherFailure.empty()) {
        m_messageDialog->Close();
        const QStringList lines = {CameraLabel(answer.mac.c_str()), QString::fromStdString(answer.otherFailure)};
        m_resultBox->ShowResult(1, &lines);
        return;
    }
    if (!answer.ok) {
        ShowFailure(kAuthenticationFailed, 0, CameraLabel(answer.mac.c_str()));
        return;
    }
    // The engine kept an ONVIF device's credentials and facts as it read them.
    if (IsOnvifKey(answer.mac)) {
        if (currentMac == answer.mac) OnCameraSelected(answer.mac.c_str());
        else UpdateCommandBar();
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
    if (currentMac == mac)
        OnCameraSelected(mac);
    else
        UpdateCommandBar();
}

void CTarsel_NextGenerateDlg::VerifyAll(const char* user, const char* password) {
    // One batch at a time; a batch ends by itself within seconds of the last answer, or
    // when the user presses Stop (the result box's button while it counts).
    if (m_engine->Mode() == MODE_VERIFY_ALL || m_batchRunning) return;
    m_batchRunning = true;
    m_batchStop.store(false);
    m_resultBox->ShowResult(1, nullptr);
    for (int i = 0; i < 3; ++i) m_resultBox->Line(i)->setText(QString());
    SetTextById(m_resultBox->OkButton(), kTextStop);
    const std::string u = user, p = password;
    CTSmainDlg* engine = m_engine.get();
    CWorkerThreads* workers = &m_flowWorkers;
    std::atomic<bool>* stopped = &m_batchStop;
    m_flowWorkers.Start([this, engine, workers, stopped, u, p] {
        auto show = [this](const BatchCounts& counts, const std::vector<std::string>* asked) {
            const bool done = asked != nullptr;
            std::vector<std::string> macs = done ? *asked : std::vector<std::string>();
            QMetaObject::invokeMethod(this, [this, counts, done, macs] {
                if (!done) {
                    const QStringList lines = BatchLines(counts, false, {});
                    for (int i = 0; i < 3; ++i) m_resultBox->Line(i)->setText(lines[i]);
                    return;
                }
                // A refused camera says so in its row: the engine reports passes as they
                // come, refusals only in its counts. Every camera that did not pass is named.
                std::vector<std::string> notPassed;
                for (const std::string& mac : macs) {
                    CameraEntry device;
                    if (IsOnvifKey(mac)) {
                        if (m_engine->Table().Find(mac.c_str(), &device) && !device.verified)
                            notPassed.push_back(CameraLabel(mac.c_str()).toStdString());
                        continue;
                    }
                    CameraRecord copy;
                    if (!m_engine->CopyCamera(mac.c_str(), &copy)) continue;
                    const BatchOutcome outcome = BatchOutcomeOf(copy);
                    if (outcome == BatchOutcome::Refused)
                        m_engine->Table().SetStatus(copy.mac, STATUS_INDEX_VERIFY_FAIL);
                    if (outcome != BatchOutcome::Passed) notPassed.push_back(CameraLabel(copy.mac).toStdString());
                }
                m_batchRunning = false;
                const QStringList lines = BatchLines(counts, true, notPassed);
                SetTextById(m_resultBox->OkButton(), 20012);
                // Shown again: a Stop pressed meanwhile closed the box.
                m_resultBox->ShowResult(1, &lines);
            }, Qt::QueuedConnection);
        };
        // The ONVIF devices not yet verified are read at the same time, a few at once, and
        // counted with the cameras by what their rows say afterwards. As with the cameras, a
        // device verified before is left alone: another password must not undo it.
        std::vector<std::string> onvifAsked;
        for (const CameraEntry& entry : engine->Table().Entries())
            if (entry.kind == DeviceKind::Onvif && !entry.verified) onvifAsked.push_back(entry.key);
        std::atomic<size_t> nextRead{0};
        const auto readOnvif = [&onvifAsked, &nextRead, engine, workers, stopped, u, p] {
            for (size_t at = nextRead++; at < onvifAsked.size() && !workers->Stopping() && !stopped->load(); at = nextRead++)
                engine->VerifyOnvif(onvifAsked[at], u, p);
        };
        std::vector<std::thread> onvifReads;
        for (size_t i = 0; i < std::min(onvifAsked.size(), kOnvifBatchReads); ++i) onvifReads.emplace_back(readOnvif);
        std::vector<std::string> asked;
        BatchCounts counts = RunBatchVerification(
            *engine, u.c_str(), p.c_str(), [engine](const CameraRecord& copy) { return engine->Table().IsMacListed(copy.mac); },
            [&show](const BatchCounts& now) { show(now, nullptr); }, 5000,
            [workers, stopped] { return workers->Stopping() || stopped->load(); }, &asked);
        for (std::thread& reads : onvifReads) reads.join();
        for (const std::string& key : onvifAsked) {
            CameraEntry entry;
            if (!engine->Table().Find(key.c_str(), &entry)) continue;  // gone with a new search
            ++counts.sent;
            counts.ok += entry.verified ? 1 : 0;
            counts.fail += entry.statusIndex == STATUS_INDEX_VERIFY_FAIL ? 1 : 0;
            asked.push_back(key);
        }
        show(counts, &asked);
    });
}

// ---------------------------------------------------------------------------------------
// Save

void CTarsel_NextGenerateDlg::ApplySettings() {
    CInfoDlg* info = m_cameraPanel->Info();
    const std::string mac = info->Mac();
    CameraRecord record;
    CameraEntry entry;
    // An ONVIF device is only read: its panel offers no Save.
    if (mac != currentMac || IsOnvifKey(mac) || !m_engine->CopyCamera(currentMac.c_str(), &record)) return;
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
        ShowTextMessage(SaveProblemTextId(problem), kCorrectAndSaveAgain);
        return;
    }
    // An address outside every subnet of this PC's adapters is sound, but the camera then
    // drops out of reach: only when the user says so.
    std::vector<NetworkAdapter> adapters;
    if (enumerateAdapters) enumerateAdapters(adapters);
    if (!ReachableFromAdapters(request, adapters) &&
        AskOkCancel(this, kTextUnreachable, kTextNoAdapterSubnet, kTextSendAnyway) != 1)
        return;
    PreparedSettings prepared;
    if (mac != currentMac || PrepareSettings(*m_engine, mac.c_str(), request, &prepared) != 0) {
        ShowTextMessage(SaveProblemTextId(SAVE_BAD_MODE), kCorrectAndSaveAgain);
        return;
    }
    ShowFixedMessage(3);
    // The row shows "Setting" already; a send the camera refuses shows "No Response".
    CTSmainDlg* engine = m_engine.get();
    m_flowWorkers.Start([engine, prepared] { SendSettings(*engine, prepared); });
    // The panel keeps the camera while its row stays selected (see camerasChanged).
    m_savedMac = mac;
    UpdateCommandBar();
}

// ---------------------------------------------------------------------------------------
// Web page

void CTarsel_NextGenerateDlg::OpenWebsite() {
    if (currentMac.empty()) {
        ShowFixedMessage(4);
        return;
    }
    if (IsOnvifKey(currentMac)) return OnOpenWebsite("", "", currentMac.c_str());
    if (!IsCameraVerified(currentMac.c_str())) {
        ShowFixedMessage(0);
        return;
    }
    CameraRecord record;
    if (!m_engine->CopyCamera(currentMac.c_str(), &record)) return;
    OnOpenWebsite(record.ip, record.httpPort, record.mac);
}

void CTarsel_NextGenerateDlg::OnOpenWebsite(const char* ip, const char* port, const char* mac) {
    std::string url, onvifHost, onvifPort;
    CameraEntry entry;
    if (mac != nullptr && IsOnvifKey(mac)) {
        if (!m_engine->Table().Find(mac, &entry) || entry.onvif == nullptr) return;  // gone with a new search
        OnvifPageAddress(*entry.onvif, &onvifHost, &onvifPort);
        ip = onvifHost.c_str();
        port = onvifPort.c_str();
    }
    // Only a page the camera's own address names: a dotted address and a port, no host
    // names, paths or anything a browser could take as an option.
    if (!CameraPageUrl(ip, port, &url)) {
        TLOG_NOTICE("(%s:%d)No web page for %s:%s", ip, port);
        ShowTextMessage(0, kNoWebPage);
        return;
    }
    // An ONVIF device's page is the root of its host.
    if (!onvifHost.empty()) url += '/';
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
    // With nothing checked the selected camera is meant: an ONVIF device is never commanded.
    if (checked.empty() && IsOnvifKey(currentMac)) {
        ShowFailure(kTextOnvifReadOnly, 0, CameraLabel(currentMac.c_str()));
        return;
    }
    const int message =
        CommandSelectionMessage(checked, currentMac, busy(currentMac.c_str()),
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
    if (macs.isEmpty() && !currentMac.empty())
        macs << QString::fromStdString(currentMac);
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
    if (macs.isEmpty() && !currentMac.empty()) macs << QString::fromStdString(currentMac);
    std::vector<std::string> asked;
    for (const QString& mac : macs)
        if (!IsOnvifKey(mac.toStdString())) asked.push_back(mac.toStdString());
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
