// Painting of the report list: the delegate that draws each cell the list's own way, the
// header, and the rows' notes as tooltips.

#include <QHelpEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

#include "common/stdafx.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"
#include "controls/TvListModel.h"

const QColor CTvListHeader::kTextColour(40, 40, 40);
const QColor CTvListHeader::kBackground(208, 208, 187);
const QColor CTvListHeader::kSeparator(255, 255, 255);

namespace {
constexpr int kMarkWidth = 18;  // the warning mark before the first cell's text
const QColor kMarkColour(235, 150, 0);
const QColor kBadgeColour(40, 90, 160);
const QColor kPaleStatus(230, 230, 230);
const QColor kPaleStatusOnBackground(70, 70, 90);

// A small amber triangle with an exclamation mark, its top left at `at`.
void PaintWarningMark(QPainter& painter, QPoint at, int side) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(kMarkColour.darker(130), 1));
    painter.setBrush(kMarkColour);
    painter.drawPolygon(QPolygonF({QPointF(at.x() + side / 2.0, at.y()), QPointF(at.x() + side, at.y() + side),
                                   QPointF(at.x(), at.y() + side)}));
    painter.setPen(QPen(QColor(40, 30, 0), 2, Qt::SolidLine, Qt::RoundCap));
    const double x = at.x() + side / 2.0;
    painter.drawLine(QPointF(x, at.y() + side * 0.35), QPointF(x, at.y() + side * 0.65));
    painter.drawPoint(QPointF(x, at.y() + side * 0.83));
    painter.restore();
}

// A short mark framed in a rounded box, its left middle at `at`; returns its width.
int PaintBadge(QPainter& painter, QPoint at, const QString& text) {
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const QRect box(at.x(), at.y() - 8, metrics.horizontalAdvance(text) + 8, 16);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(kBadgeColour, 1));
    painter.setBrush(kBadgeColour.lighter(185));
    painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter.setFont(font);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
    return box.width();
}

void PaintCheckBox(QPainter& painter, const QRect& cell, int state) {
    const int side = qMin(20, cell.height() - 8);
    const QRect box(cell.left() + 2 + (20 - side) / 2, cell.top() + 3, side, side);
    const bool inactive = state == -1;
    painter.setPen(QPen(inactive ? QColor(190, 190, 190) : QColor(90, 90, 90), 1));
    painter.setBrush(inactive ? QColor(225, 225, 225) : QColor(255, 255, 255));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    if (state != 1) return;
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(20, 20, 20), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF a(box.left() + side * 0.22, box.top() + side * 0.52);
    const QPointF b(box.left() + side * 0.42, box.top() + side * 0.72);
    const QPointF c(box.left() + side * 0.78, box.top() + side * 0.28);
    painter.drawPolyline(QPolygonF({a, b, c}));
    painter.setRenderHint(QPainter::Antialiasing, false);
}

// Breaks a note into lines of about sixty characters wherever its language allows a break,
// so that the tip reads as a short paragraph; left to itself, the tip shrinks a few sentences
// into a tall, narrow column.
QString WrapNote(const QString& note, const QFont& font) {
    const qreal width = QFontMetricsF(font).averageCharWidth() * 60;
    QStringList lines;
    for (const QString& paragraph : note.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return lines.join(QLatin1Char('\n'));
}

// Room for a status text in its cell, beside the 10 pixels before it.
int StatusRoom(int cellWidth) { return cellWidth - 12; }

// The status font made smaller, down to 9 pixels, until `text` fits in `room`; the text
// is cut only where even that does not fit.
QFont FitStatusFont(QFont font, const QString& text, int room) {
    while (QFontMetrics(font).horizontalAdvance(text) > room && font.pixelSize() > 9)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}
}  // namespace

// ---------------------------------------------------------------------------------------
// Cells

CTvListDelegate::CTvListDelegate(CTvListCtrl* list) : QStyledItemDelegate(list), m_list(list) {}

QSize CTvListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    return {m_list->GetColumnWidth(index.column()), m_list->RowHeight()};
}

void CTvListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QRect cell = option.rect;
    const int column = index.column();
    const bool selected = option.state & QStyle::State_Selected;
    const int status = index.data(ListRole::StatusIndex).toInt();
    painter->save();
    // Every cell keeps to itself: a long status text or a full bar never runs into the next.
    painter->setClipRect(cell);
    painter->fillRect(cell, selected ? CTvListCtrl::kSelectedBackground : CTvListCtrl::kBackground);

    QRect bar;
    if (column == m_list->ProgressColumn() && status == 5) {
        const QRect track = cell.adjusted(5, 3, -5, -5);
        const int percent = qBound(0, index.data(ListRole::Progress).toInt(), 100);
        bar = QRect(track.left(), track.top(), track.width() * percent / 100, track.height());
        if (bar.width() > 0) {
            painter->setPen(m_list->ProgressColour());
            painter->setBrush(m_list->ProgressColour());
            painter->drawRect(bar.adjusted(0, 0, -1, -1));
        }
    }

    QColor colour = m_list->TextColour(selected);
    QFont font = m_list->ListFont();
    const bool statusColumn = column == CTvListCtrl::kStatusColumn;
    QString text = index.data(Qt::DisplayRole).toString();
    if (statusColumn) {
        const StatusLook look = LookOfStatus(status);
        font = FitStatusFont(m_list->StatusFont(look.style), text, StatusRoom(cell.width()));
        text = QFontMetrics(font).elidedText(text, Qt::ElideRight, StatusRoom(cell.width()));
        colour = look.colour;
    }
    const bool marked = column == 0 && !index.data(ListRole::Note).toString().isEmpty();
    if (marked) PaintWarningMark(*painter, QPoint(cell.left() + 25, cell.top() + (cell.height() - 14) / 2), 14);
    // A kind mark the text starts with is drawn framed, the rest of the text after it.
    int badgeWidth = 0;
    const QString badge = index.data(ListRole::Badge).toString();
    if (!badge.isEmpty() && text.startsWith(badge)) {
        badgeWidth = PaintBadge(*painter, QPoint(cell.left() + 6, cell.center().y()), badge);
        text = text.mid(badge.size()).trimmed();
    }
    if (!text.isEmpty()) {
        painter->setFont(font);
        // A smaller status font keeps the line's baseline.
        const int left = badgeWidth > 0 ? 6 + badgeWidth + 5 : column == 0 ? 25 + (marked ? kMarkWidth : 0) : 10;
        const QPoint at(cell.left() + left,
                        cell.top() + 4 + QFontMetrics(statusColumn ? m_list->ListFont() : font).ascent());
        if (statusColumn && colour == kPaleStatus) {
            // The pale bold texts (a percentage, "Wait for upgrading") are white on the bar
            // and dark beside it: pale on white cannot be read.
            painter->setPen(kPaleStatusOnBackground);
            painter->drawText(at, text);
            if (bar.width() > 0) {
                painter->setClipRect(bar.intersected(cell));
                painter->setPen(Qt::white);
                painter->drawText(at, text);
                painter->setClipRect(cell);
            }
        } else {
            painter->setPen(colour);
            painter->drawText(at, text);
        }
    }

    if (column == 0 && m_list->CheckBoxes()) {
        const int state = index.data(ListRole::Check).toInt();
        if (state == 0 || state == 1 || state == -1) PaintCheckBox(*painter, cell, state);
        else TLOG("(%s:%d)iState:%d", state);
    }

    // The keyboard's row: a dotted frame around the whole row while the list has the focus.
    if (m_list->hasFocus() && m_list->currentIndex().row() == index.row()) {
        painter->setPen(QPen(QColor(60, 60, 60), 1, Qt::DotLine));
        painter->drawLine(cell.topLeft(), cell.topRight());
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        if (column == 0) painter->drawLine(cell.topLeft(), cell.bottomLeft());
        if (column == index.model()->columnCount() - 1) painter->drawLine(cell.topRight(), cell.bottomRight());
    }
    painter->restore();
}

// ---------------------------------------------------------------------------------------
// Notes

QString CTvListCtrl::CellTip(int row, int column) const {
    if (column == kStatusColumn) {
        const QString status = GetItemText(row, column);
        const QFont font = StatusFont(LookOfStatus(GetRowStatus(row)).style);
        if (QFontMetrics(font).horizontalAdvance(status) > StatusRoom(columnWidth(column))) return status;
    }
    return GetRowNote(row);
}

// A row's note is its tooltip, wherever the pointer rests on the row, but over a status
// text the column shows smaller or cut, the tip is that text whole.
bool CTvListCtrl::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QTableView::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString note = CellTip(rowAt(help->pos().y()), columnAt(help->pos().x()));
    if (note.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), WrapNote(note, QToolTip::font()), viewport());
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Header

CTvListHeader::CTvListHeader(CTvListCtrl* list) : QHeaderView(Qt::Horizontal, list) {
    setFont(MakeArialFont(16, 700));
    setSectionsClickable(true);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
    setMinimumSectionSize(1);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setFixedHeight(kHeight);
}

QSize CTvListHeader::sizeHint() const { return {QHeaderView::sizeHint().width(), kHeight}; }

void CTvListHeader::SetSortMark(int column, Qt::SortOrder order) {
    m_sortColumn = column;
    m_sortOrder = order;
    viewport()->update();
}

// The header's background runs on past the last column, as the list's own colour, not the
// style's empty header area.
void CTvListHeader::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    int end = 0;
    for (int section = 0; section < count(); ++section)
        if (!isSectionHidden(section)) end = qMax(end, sectionViewportPosition(section) + sectionSize(section));
    if (end >= viewport()->width()) return;
    QPainter painter(viewport());
    painter.fillRect(QRect(end, 0, viewport()->width() - end, height()), kBackground);
}

void CTvListHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    const QRect cell = QRect(rect.left(), 0, rect.width(), kHeight).translated(0, 2);
    painter->save();
    painter->fillRect(rect, kBackground);
    painter->setFont(font());
    painter->setPen(kSeparator);
    painter->drawLine(cell.right(), 0, cell.right(), kHeight);
    painter->setPen(kTextColour);
    const bool marked = logicalIndex == m_sortColumn;
    constexpr int kArrow = 8;
    const QRect textRect(cell.left() + 1, 0, rect.width() - 3 - (marked ? kArrow + 4 : 0), kHeight);
    const QString title = fontMetrics().elidedText(model() != nullptr ? model()->headerData(logicalIndex, Qt::Horizontal).toString()
                                                                      : QString(),
                                                   Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    if (marked) {
        // A small triangle at the right end: up for ascending, down for descending.
        const double x = textRect.right() + 3, y = kHeight / 2.0 + 1, half = kArrow / 2.0;
        const bool up = m_sortOrder == Qt::AscendingOrder;
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(Qt::NoPen);
        painter->setBrush(kTextColour);
        painter->drawPolygon(QPolygonF({QPointF(x, up ? y + 2 : y - 2), QPointF(x + kArrow, up ? y + 2 : y - 2),
                                        QPointF(x + half, up ? y - 3 : y + 3)}));
    }
    painter->restore();
}
