#pragma once
// The initialise chooser below the command bar's Initialize button: reboot (first, and
// where the keyboard starts), factory defaults keeping the network settings, factory
// defaults. A choice hands its command to the
// owner, who checks the selection and asks for confirmation; the chooser stays until it
// loses the focus to that question.

#include "app/ItemChooser.h"

class CDefaultDlg : public CItemChooser {
    Q_OBJECT
public:
    explicit CDefaultDlg(QWidget* parent = nullptr);

    // The command an item gives: "REBOOT", "SW_DEFAULT", "HW_DEFAULT".
    static const char* ItemCommand(int item);
    // Places the chooser 10 pixels below `button` (in the chooser's parent's coordinates),
    // its left edge 100 pixels left of the button's right edge, and shows it; hides it when
    // it is shown already.
    void Toggle(const QRect& button);

    void* m_context = nullptr;
    void (*onCommand)(void* context, const char* command) = nullptr;

protected:
    void OnItemChosen(int item) override;
};
