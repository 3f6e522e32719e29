#include "app/PopupPanel.h"

#include <QKeyEvent>
#include <QPainter>

bool IsClosingKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape; }

CPopupPanel::CPopupPanel(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    hide();
}

void CPopupPanel::CentreOn(const QRect& ownerRect) {
    QRect placed(QPoint(0, 0), size());
    placed.moveCenter(ownerRect.center());
    move(placed.topLeft());
}

void CPopupPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
    painter.setPen(QColor(150, 150, 150));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.fillRect(QRect(1, 1, width() - 2, 4), QColor(0, 80, 255));
}

void CPopupPanel::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
