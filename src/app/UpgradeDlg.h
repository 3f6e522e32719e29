#pragma once
// The firmware upgrade page: the firmware file, the cameras being upgraded with their
// progress, and credentials to verify cameras with. It owns the upgrade worker and one item
// per camera ever queued here. Two pop-ups belong to it: the camera selection and the
// "Remove" menu.
//
// Tab goes through the page in reading order; Enter in the password field verifies.
//
// Threads: everything runs on the window's thread. The upgrade workers report progress on
// their own threads; the page copies each report into a queued call and handles it here.
// An item is freed only once it reads UPGRADE_DONE and its worker has returned.

#include <QHash>
#include <QSet>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "engine/CameraRecord.h"
#include "web/UpgradeProc.h"

class CRmListDlg;
class CSelCameraDlg;
class CTvListCtrl;
class CustButton;
class CustCheckBox;
class CustEdit;
class CustStatic;
class QToolButton;

class CUpgradeDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxUploads = 5;

    explicit CUpgradeDlg(QWidget* parent = nullptr);
    ~CUpgradeDlg() override;

    // Owner slots, each called with m_context on the window's thread.
    void* m_context = nullptr;
    void (*getCameras)(void* context, std::vector<CameraRecord>* cameras) = nullptr;
    bool (*findCamera)(void* context, const char* mac, CameraRecord* record) = nullptr;
    // The credentials the camera accepted, for its upload; false when none.
    bool (*findCredentials)(void* context, const char* mac, std::string* user, std::string* password) = nullptr;
    void (*showMessage)(void* context, int code) = nullptr;
    void (*getMainRect)(void* context, QRect* rect) = nullptr;
    void (*onProgress)(void* context, const char* mac, int percent) = nullptr;
    // A camera's upgrade was queued: it is busy until onProgress reports 100 or -1.
    void (*onQueued)(void* context, const char* mac) = nullptr;
    void (*verify)(void* context, const char* user, const char* password) = nullptr;

    // Queues one camera (from the selection pop-up or the main window's upgrade commands).
    void AddAndStart(const CameraRecord& record);
    // Takes a chosen firmware file, as the "..." button does after its file chooser; refused
    // with message 9 while an upgrade runs.
    bool ChooseFirmware(const QString& path);
    // Removes the ticked rows; nothing at all while one of them is still upgrading.
    void RemoveTicked();
    // Removes the row of `mac` (the right-click menu's row); refused while it upgrades.
    void RemoveRow(const QString& mac);
    void ToggleCameraSelection();
    // True while some camera of the page is not finished.
    bool AnyRunning();
    void ReloadTexts();

    CTvListCtrl* List() const { return m_list; }
    CSelCameraDlg* Selection() const { return m_selection; }
    CRmListDlg* RemoveMenu() const { return m_removeMenu; }
    CustEdit* UserEdit() const { return m_user; }
    CustEdit* PasswordEdit() const { return m_password; }
    CustButton* VerifyButton() const { return m_verify; }
    CustCheckBox* SelectAllBox() const { return m_selectAll; }
    CustStatic* SummaryLabel() const { return m_summary; }
    UpgradeProc& Proc() { return *m_proc; }
    size_t ItemCount() const { return m_items.size(); }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static void ProgressFromWorker(void* context, const char* mac, int percent);
    static bool LookupFromWorker(void* context, const char* mac, UpgradeCameraInfo* info);
    static bool OnRow(void* context, int row, int kind);
    void OnProgress(const QString& mac, int percent);
    void OnBrowse();
    void ShowRow(UpgradeItem* item);
    UpgradeItem* FindItem(const QString& mac);
    bool IsDone(UpgradeItem* item);
    // Finished and let go by its worker: only then may the item be freed.
    bool Removable(UpgradeItem* item);
    void DeleteRow(int row);
    void Message(int code);
    void SetColumnTitles();
    // Gives every failed row its reason as the row's note, in the current language.
    void ShowFailureNotes();
    // Every finished row's final state ("Upgraded to" its new firmware) and the page's
    // count of upgraded, failed and skipped cameras, in the current language.
    void ShowOutcomes();

    std::unique_ptr<UpgradeProc> m_proc;
    std::vector<std::unique_ptr<UpgradeItem>> m_items;
    QHash<QString, uint32_t> m_failures;  // MAC -> UpgradeFailure of its last upgrade
    QHash<QString, QString> m_upgraded;   // MAC -> the firmware it reports since ("" unknown)
    QSet<QString> m_skipped;              // asked for but never started (not verified)
    CustStatic* m_summary;
    CustEdit* m_path;
    QToolButton* m_select;
    QToolButton* m_remove;
    CustCheckBox* m_selectAll;
    CTvListCtrl* m_list;
    CustEdit* m_user;
    CustEdit* m_password;
    CustButton* m_verify;
    CSelCameraDlg* m_selection;
    CRmListDlg* m_removeMenu;
    QString m_menuRowMac;
};
