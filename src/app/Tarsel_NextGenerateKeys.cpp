// The main window's keyboard: where the focus starts and where it goes when a pop-up leaves
// it nowhere; and the name of the one chooser the window owns itself. Every control is
// reached with Tab in the order a person reads the window: title bar, command bar, the
// list's filter bar and the list, then the camera panel or the page shown in its place;
// pop-ups keep Tab to themselves while they are open.

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include "app/BehaviorDlg.h"
#include "app/DefaultDlg.h"
#include "app/ListDlg.h"
#include "app/SiteReportFlow.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/TitleDlg.h"
#include "common/WindowTextIds.h"
#include "controls/UiText.h"
#include "engine/SiteReport.h"
#include "controls/Accessibility.h"
#include "controls/TvListCtrl.h"

namespace {
constexpr int kInitialiseChooserName = 20028;  // "Initialize", as the button that opens it
}

void CTarsel_NextGenerateDlg::SetUpKeyboard() {
    m_cameraList->List()->setFocus(Qt::OtherFocusReason);
    SetNameById(m_defaultChooser, kInitialiseChooserName);
    // The window's own menu needs no mouse: its items' keys work anywhere in the window and
    // show beside the items; Alt+Space opens the menu as a title bar's menu opens.
    const std::pair<int, QKeySequence> items[] = {{kExportListItem, QKeySequence(Qt::CTRL | Qt::Key_E)},
                                                  {kSiteReportItem, QKeySequence(Qt::CTRL | Qt::Key_R)},
                                                  {kAboutItem, QKeySequence(Qt::Key_F1)}};
    for (const auto& [item, keys] : items) {
        auto* action = new QAction(this);
        action->setData(item);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, item = item] { RunSystemMenuItem(item); });
        addAction(action);
        m_menuActions << action;
    }
    auto* openMenu = new QAction(this);
    openMenu->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Space));
    connect(openMenu, &QAction::triggered, this, [this] {
        OpenSystemMenu(m_titleBar->mapToGlobal(QPoint(0, CTitleDlg::kHeight)));
    });
    addAction(openMenu);
}

QAction* CTarsel_NextGenerateDlg::FillSystemMenu(QMenu* menu) {
    const int texts[] = {20125, TEXT_SITE_REPORT_MENU, 20001};
    for (int i = 0; i < 3; ++i) m_menuActions[i]->setText(UiText(texts[i]));
    // The title bar's double click, for the keyboard: maximise, or back to the size before.
    menu->addAction(UiText(isMaximized() ? kTextRestore : kTextMaximise), this, &CTarsel_NextGenerateDlg::ToggleMaximised);
    menu->addSeparator();
    menu->addAction(m_menuActions[0]);
    menu->addAction(m_menuActions[1]);
    if (m_menuActions[2]->text().isEmpty()) return nullptr;
    menu->addSeparator();
    menu->addAction(m_menuActions[2]);
    return m_menuActions[2];
}

void CTarsel_NextGenerateDlg::OpenSystemMenu(const QPoint& globalPos) {
    if (!m_commandBar->isEnabled()) return;  // a message has the window: no export or report now
    QMenu menu(this);
    FillSystemMenu(&menu);
    menu.exec(globalPos);  // the item chosen runs through its action
}

void CTarsel_NextGenerateDlg::RunSystemMenuItem(int item) {
    if (!m_commandBar->isEnabled()) return;
    if (item == kAboutItem) OpenAboutBox();
    else if (item == kExportListItem) ExportList();
    else if (item == kSiteReportItem) CSiteReportFlow::Open(this);
}

void CTarsel_NextGenerateDlg::FocusHomeWhenLost() {
    // Later, once the pop-up that had the focus has given it back, if it could.
    QTimer::singleShot(0, this, [this] {
        QWidget* focus = focusWidget();
        if (focus != nullptr && focus != this && focus->isVisible() && focus->isEnabled())
            return;
        for (QWidget* home :
             {static_cast<QWidget*>(m_cameraList->List()),
              static_cast<QWidget*>(m_commandBar->Button(CBehaviorDlg::kRefresh))}) {
            if (home->isVisible() && home->isEnabled()) {
                home->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
    });
}
