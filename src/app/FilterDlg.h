#pragma once
// The pop-up in which the camera list's filter field is chosen: one field per line; a click
// on one, or Enter on the one the arrows moved to, reports its number and hides the pop-up.

#include "app/PopupPanel.h"

class CTvListBox;

class CFilterDlg : public CPopupPanel {
    Q_OBJECT
public:
    static constexpr int kWidth = 130;
    static constexpr int kHeight = 8 * 25 + 5;

    explicit CFilterDlg(QWidget* parent = nullptr);

    // The text of a field number (0 "Name" ... 7 "Maker") in the current language.
    static QString FieldName(int field);

    // Shows the pop-up with `current` (the field in force) as the keyboard's current item.
    void ShowAt(const QPoint& topLeft, int current = 0);
    void ReloadTexts();
    CTvListBox* List() const { return m_list; }

signals:
    void chosen(int field);

private:
    CTvListBox* m_list;
};
