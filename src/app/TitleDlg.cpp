#include "app/TitleDlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>

#include "app/Icons.h"
#include "controls/Accessibility.h"
#include "controls/CustControls.h"

QString FormatVersionLabel(int major, int minor, int patch, int build) {
    return QString::asprintf("%d.%d.%d.%d", major & 0xFF, minor & 0xFF, patch & 0xFF, build & 0xFF);
}

namespace {
const QColor kTitleBackground(24, 38, 64);
// The names a screen reader gives the two buttons.
constexpr int kMinimiseName = 20144;  // "Minimise"
constexpr int kCloseName = 20104;     // "Close"

QToolButton* MakeTitleButton(QWidget* parent, const QString& iconName, int nameId) {
    auto* button = new CImageButton(parent);
    button->SetFocusColour(Qt::white);  // on the dark bar
    button->setIcon(NamedIcon(iconName));
    button->setIconSize(QSize(14, 14));
    SetNameById(button, nameId);
    button->setStyleSheet(QStringLiteral(
        "QToolButton{border:none;background:transparent;}"
        "QToolButton:hover{background:rgba(255,255,255,40);}"));
    return button;
}
}  // namespace

CTitleDlg::CTitleDlg(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    m_name = new CustStatic(this);
    m_name->SetFont(16, 700);
    m_name->SetTextColour(QColor(255, 255, 255));
    m_name->setText(QStringLiteral("Gantrel"));
    m_version = new CustStatic(this);
    m_version->SetFont(13, 400);
    m_version->SetTextColour(QColor(170, 190, 220));
    m_version->setText(FormatVersionLabel(TARSEL_VERSION_MAJOR, TARSEL_VERSION_MINOR,
                                          TARSEL_VERSION_PATCH, 0));
    m_minimise = MakeTitleButton(this, QStringLiteral("minimise"), kMinimiseName);  // 1001
    m_close = MakeTitleButton(this, QStringLiteral("close"), kCloseName);           // 1003
    connect(m_minimise, &QToolButton::clicked, this, [this] {
        if (onMinimise != nullptr) onMinimise(m_context);
    });
    connect(m_close, &QToolButton::clicked, this, [this] {
        if (onClose != nullptr) onClose(m_context);
    });
}

void CTitleDlg::ReloadTexts() {
    m_name->setText(QStringLiteral("Gantrel"));
    update();
}

void CTitleDlg::resizeEvent(QResizeEvent*) {
    const int nameWidth = m_name->sizeHint().width();
    m_name->setGeometry(38, 0, nameWidth, kHeight);
    m_version->setGeometry(38 + nameWidth + 8, 2, m_version->sizeHint().width(), kHeight - 2);
    m_close->setGeometry(width() - 36, 0, 36, kHeight);
    m_minimise->setGeometry(width() - 72, 0, 36, kHeight);
}

void CTitleDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kTitleBackground);
    NamedIcon(QStringLiteral("logo")).paint(&painter, QRect(8, 3, 24, 24));
}

// Dragging: the platform's own window move where it has one (it is the only way on
// Wayland); otherwise the window follows the cursor's displacement since the press. The
// press grabs the mouse, so a release anywhere, also outside the window, ends the drag.
void CTitleDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onMaximise != nullptr) onMaximise(m_context);
}

void CTitleDlg::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu ||
                         (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (!menuKey || systemMenu == nullptr) return QWidget::keyPressEvent(event);
    systemMenu(m_context, mapToGlobal(QPoint(0, kHeight)));
}

void CTitleDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (systemMenu != nullptr) systemMenu(m_context, event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    QWindow* handle = window()->windowHandle();
    if (handle != nullptr && handle->startSystemMove()) return;
    m_dragging = true;
    m_pressWindowPos = window()->pos();
    m_pressCursorPos = event->globalPosition().toPoint();
}

void CTitleDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    const QPoint target = m_pressWindowPos + (event->globalPosition().toPoint() - m_pressCursorPos);
    if (onMove != nullptr) onMove(m_context, target.x(), target.y());
}

void CTitleDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging) return;
    m_dragging = false;
    update();
}
