#pragma once
// The pop-up in which the camera list's filter field is chosen: six fields, one per line;
// a click on one, or Enter on the one the arrows moved to, reports its number and hides the
// pop-up.

#include "app/PopupPanel.h"

class CTvListBox;

class CFilterDlg : public CPopupPanel {
    Q_OBJECT
public:
    static constexpr int kWidth = 130;
    static constexpr int kHeight = 155;

    explicit CFilterDlg(QWidget* parent = nullptr);

    // The text of a field number (0 "Name" ... 5 "Customer") in the current language.
    static QString FieldName(int field);

    // Shows the pop-up with `current` (the field in force) as the keyboard's current item.
    void ShowAt(const QPoint& topLeft, int current = 0);
    void ReloadTexts();
    CTvListBox* List() const { return m_list; }

    void* m_context = nullptr;
    void (*onChosen)(void* context, int field) = nullptr;

private:
    static void OnItem(void* context, int index);
    CTvListBox* m_list;
};
