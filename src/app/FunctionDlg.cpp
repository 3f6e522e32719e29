#include "app/FunctionDlg.h"

#include "controls/TvListBox.h"

CFunctionDlg::CFunctionDlg(QWidget* parent) : CPopupPanel(parent) {
    m_list = new CTvListBox(this);
    m_list->SetItemHeight(25);
    m_list->setGeometry(1, 3, 148, 3 * 25);
    m_list->SetCallback(&CFunctionDlg::OnItem, this);
    m_list->SetMenu(true);
    // The list takes the keyboard: arrows, Enter, Space; Escape closes the menu.
    setFocusProxy(m_list);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(150, 80);
    HideOnDeactivation();
}

void CFunctionDlg::ShowAt(const QPoint& topLeft, bool withSelected) {
    m_list->ResetContent();
    m_list->AddString(QStringLiteral("Open website"));
    m_list->AddString(QStringLiteral("Upgrade single"));
    if (withSelected) m_list->AddString(QStringLiteral("Upgrade selected"));
    m_list->SetCurSel(0);
    // Kept inside the parent when opened near its right or bottom edge.
    QPoint place = topLeft;
    if (QWidget* host = parentWidget()) {
        place.setX(qMax(0, qMin(place.x(), host->width() - width())));
        place.setY(qMax(0, qMin(place.y(), host->height() - height())));
    }
    move(place);
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
}

void CFunctionDlg::OnItem(void* context, int index) {
    auto* self = static_cast<CFunctionDlg*>(context);
    self->hide();
    if (self->onChosen != nullptr) self->onChosen(self->m_context, index);
}
