#include "app/PopupPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include "controls/Accessibility.h"

bool IsClosingKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape; }

CPopupPanel* PanelOf(QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget())
        if (auto* panel = qobject_cast<CPopupPanel*>(widget)) return panel;
    return nullptr;
}

CPopupPanel::CPopupPanel(QWidget* parent) : QWidget(parent) {
    InstallTarselAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    hide();
}

void CPopupPanel::CentreOn(const QRect& ownerRect) {
    QRect placed(QPoint(0, 0), size());
    placed.moveCenter(ownerRect.center());
    move(placed.topLeft());
}

bool CPopupPanel::ContainsFocus() const {
    QWidget* focus = window()->focusWidget();
    return focus != nullptr && (focus == this || isAncestorOf(focus));
}

// The window's focus widget, not the application's: it is known also while the window is
// not the active one.
void CPopupPanel::RememberFocus() {
    if (isVisible()) return;
    QWidget* focus = window()->focusWidget();
    m_focusBefore = focus != nullptr && focus != this && !isAncestorOf(focus) ? focus : nullptr;
    m_focusNoted = true;
}

void CPopupPanel::setVisible(bool visible) {
    const bool opening = visible && !isVisible();
    if (opening) {
        if (!m_focusNoted) RememberFocus();
        m_focusNoted = false;
        DropPendingFocus();
    } else if (!visible && isVisible()) {
        GiveFocusBack();
    }
    QWidget::setVisible(visible);
    if (opening) {
        QWidget* first = FirstFocus();
        (first != nullptr ? first : this)->setFocus(Qt::PopupFocusReason);
    }
}

// The focus goes back only when it is in the panel: a panel that hides because the user
// went elsewhere leaves it there.
void CPopupPanel::GiveFocusBack() {
    QWidget* focus = window()->focusWidget();
    if (focus == nullptr || !(focus == this || isAncestorOf(focus))) return;
    QWidget* target = m_focusBefore;
    // A control of another panel that has closed meanwhile: that panel's own way back.
    for (int hop = 0; target != nullptr && !target->isVisible() && hop < 8; ++hop) {
        CPopupPanel* panel = PanelOf(target);
        target = panel != nullptr && panel != this ? panel->FocusBefore() : nullptr;
    }
    // Off the panel first, so that the focus does not pass to whatever follows it.
    focus->clearFocus();
    if (target == nullptr || !target->isVisible()) return;
    if (target->isEnabled()) {
        target->setFocus(Qt::PopupFocusReason);
        return;
    }
    // Disabled while the panel was up (a message box disables the window's children): the
    // focus goes back when it is enabled again, right after the panel closes.
    DropPendingFocus();
    m_pendingFocus = target;
    target->installEventFilter(this);
}

void CPopupPanel::DropPendingFocus() {
    if (m_pendingFocus != nullptr) m_pendingFocus->removeEventFilter(this);
    m_pendingFocus = nullptr;
}

void CPopupPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
    painter.setPen(QColor(150, 150, 150));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.fillRect(QRect(1, 1, width() - 2, 4), QColor(0, 80, 255));
}

void CPopupPanel::OnEscape() {
    if (m_hideOnDeactivation) hide();
}

void CPopupPanel::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (event->key() == Qt::Key_Escape && plain) {
        event->accept();
        OnEscape();
        return;
    }
    if (IsClosingKey(event->key())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Tab goes round the panel's own controls, in the window's focus order, while the focus is
// in the panel.
bool CPopupPanel::focusNextPrevChild(bool next) {
    if (!isVisible() || !ContainsFocus()) return QWidget::focusNextPrevChild(next);
    QList<QWidget*> order;
    QWidget* top = window();
    const qsizetype bound = top->findChildren<QWidget*>().size() + 1;
    QWidget* step = top->nextInFocusChain();
    for (qsizetype i = 0; step != nullptr && step != top && i < bound; ++i) {
        const bool reachable =
            step->isVisible() && step->isEnabled() && (step->focusPolicy() & Qt::TabFocus);
        if (isAncestorOf(step) && reachable) order << step;
        step = step->nextInFocusChain();
    }
    if (order.isEmpty()) return true;  // nothing else to go to: the focus stays
    const qsizetype at = order.indexOf(window()->focusWidget());
    const qsizetype count = order.size();
    const qsizetype to = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
    order[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void CPopupPanel::HideOnDeactivation() {
    if (m_hideOnDeactivation) return;
    m_hideOnDeactivation = true;
    // The focus may sit on a control inside the panel (a list that is its focus proxy), so
    // the application's focus changes are watched rather than the panel's own.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto inside = [this](QWidget* w) {
            return w != nullptr && (w == this || isAncestorOf(w));
        };
        if (isVisible() && inside(old) && !inside(now)) HideSoon();
    });
}

void CPopupPanel::HideSoon() {
    QTimer::singleShot(100, this, [this] {
        if (!isVisible()) return;
        if (!window()->isActiveWindow() || !ContainsFocus()) hide();
    });
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
    if (watched == m_pendingFocus && event->type() == QEvent::EnabledChange &&
        m_pendingFocus->isEnabled()) {
        QWidget* target = m_pendingFocus;
        DropPendingFocus();
        // Only into a window where nothing else has taken the focus meanwhile.
        QWidget* now = target->window()->focusWidget();
        if (target->isVisible() && (now == nullptr || now == target->window()))
            target->setFocus(Qt::PopupFocusReason);
    }
    if (watched == m_watchedWindow && event->type() == QEvent::WindowDeactivate && isVisible())
        HideSoon();
    return QWidget::eventFilter(watched, event);
}
