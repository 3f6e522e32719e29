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
// The warnings in plain words of the window's language, one line each.
QString WarningNote(const std::vector<std::string>& warnings) {
    QStringList lines;
    for (const std::string& warning : warnings) {
        if (warning == kWarningDuplicateIp) lines << UiText(20128);
        else if (warning == kWarningForeignSubnet) lines << UiText(20129);
    }
    return lines.join(QLatin1Char('\n'));
}
}  // namespace

// Every camera the engine knows, hidden by a filter or not, takes part: a duplicate that
// the filter hides is still a duplicate.
std::vector<CameraListing> CTarsel_NextGenerateDlg::JudgedCameras() const {
    std::vector<CameraListing> cameras;
    for (const CameraRecord& record : m_engine->CopyCameras()) cameras.push_back(ListingOfRecord(record));
    AddWarnings(cameras, adapterSubnets);
    return cameras;
}

void CTarsel_NextGenerateDlg::RefreshWarnings() {
    QHash<QString, QString> notes;
    for (const CameraListing& camera : JudgedCameras())
        if (!camera.warnings.empty()) notes.insert(QString::fromStdString(camera.mac), WarningNote(camera.warnings));
    m_cameraList->List()->SetRowNotes(notes);
}

std::vector<CameraListing> CTarsel_NextGenerateDlg::ListedCameras() const {
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
    TLOG("(%s:%d)Export to %s failed: %s", path.toUtf8().constData(), file.errorString().toUtf8().constData());
    const QStringList texts = {UiText(20126), QDir::toNativeSeparators(path), UiText(20127)};
    m_resultBox->ShowResult(1, &texts);
    return false;
}
