// Painting, mouse handling and geometry of the custom report list and its header.

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>
#include <QHelpEvent>
#include <QTextLayout>
#include <QToolTip>

#include "common/stdafx.h"
#include "controls/CameraEvent.h"
#include "controls/CustControls.h"
#include "controls/TvListCtrl.h"

const QColor CTvListHeader::kTextColour(40, 40, 40);
const QColor CTvListHeader::kBackground(208, 208, 187);
const QColor CTvListHeader::kSeparator(255, 255, 255);

namespace {
constexpr int kCheckZone = 25;  // a press this close to a row's left edge toggles its check
constexpr int kMarkWidth = 18;  // the warning mark before the first cell's text
const QColor kMarkColour(235, 150, 0);

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
}  // namespace

// ---------------------------------------------------------------------------------------
// Geometry

QRect CTvListCtrl::CellRect(int row, int column) const {
    std::lock_guard lock(m_mutex);
    if (column < 0 || column >= static_cast<int>(m_columns.size())) return {};
    const int left = ColumnLeftLocked(column) - horizontalScrollBar()->value();
    const int top = row * m_rowHeight - verticalScrollBar()->value();
    return {left, top, m_columns[column].width, m_rowHeight};
}

int CTvListCtrl::RowAt(int y) const {
    std::lock_guard lock(m_mutex);
    const int contentY = y + verticalScrollBar()->value();
    if (contentY < 0) return -1;
    const int row = contentY / m_rowHeight;
    return row < static_cast<int>(m_rows.size()) ? row : -1;
}

int CTvListCtrl::ColumnAtX(int x) const {
    std::lock_guard lock(m_mutex);
    const int contentX = x + horizontalScrollBar()->value();
    int left = 0;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (contentX >= left && contentX < left + m_columns[i].width) return static_cast<int>(i);
        left += m_columns[i].width;
    }
    return -1;
}

// Up and Down move the selection by one row, Page Up and Page Down by a page, Home and End
// to the ends; the row moved to is scrolled into view and reported like a click.
void CTvListCtrl::keyPressEvent(QKeyEvent* event) {
    const int count = GetItemCount();
    const int current = GetSelectedRow();
    const int page = qMax(1, viewport()->height() / qMax(1, RowHeight()));
    int target = current;
    switch (event->key()) {
        case Qt::Key_Up: target = current < 0 ? 0 : current - 1; break;
        case Qt::Key_Down: target = current + 1; break;
        case Qt::Key_PageUp: target = current < 0 ? 0 : current - page; break;
        case Qt::Key_PageDown: target = current + page; break;
        case Qt::Key_Home: target = 0; break;
        case Qt::Key_End: target = count - 1; break;
        default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
    if (count == 0) return;
    target = qBound(0, target, count - 1);
    if (target == current) return;
    SetSelectedRow(target);
    const int top = target * RowHeight();
    QScrollBar* bar = verticalScrollBar();
    if (top < bar->value()) bar->setValue(top);
    else if (top + RowHeight() > bar->value() + viewport()->height())
        bar->setValue(top + RowHeight() - viewport()->height());
    emit rowClicked(target, -1);
}

void CTvListCtrl::RequestRepaint() {
    if (QThread::currentThread() == thread()) {
        viewport()->update();
        m_header->update();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            viewport()->update();
            m_header->update();
        },
        Qt::QueuedConnection);
}

void CTvListCtrl::UpdateScrollBars() {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this] { UpdateScrollBars(); }, Qt::QueuedConnection);
        return;
    }
    int contentHeight = 0;
    int contentWidth = 0;
    int rowHeight = 0;
    {
        std::lock_guard lock(m_mutex);
        contentHeight = static_cast<int>(m_rows.size()) * m_rowHeight;
        contentWidth = TotalWidthLocked();
        rowHeight = m_rowHeight;
    }
    const QSize view = viewport()->size();
    verticalScrollBar()->setSingleStep(rowHeight);
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setRange(0, qMax(0, contentHeight - view.height()));
    horizontalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setRange(0, qMax(0, contentWidth - view.width()));
}

