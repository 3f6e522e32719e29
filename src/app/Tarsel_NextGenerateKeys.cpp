// The main window's keyboard: where the focus starts and where it goes when a pop-up leaves
// it nowhere; and the name of the one chooser the window owns itself. Every control is
// reached with Tab in the order a person reads the window: title bar, command bar, the
// list's filter bar and the list, then the camera panel or the page shown in its place;
// pop-ups keep Tab to themselves while they are open.

#include <QTimer>
#include <QToolButton>

#include "app/BehaviorDlg.h"
#include "app/DefaultDlg.h"
#include "app/ListDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "controls/Accessibility.h"
#include "controls/TvListCtrl.h"

namespace {
constexpr int kInitialiseChooserName = 20028;  // "Initialize", as the button that opens it
}

void CTarsel_NextGenerateDlg::SetUpKeyboard() {
    m_cameraList->List()->setFocus(Qt::OtherFocusReason);
    SetNameById(m_defaultChooser, kInitialiseChooserName);
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
