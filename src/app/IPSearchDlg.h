#pragma once
// The IP range search dialog: finds cameras over HTTP in a range of addresses, for cameras
// that do not answer discovery. Created once by the main window and shown or hidden on
// demand; hiding it stops a running search after its current address. It opens with the
// focus on the user name; Escape stops a search under way, or closes it.
//
// Threads: the search runs on its own worker (CIpRangeSearch); what it reports is copied
// into queued calls and shown on the window's thread. Found cameras go to the owner's
// onCameraFound on the worker thread (the engine takes them from any thread).

#include <QStringList>

#include "app/PopupPanel.h"
#include "controls/CustControlsFwd.h"
#include "web/IpRangeSearch.h"

class QListWidget;

class CIPSearchDlg : public CPopupPanel {
    Q_OBJECT
public:
    static constexpr int kWidth = 404;
    static constexpr int kHeight = 600;

    explicit CIPSearchDlg(QWidget* parent = nullptr);
    ~CIPSearchDlg() override;

    // Owner slots: the main window's rectangle (for centring), the error box (three lines),
    // and the engine's entry for a camera found over HTTP (called on the search thread).
    void* m_context = nullptr;
    void (*getMainRect)(void* context, QRect* rect) = nullptr;
    void (*showResult)(void* context, const QStringList& lines) = nullptr;
    void (*onCameraFound)(void* context, const CameraReply& info) = nullptr;

    // Shows the dialog centred on the main window, or hides it when shown.
    void Toggle();
    void ShowCentred();
    // Close: stops the search, empties the failure list, hides.
    void CloseDialog();
    void StartSearch();
    void ReloadTexts();

    // The search itself; the owner sets its identity read (checkCgi).
    CIpRangeSearch& Search() { return m_search; }
    CustEdit* UserEdit() const { return m_user; }
    CustEdit* PasswordEdit() const { return m_password; }
    CustEdit* StartEdit() const { return m_start; }
    CustEdit* EndEdit() const { return m_end; }
    CustEdit* PortEdit() const { return m_port; }
    CustButton* SearchButton() const { return m_searchButton; }
    CustButton* StopButton() const { return m_stop; }
    CustButton* CloseButton() const { return m_close; }
    CustStatic* StatusLabel() const { return m_status; }
    // "n of N addresses, k found" of the search running or last run.
    CustStatic* ProgressLabel() const { return m_progress; }
    QListWidget* FailureList() const { return m_failures; }

protected:
    QWidget* FirstFocus() override;
    void OnEscape() override;

private:
    void SetSearching(bool searching);
    void ShowStatus();

    CIpRangeSearch m_search;
    CustEdit* m_user;
    CustEdit* m_password;
    CustEdit* m_start;
    CustEdit* m_end;
    CustEdit* m_port;
    CustButton* m_searchButton;
    CustButton* m_stop;
    CustButton* m_close;
    CustStatic* m_status;
    CustStatic* m_progress;
    QListWidget* m_failures;
    struct Counts {
        uint64_t checked = 0, total = 0, found = 0;
    } m_counts;
    int m_statusId = 0;  // the status shown: a text id, 0 for none
    QString m_statusAddress;
};