void CTvListCtrl::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const QRect contents = contentsRect();
    m_header->setGeometry(contents.left(), contents.top(), viewport()->width(), CTvListHeader::kHeight);
    UpdateScrollBars();
}

void CTvListCtrl::scrollContentsBy(int dx, int dy) {
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    m_header->SetOffset(horizontalScrollBar()->value());
    viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Painting

void CTvListCtrl::PaintRow(QPainter& painter, int row, int top, int viewWidth) {
    const Row& data = m_rows[row];
    const _ListUnit* unit = UnitOfRowLocked(row);
    const bool selected = data.serial == m_selectedSerial && m_selectedSerial != 0;
    const int hOffset = horizontalScrollBar()->value();
    int left = -hOffset;
    for (int column = 0; column < static_cast<int>(m_columns.size()); ++column) {
        const int width = m_columns[column].width;
        const QRect cell(left, top, width, m_rowHeight);
        left += width;
        if (cell.right() < 0 && column != 0) continue;
        if (cell.left() > viewWidth) break;

        painter.fillRect(cell, selected ? kSelectedBackground : kBackground);

        if (column == m_progressColumn && unit != nullptr && unit->statusIndex == 5) {
            const int barWidth = width * unit->progress / 100 - 2;
            if (barWidth > 0) {
                const QRect bar(cell.left() + 5, cell.top() + 3, barWidth, m_rowHeight - 8);
                painter.setPen(m_progressColour);
                painter.setBrush(m_progressColour);
                painter.drawRect(bar.adjusted(0, 0, -1, -1));
            }
        }

        QColor colour = selected ? m_selectedTextColour : m_textColour;
        QFont font = m_font;
        if (column == kStatusColumn) {
            const StatusLook look = LookOfStatus(unit != nullptr ? unit->statusIndex : 0);
            font = StatusFont(look.style);
            colour = look.colour;
        }
        const QString text = data.cells.value(column);
        const bool marked = column == 0 && unit != nullptr && !unit->note.isEmpty();
        if (marked) PaintWarningMark(painter, QPoint(cell.left() + 25, cell.top() + (m_rowHeight - 14) / 2), 14);
        if (!text.isEmpty()) {
            painter.setFont(font);
            painter.setPen(colour);
            const QFontMetrics metrics(font);
            const int x = cell.left() + (column == 0 ? 25 + (marked ? kMarkWidth : 0) : 10);
            painter.drawText(QPoint(x, cell.top() + 4 + metrics.ascent()), text);
        }

        if (column == 0 && m_checkBoxes && unit != nullptr) {
            const int state = unit->checkState;
            if (state != 0 && state != 1 && state != -1) {
                TLOG("(%s:%d)iState:%d", state);
                continue;
            }
            const int side = qMin(20, m_rowHeight - 8);
            const QRect box(cell.left() + 2 + (20 - side) / 2, cell.top() + 3, side, side);
            const bool inactive = state == -1;
            painter.setPen(QPen(inactive ? QColor(190, 190, 190) : QColor(90, 90, 90), 1));
            painter.setBrush(inactive ? QColor(225, 225, 225) : QColor(255, 255, 255));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            if (state == 1) {
                painter.setRenderHint(QPainter::Antialiasing, true);
                painter.setPen(QPen(QColor(20, 20, 20), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                const QPointF a(box.left() + side * 0.22, box.top() + side * 0.52);
                const QPointF b(box.left() + side * 0.42, box.top() + side * 0.72);
                const QPointF c(box.left() + side * 0.78, box.top() + side * 0.28);
                painter.drawPolyline(QPolygonF({a, b, c}));
                painter.setRenderHint(QPainter::Antialiasing, false);
            }
        }
    }
}

void CTvListCtrl::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), kBackground);
    std::lock_guard lock(m_mutex);
    const int vOffset = verticalScrollBar()->value();
    const int first = qMax(0, (event->rect().top() + vOffset) / m_rowHeight);
    const int last = qMin(static_cast<int>(m_rows.size()) - 1,
                          (event->rect().bottom() + vOffset) / m_rowHeight);
    for (int row = first; row <= last; ++row)
        PaintRow(painter, row, row * m_rowHeight - vOffset, viewport()->width());
}

