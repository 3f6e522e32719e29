#pragma once
// The upgrade page's pop-ups: the selection of cameras that may take the chosen firmware
// (verified cameras whose model fits the file's name), and the one-entry "Remove" menu.
// The selection opens with the focus on its list; Escape closes either.

#include <vector>

#include "app/PopupPanel.h"
#include "controls/CustControlsFwd.h"
#include "engine/CameraRecord.h"

class CSelCameraDlg : public CPopupPanel {
    Q_OBJECT
public:
    static constexpr int kWidth = 1060;
    static constexpr int kHeight = 400;

    explicit CSelCameraDlg(QWidget* parent = nullptr);

    void SetFirmwareName(const QString& name) { m_firmwareName = name; }
    // Lists the cameras with stored credentials whose model fits the firmware name.
    void Fill(const std::vector<CameraRecord>& cameras);
    void ReloadTexts();

    CTvListCtrl* List() const { return m_list; }
    CustButton* SelectAllButton() const { return m_selectAll; }
    CustButton* UpgradeButton() const { return m_upgrade; }
    CustButton* CancelButton() const { return m_cancel; }
    // Why the list is empty ("" while it lists cameras).
    QString EmptyNote() const;

    void* m_context = nullptr;
    // Called for every ticked row, top to bottom, once the user confirmed.
    void (*onUpgrade)(void* context, const char* mac) = nullptr;
    void (*onClose)(void* context) = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    QWidget* FirstFocus() override;
    void OnEscape() override;

private:
    void OnUpgrade();
    void ShowEmptyNote();

    QString m_firmwareName;
    bool m_allSelected = false;
    int m_emptyTextId = 0;
    CustStatic* m_emptyNote;
    CustStatic* m_title;
    CustButton* m_close;
    CTvListCtrl* m_list;
    CustButton* m_selectAll;
    CustButton* m_upgrade;
    CustButton* m_cancel;
};

class CRmListDlg : public CPopupPanel {
    Q_OBJECT
public:
    explicit CRmListDlg(QWidget* parent = nullptr);
    void ShowAt(const QPoint& topLeft);
    CTvListBox* List() const { return m_list; }

    void* m_context = nullptr;
    void (*onRemove)(void* context) = nullptr;

private:
    CTvListBox* m_list;
};

// The list columns shared by the page and the selection (header text ids).
extern const int kUpgradeColumnIds[10];
