#include "app/BehaviorDlg.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

#include "app/Icons.h"
#include "app/LngDlg.h"
#include "controls/Accessibility.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"

namespace {
// The name of the arrow that opens the language chooser, and of the chooser.
constexpr int kLanguageName = 20145;  // "Language"

// A tooltip that shows the key that does the same: "Refresh (F5)".
QString WithShortcut(const QString& text, const QKeySequence& keys) {
    if (keys.isEmpty()) return text;
    return QStringLiteral("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText));
}
}  // namespace

CBehaviorDlg::CBehaviorDlg(QWidget* parent, QWidget* popupParent)
    : QWidget(parent),
      m_commands{{kRefresh, 135, 0, 20027, nullptr},   {kIpSearch, 189, 0, 20103, nullptr},
                 {kView, 132, 154, 20036, nullptr},    {kInitialize, 140, 152, 20028, nullptr},
                 {kAutoIp, 134, 0, 20030, nullptr},    {kUpgrade, 163, 0, 20029, nullptr}} {
    setFixedHeight(kHeight);
    for (int i = 0; i < 6; ++i) {
        Command& command = m_commands[i];
        auto* button = new CImageButton(this);
        QIcon icon;
        const QIcon normal = ResourceIcon(command.icon);
        for (const QSize& size : {QSize(30, 30), QSize(60, 60)}) {
            icon.addPixmap(normal.pixmap(size), QIcon::Normal);
            const QIcon disabled = ResourceIcon(command.disabledIcon != 0 ? command.disabledIcon : command.icon);
            icon.addPixmap(disabled.pixmap(size), QIcon::Disabled);
        }
        button->setIcon(command.disabledIcon != 0 ? icon : normal);
        button->setIconSize(QSize(30, 30));
        button->setGeometry(10 + i * 52, 2, 40, 36);
        // Its words are its tooltip's: a screen reader names the button by them.
        SetNameById(button, command.tooltip);
        button->setProperty("commandId", command.id);
        command.button = button;
        connect(button, &QToolButton::clicked, this, [this, id = command.id] {
            void (*slot)(void*) = nullptr;
            switch (id) {
                case kRefresh: slot = onRefresh; break;
                case kIpSearch: slot = onIpSearch; break;
                case kView: slot = onWebsite; break;
                case kInitialize: slot = onInitialize; break;
                case kAutoIp: slot = onAutoIp; break;
                case kUpgrade: slot = onUpgrade; break;
                default: break;
            }
            if (slot != nullptr) slot(m_context);
        });
    }
    // F5 refreshes from anywhere in the window, as the button does (not while it is off).
    Button(kRefresh)->setShortcut(QKeySequence(Qt::Key_F5));
    EnableButton(kView, false);
    EnableButton(kInitialize, false);

    m_languageName = new CustStatic(this);
    m_languageName->SetFont(16, 700);
    m_languageName->SetTextColour(QColor(0, 0, 255));
    m_languageName->SetFormat(Qt::AlignRight | Qt::AlignVCenter);
    m_languageName->setCursor(Qt::PointingHandCursor);
    m_languageName->installEventFilter(this);
    m_arrow = new CImageButton(this);  // 1104
    m_arrow->setIcon(ResourceIcon(156));
    m_arrow->setIconSize(QSize(10, 10));
    SetNameById(m_arrow, kLanguageName);
    connect(m_arrow, &QToolButton::clicked, this, &CBehaviorDlg::ToggleLanguageChooser);

    m_chooser = new CLngDlg(popupParent != nullptr ? popupParent : this);
    m_chooser->m_context = this;
    m_chooser->onChosen = &CBehaviorDlg::OnLanguageChosen;
    SetNameById(m_chooser, kLanguageName);
    ReloadTexts();
}

QToolButton* CBehaviorDlg::Button(int id) const {
    if (id == kLanguage) return m_arrow;
    for (const Command& command : m_commands)
        if (command.id == id) return command.button;
    return nullptr;
}

void CBehaviorDlg::EnableButton(int id, bool enable) {
    if (QToolButton* button = Button(id)) button->setEnabled(enable);
}

void CBehaviorDlg::ReloadTexts() {
    for (const Command& command : m_commands) {
        QToolButton* button = command.button;
        button->setToolTip(WithShortcut(UiText(command.tooltip), button->shortcut()));
    }
    SetTextById(m_languageName, 20083);
    // The arrow says which language is shown now, the one its chooser replaces.
    m_arrow->setAccessibleDescription(m_languageName->text());
    ReloadNames(this);
    resizeEvent(nullptr);
    update();
}

void CBehaviorDlg::ToggleLanguageChooser() {
    if (m_chooser->isVisible()) {
        m_chooser->hide();
        return;
    }
    // Below the language name, its right edge at the arrow's.
    QWidget* host = m_chooser->parentWidget();
    const QPoint below = mapTo(host, QPoint(m_arrow->geometry().right() - m_chooser->width(), height()));
    m_chooser->ShowAt(below);
}

void CBehaviorDlg::OnLanguageChosen(void* context, int language) {
    auto* self = static_cast<CBehaviorDlg*>(context);
    if (self->onLanguage != nullptr) self->onLanguage(self->m_context, language);
}

bool CBehaviorDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_languageName && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        m_languageName->isEnabled()) {
        ToggleLanguageChooser();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CBehaviorDlg::resizeEvent(QResizeEvent*) {
    m_arrow->setGeometry(width() - 28, 10, 20, 20);
    const int nameWidth = qMax(60, m_languageName->sizeHint().width());
    m_languageName->setGeometry(width() - 30 - nameWidth, 0, nameWidth, kHeight);
}

void CBehaviorDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(244, 246, 250));
    painter.setPen(QColor(220, 224, 232));
    painter.drawLine(0, height() - 1, width(), height() - 1);
}
