#include "app/SiteReportFlow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "common/WindowTextIds.h"
#include "common/stdafx.h"
#include "controls/UiText.h"
#include "engine/CameraRecord.h"
#include "engine/TSmain.h"
#include "platform/ProfileFile.h"

namespace {

// "Fetching pictures... %d of %d" with the numbers in place; the translated text is never
// used as a format.
QString FetchingText(int done, int total) {
    QString text = UiText(TEXT_REPORT_FETCHING);
    for (int value : {done, total}) {
        const qsizetype at = text.indexOf(QLatin1String("%d"));
        if (at >= 0)
            text.replace(at, 2, QString::number(value));
    }
    return text;
}

}  // namespace

void CSiteReportFlow::Open(CTarsel_NextGenerateDlg* window) {
    auto* flow = window->findChild<CSiteReportFlow*>(QString(), Qt::FindDirectChildrenOnly);
    if (flow == nullptr)
        flow = new CSiteReportFlow(window);
    flow->Start();
}

CSiteReportFlow::CSiteReportFlow(CTarsel_NextGenerateDlg* window)
    : QObject(window), m_window(window) {
    choosePath = [this] {
        QString title = UiText(TEXT_SITE_REPORT_MENU);
        title.remove(QChar(0x2026));
        // In the folder of the last report of this run, else the home folder.
        static QString lastFolder = QDir::homePath();
        const QString path = QFileDialog::getSaveFileName(
            m_window, title, QDir(lastFolder).filePath(QStringLiteral("site-report.html")),
            QStringLiteral("HTML (*.html)"));
        if (!path.isEmpty()) lastFolder = QFileInfo(path).absolutePath();
        return path;
    };
    askSite = [this] {
        QString title = UiText(TEXT_SITE_REPORT_MENU);
        title.remove(QChar(0x2026));
        return QInputDialog::getText(m_window, title, UiText(kTextSiteName)).trimmed();
    };
    askOpen = [this] {
        QMessageBox box(QMessageBox::Question, UiText(TEXT_SITE_REPORT),
                        UiText(TEXT_REPORT_OPEN_QUESTION), QMessageBox::NoButton, m_window);
        QPushButton* open = box.addButton(UiText(TEXT_REPORT_OPEN), QMessageBox::AcceptRole);
        box.addButton(UiText(20104), QMessageBox::RejectRole);  // "Close"
        box.setDefaultButton(open);
        box.exec();
        return box.clickedButton() == open;
    };
}

CSiteReportFlow::~CSiteReportFlow() {
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

void CSiteReportFlow::Start() {
    if (m_busy)
        return;
    m_busy = true;
    m_cancel = false;
    m_cameras.clear();
    m_asked.clear();
    std::vector<PictureSource> sources;
    for (CameraListing& camera : m_window->ListedCameras()) {
        SiteReportCamera c{std::move(camera), false, {}};
        c.picture.missing = PictureMissing::NotVerified;
        CameraRecord record{};
        std::string user, password;
        if (c.camera.protocol == "onvif") {
            // An ONVIF device's picture comes through the engine, which keeps what it accepted.
            c.verified = c.camera.onvif != nullptr &&
                         m_window->engine().Table().StatusOf(OnvifKey(c.camera.onvif->endpoint).c_str()) ==
                             STATUS_INDEX_VERIFIED;
        } else if (m_window->engine().CopyCamera(c.camera.mac.c_str(), &record)) {
            c.verified = m_window->IsCameraVerified(record.mac) || HasStatus(&record, STATUS_AUTH_OK);
            user = record.user;
            if (c.verified)
                m_window->engine().CredentialsOf(record.mac, &user, &password);
        }
        if (c.verified) {
            m_asked.push_back(m_cameras.size());
            sources.push_back(ReportPictureSource(&m_window->engine(), c.camera, user, password));
        }
        m_cameras.push_back(std::move(c));
    }
    if (sources.empty()) {
        Save();
        return;
    }
    const int total = static_cast<int>(sources.size());
    // A box of its own rather than a modal QProgressDialog, which runs the window's events
    // from inside every update and so would let the flow end beneath its own call.
    m_progress = new QDialog(m_window);
    m_progress->setWindowTitle(UiText(TEXT_SITE_REPORT));
    m_progress->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(m_progress);
    m_progressText = new QLabel(FetchingText(0, total), m_progress);
    m_progressBar = new QProgressBar(m_progress);
    m_progressBar->setRange(0, total);
    m_progressBar->setValue(0);
    auto* cancel = new QPushButton(UiText(20025), m_progress);  // "Cancel"
    layout->addWidget(m_progressText);
    layout->addWidget(m_progressBar);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    m_progress->setMinimumWidth(360);
    // Cancel, Escape and closing the box all end the fetching.
    connect(cancel, &QPushButton::clicked, m_progress, &QDialog::reject);
    connect(m_progress, &QDialog::rejected, this, [this] { m_cancel = true; });
    m_progress->show();
    m_worker = std::thread([this, sources = std::move(sources)] {
        std::vector<ReportPicture> pictures = FetchReportPictures(
            sources, kReportFetchesAtOnce, m_cancel, [this](size_t done, size_t total) {
                QMetaObject::invokeMethod(
                    this,
                    [this, done, total] {
                        OnProgress(static_cast<int>(done), static_cast<int>(total));
                    },
                    Qt::QueuedConnection);
            });
        const bool cancelled = m_cancel.load();
        QMetaObject::invokeMethod(
            this,
            [this, pictures = std::move(pictures), cancelled]() mutable {
                OnFetched(std::move(pictures), cancelled);
            },
            Qt::QueuedConnection);
    });
}

void CSiteReportFlow::OnProgress(int done, int total) {
    if (m_progress == nullptr || m_cancel)
        return;
    m_progressBar->setValue(done);
    m_progressText->setText(FetchingText(done, total));
}

void CSiteReportFlow::OnFetched(std::vector<ReportPicture> pictures, bool cancelled) {
    if (m_worker.joinable())
        m_worker.join();  // it has posted its last call
    if (m_progress != nullptr) {
        m_progress->deleteLater();
        m_progress->hide();
        m_progress = nullptr;
    }
    if (cancelled) {
        Finish(false);
        return;
    }
    for (size_t k = 0; k < m_asked.size() && k < pictures.size(); ++k)
        m_cameras[m_asked[k]].picture = std::move(pictures[k]);
    Save();
}

void CSiteReportFlow::Save() {
    m_site = askSite ? askSite() : QString();
    const QString path = choosePath ? choosePath() : QString();
    if (path.isEmpty()) {
        Finish(false);
        return;
    }
    const bool written = WriteTo(path);
    if (written && askOpen && askOpen() && m_window->openUrl)
        m_window->openUrl(QUrl::fromLocalFile(path));
    Finish(written);
}

bool CSiteReportFlow::WriteTo(const QString& path) {
    const std::string html = SiteReportHtml(ThisPcHeader(m_site.toStdString()), m_cameras, true);
    if (tarsel::ReplaceFileAtomically(QFile::encodeName(path).toStdString(), html))
        return true;
    TLOG("(%s:%d)Site report to %s failed", path.toUtf8().constData());
    const QStringList texts = {UiText(TEXT_REPORT_NOT_WRITTEN), QDir::toNativeSeparators(path),
                               UiText(20127)};
    m_window->resultBox()->ShowResult(1, &texts);
    return false;
}

void CSiteReportFlow::Finish(bool written) {
    m_busy = false;
    emit finished(written);
}
