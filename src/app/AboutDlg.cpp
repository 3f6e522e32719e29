#include "app/AboutDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/Icons.h"
#include "app/PopupPanel.h"
#include "app/TitleDlg.h"
#include "common/WindowTextIds.h"
#include "controls/CustControls.h"
#include "controls/UiText.h"

namespace {
constexpr int kAboutTitle = 20140;      // "About Tarsel_NextGenerate"
constexpr int kAboutCopyright = 20142;  // "Copyright (C) 2026"
constexpr int kOk = 20012;
}  // namespace

// Built each time it opens, so it speaks the language chosen at that moment.
CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(UiText(kAboutTitle));
    setWindowIcon(ResourceIcon(185));
    setFixedSize(380, 130);
    m_name = new CustStatic(this);
    m_name->SetFont(16, 400);
    // The version as the title bar shows it: one number for the program wherever it shows.
    m_name->setText(UiText(kTextAboutVersion)
                        .arg(FormatVersionLabel(TARSEL_VERSION_MAJOR, TARSEL_VERSION_MINOR, TARSEL_VERSION_PATCH, 0)));
    m_name->setGeometry(76, 20, 290, 22);
    m_copyright = new CustStatic(this);
    m_copyright->SetFont(16, 400);
    SetTextById(m_copyright, kAboutCopyright);
    m_copyright->setGeometry(76, 46, 290, 22);
    m_ok = new CustButton(this);
    SetTextById(m_ok, kOk);
    m_ok->setGeometry(270, 88, 90, 28);
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
