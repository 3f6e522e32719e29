#include "app/ItemChooser.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "controls/CustControls.h"
#include "controls/TvListBox.h"
#include "controls/UiText.h"

CItemChooser::CItemChooser(QWidget* parent, QList<int> captionIds, int minWidth, int itemTop,
                           int itemHeight, int bottomMargin)
    : CPopupPanel(parent),
      m_ids(std::move(captionIds)),
      m_minWidth(minWidth),
      m_itemTop(itemTop),
      m_itemHeight(itemHeight) {
    setFont(MakeArialFont(16, 400));
    setMouseTracking(true);
    setFixedHeight(itemTop + ItemCount() * itemHeight + bottomMargin);
    FitWidth();
}

QString CItemChooser::ItemText(int item) const { return UiCaption(m_ids.value(item)); }

QRect CItemChooser::ItemRect(int item) const {
    return {0, m_itemTop + item * m_itemHeight, width(), m_itemHeight};
}

void CItemChooser::FitWidth() {
    const QFontMetrics metrics(font());
    int needed = m_minWidth;
    for (int item = 0; item < ItemCount(); ++item)
        needed = qMax(needed, metrics.horizontalAdvance(ItemText(item)) + 16);
    setFixedWidth(needed);
}

void CItemChooser::ReloadTexts() {
    FitWidth();
    update();
}

void CItemChooser::ShowAt(const QPoint& topLeft) {
    FitWidth();
    move(topLeft);
    m_hot = 0;  // the keyboard starts from the first item
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
}

void CItemChooser::paintEvent(QPaintEvent* event) {
    CPopupPanel::paintEvent(event);
    QPainter painter(this);
    painter.setFont(font());
    for (int item = 0; item < ItemCount(); ++item) {
        const QRect area = ItemRect(item).adjusted(2, 1, -2, -1);
        const bool hot = item == m_hot;
        if (hot) painter.fillRect(area, CTvListBox::kHotBackground);
        painter.setPen(hot ? QColor(255, 255, 255) : QColor(0, 0, 0));
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, ItemText(item));
        if (hot && hasFocus()) PaintFocusMark(painter, area, Qt::white);
    }
}

void CItemChooser::ActivateChoice(int choice) {
    if (choice >= 0 && choice < ItemCount()) OnItemChosen(choice);
}

void CItemChooser::keyPressEvent(QKeyEvent* event) {
    if (IsTakeChoiceKey(event->key())) {
        event->accept();
        ActivateChoice(m_hot);
        return;
    }
    const int target = ChoiceAfterKey(event->key(), m_hot, ItemCount());
    if (target < 0) return CPopupPanel::keyPressEvent(event);
    event->accept();
    m_hot = target;
    update();
    NoteChoiceMoved(this, target);
}

void CItemChooser::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    for (int item = 0; item < ItemCount(); ++item) {
        if (ItemRect(item).contains(event->position().toPoint())) {
            OnItemChosen(item);
            return;
        }
    }
}

void CItemChooser::mouseMoveEvent(QMouseEvent* event) {
    int hot = -1;
    for (int item = 0; item < ItemCount(); ++item)
        if (ItemRect(item).contains(event->position().toPoint())) hot = item;
    if (hot != m_hot) {
        m_hot = hot;
        update();
    }
}

void CItemChooser::leaveEvent(QEvent*) {
    m_hot = -1;
    update();
}

// A click on the control that opened the chooser toggles it: that click takes the focus
// first, and the chooser must still be visible when the toggle asks.
void CItemChooser::focusOutEvent(QFocusEvent* event) {
    CPopupPanel::focusOutEvent(event);
    QTimer::singleShot(100, this, [this] {
        if (!hasFocus()) hide();
    });
}