// ---------------------------------------------------------------------------------------
// Mouse

// A row's note is its tooltip, wherever the pointer rests on the row.
bool CTvListCtrl::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QAbstractScrollArea::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString note = GetRowNote(RowAt(help->pos().y()));
    if (note.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), WrapNote(note, QToolTip::font()), viewport());
    }
    return true;
}

void CTvListCtrl::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    const int row = RowAt(pos.y());
    Callback callback = nullptr;
    void* context = nullptr;
    {
        std::lock_guard lock(m_mutex);
        callback = m_callback;
        context = m_callbackContext;
    }

    if (event->button() == Qt::LeftButton) {
        if (row >= 0 && pos.x() + horizontalScrollBar()->value() < kCheckZone) {
            QString key;
            int state = 0;
            bool hasUnit = false;
            {
                std::lock_guard lock(m_mutex);
                if (const _ListUnit* unit = UnitOfRowLocked(row)) {
                    hasUnit = true;
                    key = unit->key;
                    state = unit->checkState;
                }
            }
            int newState = state;
            if (hasUnit && state == 1) {
                newState = 0;
            } else if (hasUnit && state == 0) {
                // The owner is asked without the list's lock held: it may look at the list.
                newState = (callback == nullptr || callback(context, row, 0)) ? 1 : 0;
            }
            if (hasUnit && newState != state) {
                std::lock_guard lock(m_mutex);
                for (auto& unit : m_units) {
                    if (unit->key == key) {
                        unit->checkState = newState;
                        break;
                    }
                }
            }
        }
        PostCameraEvent(parentWidget(), EVT_CHECK_CHANGED);
        RequestRepaint();
        SetSelectedRow(row);
        if (row >= 0) emit rowClicked(row, ColumnAtX(pos.x()));
    } else if (event->button() == Qt::RightButton) {
        if (callback != nullptr) callback(context, row, 1);
        SetSelectedRow(row);
    }
    event->accept();
}

// ---------------------------------------------------------------------------------------
// Header

CTvListHeader::CTvListHeader(CTvListCtrl* list) : QWidget(list), m_list(list) {
    setFont(MakeArialFont(16, 700));
    setFixedHeight(kHeight);
}

void CTvListHeader::SetOffset(int offset) {
    m_offset = offset;
    update();
}

int CTvListHeader::ColumnAt(int x) const {
    int left = -m_offset;
    const int count = m_list->GetColumnCount();
    for (int column = 0; column < count; ++column) {
        const int width = m_list->GetColumnWidth(column);
        if (x >= left && x < left + width) return column;
        left += width;
    }
    return -1;
}

void CTvListHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    int left = -m_offset;
    const int count = m_list->GetColumnCount();
    for (int column = 0; column < count; ++column) {
        const int width = m_list->GetColumnWidth(column);
        const QRect cell = QRect(left, 0, width, kHeight).translated(0, 2);
        left += width;
        painter.setPen(kSeparator);
        painter.drawLine(cell.right(), 0, cell.right(), kHeight);
        painter.setPen(kTextColour);
        const QRect textRect = QRect(cell.left() + 1, 0, width - 3, kHeight);
        const QString title = metrics.elidedText(m_list->GetColumnTitle(column), Qt::ElideRight,
                                                 textRect.width());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    }
}

void CTvListHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int column = ColumnAt(event->position().toPoint().x());
    if (column >= 0) emit columnClicked(column);
}
