#include "app/LngDlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "common/Language.h"
#include "controls/CustControls.h"
#include "controls/TvListBox.h"

CLngDlg::CLngDlg(QWidget* parent) : CPopupPanel(parent) {
    setFont(MakeArialFont(16, 400));
    setFixedSize(120, 5 + kItemCount * kItemHeight + 5);
    setMouseTracking(true);
    HideOnDeactivation();
}

namespace {
struct Item {
    const char* name;  // UTF-8, in the language itself
    int language;
};
constexpr Item kItems[CLngDlg::kItemCount] = {
    {"English", LANGUAGE_ENGLISH},
    {"繁體中文", LANGUAGE_CHINESE_TRADITIONAL},
    {"Polski", LANGUAGE_POLISH},
};
}  // namespace

QString CLngDlg::ItemText(int item) {
    return item >= 0 && item < kItemCount ? QString::fromUtf8(kItems[item].name) : QString();
}

int CLngDlg::ItemLanguage(int item) {
    return item >= 0 && item < kItemCount ? kItems[item].language : LANGUAGE_ENGLISH;
}

QRect CLngDlg::ItemRect(int item) const { return {0, 5 + item * kItemHeight, width(), kItemHeight}; }

void CLngDlg::ShowAt(const QPoint& topLeft) {
    move(topLeft);
    m_hot = 0;  // the keyboard starts from the first item
    show();
    raise();
    setFocus(Qt::PopupFocusReason);
}

void CLngDlg::paintEvent(QPaintEvent* event) {
    CPopupPanel::paintEvent(event);
    QPainter painter(this);
    painter.setFont(font());
    for (int item = 0; item < kItemCount; ++item) {
        const QRect area = ItemRect(item).adjusted(2, 1, -2, -1);
        const bool hot = item == m_hot;
        if (hot) painter.fillRect(area, CTvListBox::kHotBackground);
        painter.setPen(hot ? QColor(255, 255, 255) : QColor(0, 0, 0));
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, ItemText(item));
        if (hot && hasFocus()) PaintFocusMark(painter, area, Qt::white);
    }
}

void CLngDlg::ActivateChoice(int choice) {
    if (choice < 0 || choice >= kItemCount) return;
    if (onChosen != nullptr) onChosen(m_context, ItemLanguage(choice));
    hide();
}

void CLngDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    for (int item = 0; item < kItemCount; ++item) {
        if (ItemRect(item).contains(event->position().toPoint())) return ActivateChoice(item);
    }
}

void CLngDlg::keyPressEvent(QKeyEvent* event) {
    if (IsTakeChoiceKey(event->key())) {
        event->accept();
        ActivateChoice(m_hot);
        return;
    }
    const int target = ChoiceAfterKey(event->key(), m_hot, kItemCount);
    if (target < 0) return CPopupPanel::keyPressEvent(event);
    event->accept();
    m_hot = target;
    update();
    NoteChoiceMoved(this, target);
}

void CLngDlg::mouseMoveEvent(QMouseEvent* event) {
    int hot = -1;
    for (int item = 0; item < kItemCount; ++item)
        if (ItemRect(item).contains(event->position().toPoint())) hot = item;
    if (hot != m_hot) {
        m_hot = hot;
        update();
    }
}

void CLngDlg::leaveEvent(QEvent*) {
    m_hot = -1;
    update();
}
