#include "app/DefaultDlg.h"

// The harmless command first, where the keyboard starts; the one that loses the most last.
CDefaultDlg::CDefaultDlg(QWidget* parent) : CItemChooser(parent, {20035, 20077, 20079}, 200, 5, 30, 5) {}

const char* CDefaultDlg::ItemCommand(int item) {
    static const char* const kCommands[] = {"REBOOT", "SW_DEFAULT", "HW_DEFAULT"};
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
