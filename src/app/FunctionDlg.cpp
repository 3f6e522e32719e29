#include "app/FunctionDlg.h"

#include <QTimer>

#include "controls/TvListBox.h"

CFunctionDlg::CFunctionDlg(QWidget* parent) : CPopupPanel(parent) {
    m_list = new CTvListBox(this);
    m_list->SetItemHeight(25);
    m_list->AddString(QStringLiteral("Open website"));
    m_list->AddString(QStringLiteral("Upgrade single"));
    m_list->AddString(QStringLiteral("Upgrade selected"));
    m_list->setGeometry(1, 5, 158, 3 * 25);
    m_list->SetCallback(&CFunctionDlg::OnItem, this);
    m_list->setFocusProxy(this);
    setFixedSize(160, 5 + 3 * 25 + 5);
}

void CFunctionDlg::ShowAt(const QPoint& topLeft) {
    move(topLeft);
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
}

void CFunctionDlg::OnItem(void* context, int index) {
    auto* self = static_cast<CFunctionDlg*>(context);
    self->hide();
    if (self->onChosen != nullptr) self->onChosen(self->m_context, index);
}

void CFunctionDlg::focusOutEvent(QFocusEvent* event) {
    CPopupPanel::focusOutEvent(event);
    QTimer::singleShot(100, this, [this] {
        if (!hasFocus()) hide();
    });
}
