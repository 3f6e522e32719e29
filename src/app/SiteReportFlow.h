#pragma once
// "Site report..." of the window's own menu: the listed cameras, in the list's order, as the
// site report (engine/SiteReport.h). Pictures come from the verified cameras, with the
// credentials their verification stored, five at a time on a worker while a progress box
// with Cancel shows how far it is; then a save dialog, a file written whole or not at all,
// and the offer to open it in the default browser.
//
// The flow is a child of the window and runs on the window's thread. The worker gets
// copies of everything it needs and reports only by queued calls to the flow, which Qt
// drops once the flow is gone; the flow's destructor cancels the worker and waits for it
// (an HTTP request under way is aborted within about a second).

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "engine/SiteReport.h"

class CTarsel_NextGenerateDlg;
class QDialog;
class QLabel;
class QProgressBar;

class CSiteReportFlow : public QObject {
    Q_OBJECT
public:
    // The window's flow (made on first use), started. The menu item calls this.
    static void Open(CTarsel_NextGenerateDlg* window);

    explicit CSiteReportFlow(CTarsel_NextGenerateDlg* window);
    ~CSiteReportFlow() override;

    // Takes the listed cameras and fetches the pictures of the verified ones (or goes
    // straight to saving when there is none to fetch). Does nothing while a report is
    // under way.
    void Start();
    bool Busy() const { return m_busy; }
    // Writes the report of the cameras taken to path; on failure the window's result box
    // says why and no file is left. True when written.
    bool WriteTo(const QString& path);
    // The progress box while pictures are fetched, else null.
    QDialog* progressBox() const { return m_progress; }

    // Where to save ("" gives up) and whether to open the saved file; the window's save
    // dialog and a question box unless a test sets them.
    std::function<QString()> choosePath;
    std::function<bool()> askOpen;
    // The site's name for the report's heading, asked before the file ("" leaves it out).
    std::function<QString()> askSite;

signals:
    // The flow is over: written or not (cancelled, no file chosen, write failed).
    void finished(bool written);

private:
    void OnProgress(int done, int total);
    void OnFetched(std::vector<ReportPicture> pictures, bool cancelled);
    void Save();
    void Finish(bool written);

    CTarsel_NextGenerateDlg* m_window;
    std::vector<SiteReportCamera> m_cameras;
    QString m_site;  // the name the user gave, for the heading
    std::vector<size_t> m_asked;  // the cameras whose picture is fetched
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    QDialog* m_progress = nullptr;
    QLabel* m_progressText = nullptr;
    QProgressBar* m_progressBar = nullptr;
    bool m_busy = false;
};
