#pragma once
// The address-mode chooser under the information panel's mode field: DHCP, Manual, PPPoE.
// Choosing an item hands its mode to the owner and hides the chooser.

#include "app/ItemChooser.h"

class CDhcpDlg : public CItemChooser {
    Q_OBJECT
public:
    explicit CDhcpDlg(QWidget* parent = nullptr);

    // The mode text an item gives: "DHCP", "MANUAL", "PPPoE".
    static const char* ItemMode(int item);

    void* m_context = nullptr;
    void (*onModeChosen)(void* context, const char* mode) = nullptr;

protected:
    void OnItemChosen(int item) override;
};
