#include "app/DefaultDlg.h"

CDefaultDlg::CDefaultDlg(QWidget* parent) : CItemChooser(parent, {20077, 20079, 20035}, 200, 5, 30, 5) {}

const char* CDefaultDlg::ItemCommand(int item) {
    static const char* const kCommands[] = {"SW_DEFAULT", "HW_DEFAULT", "REBOOT"};
    return item >= 0 && item < 3 ? kCommands[item] : "";
}

void CDefaultDlg::Toggle(const QRect& button) {
    if (isVisible()) {
        hide();
        return;
    }
    QPoint at(button.right() + 1 - 100, button.bottom() + 1 + 10);
    // A translation that widens the chooser must not push it off the window.
    if (parentWidget() != nullptr)
        at.setX(qBound(0, at.x(), qMax(0, parentWidget()->width() - width())));
    ShowAt(at);
}

void CDefaultDlg::OnItemChosen(int item) {
    if (onCommand != nullptr) onCommand(m_context, ItemCommand(item));
}
