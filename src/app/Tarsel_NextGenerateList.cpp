// The main window's list as data: the warnings its rows show, and "Export list..." of the
// window's menu, which writes the listed cameras in the command line's CSV columns.

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>

#include "app/ListDlg.h"
#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "common/stdafx.h"
#include "controls/TvListCtrl.h"
#include "controls/UiText.h"
#include "engine/CameraCsv.h"
#include "engine/CameraWarnings.h"
#include "engine/TSmain.h"

namespace {
// The host's adapters are asked again after this many ticks: often enough to follow an
// address the installer gives this PC, rarely enough for a list that updates every few ms.
constexpr uint32_t kSubnetsValidMs = 1000;
}  // namespace

void CTarsel_NextGenerateDlg::NotePlace(const CameraRecord& record) {
    const QByteArray place = QByteArray(record.ip) + '/' + record.adapterName + (record.viaHttp == 1 ? "/h" : "");
    QByteArray& known = m_places[QString::fromUtf8(record.mac)];
    if (known == place) return;
    known = place;
    m_warningsStale = true;
}

bool CTarsel_NextGenerateDlg::SubnetsExpired() const {
    return !m_subnetsKept || m_ports.Now() - m_subnetsSince >= kSubnetsValidMs;
}

// Every camera the engine knows, hidden by a filter or not, takes part: a duplicate that
// the filter hides is still a duplicate.
std::vector<CameraListing> CTarsel_NextGenerateDlg::JudgedCameras() {
    if (SubnetsExpired()) {
        m_subnets.clear();
        m_subnetsSince = m_ports.Now();
        m_subnetsKept = true;
    }
    std::vector<CameraListing> cameras;
    for (const CameraRecord& record : m_engine->CopyCameras()) cameras.push_back(ListingOfRecord(record));
    AddWarnings(cameras, [this](const std::string& name) {
        auto it = m_subnets.find(name);
        if (it == m_subnets.end()) it = m_subnets.emplace(name, adapterSubnets(name)).first;
        return it->second;
    });
    return cameras;
}

void CTarsel_NextGenerateDlg::RefreshWarnings() {
    m_warningsStale = false;
    // The warnings in plain words of the window's language, one line each.
    const QString duplicate = UiText(20128), foreign = UiText(20129);
    QHash<QString, QString> notes;
    for (const CameraListing& camera : JudgedCameras()) {
        QStringList lines;
        for (const std::string& warning : camera.warnings)
            lines << (warning == kWarningDuplicateIp ? duplicate : foreign);
        if (!lines.isEmpty()) notes.insert(QString::fromStdString(camera.mac), lines.join(QLatin1Char('\n')));
    }
    m_cameraList->List()->SetRowNotes(notes);
    m_notes = notes;
}

std::vector<CameraListing> CTarsel_NextGenerateDlg::ListedCameras() {
    const std::vector<CameraListing> all = JudgedCameras();
    QHash<QString, size_t> byMac;
    for (size_t i = 0; i < all.size(); ++i) byMac.insert(QString::fromStdString(all[i].mac), i);
    std::vector<CameraListing> listed;
    const CTvListCtrl* list = m_cameraList->List();
    for (int row = 0; row < list->GetItemCount(); ++row) {
        const auto it = byMac.constFind(list->GetItemText(row, 1));
        if (it == byMac.constEnd()) continue;
        listed.push_back(all[*it]);
        listed.back().status = StatusIndexText(list->GetRowStatus(row));
    }
    return listed;
}

void CTarsel_NextGenerateDlg::ExportList() {
    QString title = UiText(20125);
    title.remove(QChar(0x2026));
    const QString path = QFileDialog::getSaveFileName(this, title, QDir::home().filePath(QStringLiteral("cameras.csv")),
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty()) ExportListTo(path);
}

// The file appears whole or not at all: the text goes to a temporary file beside it, which
// replaces the target only once everything is written.
bool CTarsel_NextGenerateDlg::ExportListTo(const QString& path) {
    const std::string text = CameraCsv(ListedCameras());
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
                         file.commit();
    if (written) return true;
    TLOG_WARNING("(%s:%d)Export to %s failed: %s", path.toUtf8().constData(), file.errorString().toUtf8().constData());
    const QStringList texts = {UiText(20126), QDir::toNativeSeparators(path), UiText(20127)};
    m_resultBox->ShowResult(1, &texts);
    return false;
}
