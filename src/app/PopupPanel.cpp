#include "app/PopupPanel.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

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

void CPopupPanel::HideOnDeactivation() { m_hideOnDeactivation = true; }

void CPopupPanel::HideSoon() {
    QTimer::singleShot(100, this, [this] {
        if (!isVisible()) return;
        if (!window()->isActiveWindow() || !hasFocus()) hide();
    });
}

void CPopupPanel::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (m_hideOnDeactivation) HideSoon();
}

void CPopupPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    QWidget* top = window();
    if (!m_hideOnDeactivation || top == this || top == m_watchedWindow) return;
    if (m_watchedWindow != nullptr) m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top;
    top->installEventFilter(this);
}

// The window is watched from the first time the panel is shown inside it, since the panel
// may be given its parent after construction.
bool CPopupPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_watchedWindow && event->type() == QEvent::WindowDeactivate && isVisible())
        HideSoon();
    return QWidget::eventFilter(watched, event);
}
