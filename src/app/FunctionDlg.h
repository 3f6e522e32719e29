#pragma once
// The function menu a camera row opens: open the camera's web page, upgrade it alone, or
// upgrade the selection, in the language of the moment it opens.

#include "app/PopupPanel.h"

class CTvListBox;

class CFunctionDlg : public CPopupPanel {
    Q_OBJECT
public:
    explicit CFunctionDlg(QWidget* parent = nullptr);

    // "Upgrade selected" is offered only when withSelected (two or more rows checked).
    void ShowAt(const QPoint& topLeft, bool withSelected = true);
    CTvListBox* List() const { return m_list; }

    void* m_context = nullptr;
    void (*onChosen)(void* context, int index) = nullptr;

private:
    static void OnItem(void* context, int index);
    void FitWidth();
    CTvListBox* m_list;
};
