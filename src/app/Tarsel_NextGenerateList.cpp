// The main window's list as data: "Export list..." of the window's menu, which writes the
// listed cameras in the command line's CSV columns.

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>

#include "app/CameraTableModel.h"
#include "app/ListDlg.h"
#include "app/MessageOKDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "common/stdafx.h"
#include "controls/UiText.h"
#include "engine/CameraCsv.h"

// The rows in the order shown; a camera the filter hides is not listed.
std::vector<CameraListing> CTarsel_NextGenerateDlg::ListedCameras() {
    const CameraListProxy* proxy = m_cameraList->Proxy();
    std::vector<CameraListing> listed;
    listed.reserve(static_cast<size_t>(proxy->rowCount()));
    for (int row = 0; row < proxy->rowCount(); ++row) {
        const int source = proxy->mapToSource(proxy->index(row, 0)).row();
        if (const CameraEntry* entry = m_cameraList->Model()->EntryAt(source)) listed.push_back(ListingOfEntry(*entry));
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
