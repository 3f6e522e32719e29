#include "controls/TvListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "controls/CustControls.h"

const QColor CTvListBox::kHotBackground(0, 50, 250);
const QColor CTvListBox::kNormalBackground(255, 255, 255);

CTvListBox::CTvListBox(QWidget* parent) : QWidget(parent) {
    setFont(MakeArialFont(16, 400));
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
}

void CTvListBox::SetCallback(Callback function, void* context) {
    m_callback = function;
    m_context = context;
}

int CTvListBox::AddString(const QString& text) {
    m_items.append(text);
    update();
    return static_cast<int>(m_items.size()) - 1;
}

void CTvListBox::SetItemText(int index, const QString& text) {
    if (index < 0 || index >= m_items.size()) return;
    m_items[index] = text;
    update();
}

void CTvListBox::ResetContent() {
    m_items.clear();
    m_hot = -1;
    m_selected = -1;
    update();
}

void CTvListBox::SetItemHeight(int height) {
    m_itemHeight = qMax(1, height);
    update();
}

void CTvListBox::SetCurSel(int index) {
    m_selected = (index >= 0 && index < m_items.size()) ? index : -1;
    update();
}

QRect CTvListBox::ItemRect(int index) const { return {0, index * m_itemHeight, width(), m_itemHeight}; }

int CTvListBox::ItemAt(const QPoint& pos) const {
    if (!rect().contains(pos) || pos.y() < 0) return -1;
    const int index = pos.y() / m_itemHeight;
    return index < m_items.size() ? index : -1;
}

void CTvListBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kNormalBackground);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    for (int index = 0; index < m_items.size(); ++index) {
        const QRect item = ItemRect(index);
        const QRect inner = item.adjusted(2, 2, -2, -2);
        const bool hot = index == m_hot || index == m_selected;
        painter.fillRect(inner, hot ? kHotBackground : kNormalBackground);
        painter.setPen(hot ? QColor(255, 255, 255) : QColor(0, 0, 0));
        // Centred horizontally, its top a fifth of the item's height below the item's top.
        const QRect textRect(item.left(), item.top() + item.height() / 5, item.width(),
                             metrics.height());
        painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, m_items[index]);
    }
    if (hasFocus() && m_selected >= 0)
        PaintFocusMark(painter, ItemRect(m_selected), QColor::fromRgb(kFocusMarkColour));
}

void CTvListBox::ActivateChoice(int choice) {
    if (choice < 0 || choice >= m_items.size()) return;
    m_hot = choice;
    update();
    if (m_callback != nullptr) m_callback(m_context, choice);
    emit itemChosen(choice);
}

// Up and Down move the current item (round at the ends), Home and End to the ends; Enter
// and Space take it. Escape goes on to the pop-up that holds the list.
void CTvListBox::keyPressEvent(QKeyEvent* event) {
    if (IsTakeChoiceKey(event->key())) {
        event->accept();
        ActivateChoice(m_selected);
        return;
    }
    const int target = ChoiceAfterKey(event->key(), m_selected, GetCount());
    if (target < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    SetCurSel(target);
    NoteChoiceMoved(this, target);
}

void CTvListBox::mouseMoveEvent(QMouseEvent* event) {
    const int index = ItemAt(event->position().toPoint());
    if (index != m_hot) {
        m_hot = index;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CTvListBox::leaveEvent(QEvent* event) {
    m_hot = -1;
    update();
    QWidget::leaveEvent(event);
}

void CTvListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int index = ItemAt(event->position().toPoint());
    if (index < 0) return;  // a release outside every item does nothing
    ActivateChoice(index);
}
