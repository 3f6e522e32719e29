#include "app/DhcpDlg.h"

CDhcpDlg::CDhcpDlg(QWidget* parent) : CItemChooser(parent, {20070, 20071, 20072}, 70, 3, 25, 2) {}

const char* CDhcpDlg::ItemMode(int item) {
    static const char* const kModes[] = {"DHCP", "MANUAL", "PPPoE"};
    return item >= 0 && item < 3 ? kModes[item] : "";
}

void CDhcpDlg::OnItemChosen(int item) {
    if (onModeChosen != nullptr) onModeChosen(m_context, ItemMode(item));
    hide();
}
