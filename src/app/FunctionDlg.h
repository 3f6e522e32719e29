#pragma once
// The function menu a camera row opens: open the camera's web page, upgrade it alone, or
// upgrade the selection, in the language of the moment it opens.

#include "app/PopupPanel.h"

class CTvListBox;

class CFunctionDlg : public CPopupPanel {
    Q_OBJECT
public:
    explicit CFunctionDlg(QWidget* parent = nullptr);

    // "Upgrade selected" is offered only when withSelected (two or more rows checked), and
    // neither upgrade without withUpgrade (an ONVIF device is never upgraded from here).
    void ShowAt(const QPoint& topLeft, bool withSelected = true, bool withUpgrade = true);
    CTvListBox* List() const { return m_list; }

signals:
    void chosen(int index);

private:
    void FitSize();
    CTvListBox* m_list;
};
