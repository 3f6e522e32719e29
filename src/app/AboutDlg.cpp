#include "app/AboutDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/Icons.h"
#include "app/PopupPanel.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"

namespace {
constexpr int kAboutTitle = 20140;      // "About Tarsel_NextGenerate"
constexpr int kAboutVersion = 20141;    // "Tarsel_NextGenerate version 1.0"
constexpr int kAboutCopyright = 20142;  // "Copyright (C) 2026"
constexpr int kOk = 20012;
}  // namespace

// Built each time it opens, so it speaks the language chosen at that moment.
CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(UiText(kAboutTitle));
    setWindowIcon(ResourceIcon(185));
    setFixedSize(340, 130);
    m_name = new CustStatic(this);
    m_name->SetFont(16, 400);
    SetTextById(m_name, kAboutVersion);
    m_name->setGeometry(76, 20, 250, 22);
    m_copyright = new CustStatic(this);
    m_copyright->SetFont(16, 400);
    SetTextById(m_copyright, kAboutCopyright);
    m_copyright->setGeometry(76, 46, 250, 22);
    m_ok = new CustButton(this);
    SetTextById(m_ok, kOk);
    m_ok->setGeometry(230, 88, 90, 28);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    m_ok->setFocus(Qt::OtherFocusReason);
}

// Enter presses OK when it has the focus (it opens with it); Escape closes the box.
void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    if (IsClosingKey(event->key()) && event->key() != Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CAboutDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255));
    ResourceIcon(185).paint(&painter, QRect(20, 20, 40, 40));
}
