#include "app/MessageOKDlg.h"

#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include "controls/Accessibility.h"
#include "controls/CustControls.h"

namespace {
// The lines as high as their texts need, then the buttons (at 105 with one-line texts); the
// box ends 15 pixels below them.
void FitLines(QWidget* box, CustStatic* (&lines)[3], std::initializer_list<QPushButton*> buttons) {
    const int top = qMax(105, StackLabels({lines[0], lines[1], lines[2]}, 8, 22, 434, 20, 5) + 8);
    for (QPushButton* button : buttons)
        button->move(button->x(), top);
    box->setFixedSize(450, top + 45);
}

void (*g_askObserver)(MessageOKCancelDlg*) = nullptr;
}  // namespace

// ---------------------------------------------------------------------------------------
// CMessageOKDlg

CMessageOKDlg::CMessageOKDlg(QWidget* parent) : CMessagePanel(parent, 22, 25) {  // 2400, 2401, 2402
    m_ok = new CustButton(this);  // 2403
    m_ok->setGeometry(175, 105, 100, 30);
    SetTextById(m_ok, 20012);
    m_ok->installEventFilter(this);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        hide();
        TellClosed();
    });
}

void CMessageOKDlg::ShowResult(int okEnabled, const QStringList* texts) {
    RememberFocus();  // before onShow disables the control that has it
    m_ok->setEnabled(okEnabled != 0);
    TellShown();
    if (texts != nullptr) {
        for (int i = 0; i < 3; ++i) m_lines[i]->setText(texts->value(i));
    }
    FitLines(this, m_lines, {m_ok});
    ShowAlert();
}

QWidget* CMessageOKDlg::FirstFocus() { return m_ok->isEnabled() ? m_ok : nullptr; }

void CMessageOKDlg::OnEscape() {
    if (m_ok->isEnabled()) m_ok->click();
}

// OK enabled at the end of a count: the focus moves from the box onto it, so that Enter or
// Space closes the box.
bool CMessageOKDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ok && event->type() == QEvent::EnabledChange && m_ok->isEnabled() &&
        isVisible() && window()->focusWidget() == this)
        m_ok->setFocus(Qt::OtherFocusReason);
    return CPopupPanel::eventFilter(watched, event);
}

void CMessageOKDlg::ReloadTexts() {
    ReloadTextIds(this);
    update();
}

// ---------------------------------------------------------------------------------------
// MessageOKCancelDlg

MessageOKCancelDlg::MessageOKCancelDlg(QWidget* owner, int line1Id, int line2Id, int line3Id)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setFixedSize(450, 150);
    SetAccessibleRole(this, QAccessible::AlertMessage);
    CMessagePanel::BuildLines(this, m_lines, 22, 25);
    const int ids[3] = {line1Id, line2Id, line3Id};
    for (int i = 0; i < 3; ++i)
        if (ids[i] != 0) SetTextById(m_lines[i], ids[i]);
    m_ok = new CustButton(this);  // 2403
    m_ok->setGeometry(110, 105, 100, 30);
    SetTextById(m_ok, 20012);
    m_cancel = new CustButton(this);  // 2404
    m_cancel->setGeometry(240, 105, 100, 30);
    SetTextById(m_cancel, 20025);
    FitLines(this, m_lines, {m_ok, m_cancel});
    connect(m_ok, &QPushButton::clicked, this, [this] { done(1); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(2); });
}

void MessageOKCancelDlg::reject() { done(2); }

void MessageOKCancelDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_centreOn != nullptr) {
        QRect placed(QPoint(0, 0), size());
        placed.moveCenter(QRect(m_centreOn->mapToGlobal(QPoint(0, 0)), m_centreOn->size()).center());
        move(placed.topLeft());
    }
    m_ok->setFocus(Qt::PopupFocusReason);
    AnnounceAlert(this);
}

void MessageOKCancelDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return QDialog::keyPressEvent(event);  // Cancel
    if (IsClosingKey(event->key())) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MessageOKCancelDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
    painter.setPen(QColor(150, 150, 150));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.fillRect(QRect(1, 1, width() - 2, 4), QColor(0, 80, 255));
}

int AskOkCancel(QWidget* owner, int line1Id, int line2Id, int line3Id) {
    // The question is a window of its own, not a child of the owner: disabling the owner
    // must not disable the question with it. It stays above the owner's window.
    MessageOKCancelDlg dialog(nullptr, line1Id, line2Id, line3Id);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (owner != nullptr) {
        // Centred on the owner itself (a panel asks about its own content), in screen
        // coordinates whatever the owner's place inside its window, once shown: a window
        // manager may place a new window where it likes.
        const QWidget* top = owner->window();
        dialog.m_centreOn = owner;
        dialog.winId();
        if (dialog.windowHandle() != nullptr && top->windowHandle() != nullptr)
            dialog.windowHandle()->setTransientParent(top->windowHandle());
        owner->setEnabled(false);
    }
    if (g_askObserver != nullptr) {
        auto* observer = g_askObserver;
        QTimer::singleShot(0, &dialog, [observer, &dialog] { observer(&dialog); });
    }
    const int result = dialog.exec();
    if (owner != nullptr) owner->setEnabled(true);
    return result == 1 ? 1 : 2;
}

void SetAskOkCancelObserver(void (*observer)(MessageOKCancelDlg* dialog)) { g_askObserver = observer; }
