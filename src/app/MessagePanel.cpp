#include "app/MessagePanel.h"

#include "controls/Accessibility.h"
#include "controls/CustControls.h"

CMessagePanel::CMessagePanel(QWidget* parent, int top, int step) : CPopupPanel(parent) {
    setFixedSize(450, 150);
    SetAccessibleRole(this, QAccessible::AlertMessage);
    BuildLines(this, m_lines, top, step);
}

void CMessagePanel::BuildLines(QWidget* parent, CustStatic* (&lines)[3], int top, int step) {
    for (int i = 0; i < 3; ++i) {
        lines[i] = new CustStatic(parent);
        lines[i]->SetFont(16, 400);
        lines[i]->SetFormat(Qt::AlignCenter);
        lines[i]->SetWrapToFit(true);
        lines[i]->setGeometry(8, top + step * i, 434, 20);
    }
}

void CMessagePanel::ShowAlert() {
    if (getOwnerRect != nullptr) {
        QRect owner;
        getOwnerRect(m_context, &owner);
        CentreOn(owner);
    } else if (parentWidget() != nullptr) {
        CentreOn(parentWidget()->rect());
    }
    const bool replaced = isVisible();
    show();
    raise();
    // Spoken when it appears, and again when another message takes its place.
    AnnounceAlert(this);
    if (replaced) NoteNameChanged(this);
}
