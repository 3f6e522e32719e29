#pragma once
// The automatic IP page, in the camera panel's place: credentials, the adapter and one of
// its addresses, the range, and either the adapter's own network settings ("Auto") or
// entered ones ("Manual"). Set IP validates; a refused form shows its message in the page's
// own message box and the page stays; a valid one goes to the owner's onStart with the
// settings kept here.

#include <QWidget>
#include <functional>
#include <vector>

#include "engine/AutoIpSettings.h"
#include "finder/LibIP.h"

class CMessageDlg;
class CustButton;
class CustComboBox;
class CustEdit;
class CustRadio;

class CAutoSetIPDlg : public QWidget {
    Q_OBJECT
public:
    explicit CAutoSetIPDlg(QWidget* parent = nullptr);

    void* m_context = nullptr;
    void (*onStart)(void* context, const char* user, const char* password) = nullptr;
    // The host's adapters; replaced by tests.
    std::function<void(std::vector<NetworkAdapter>&)> enumerate = EnumerateAdapters;

    // Enumerates the adapters again and chooses the first adapter and its first address.
    void RefreshAdapters();
    // Set IP: validates, then hands over to onStart. 0 or the refused message's id.
    int SetIp();
    void SetMode(int mode);
    const AutoIpSettings& Settings() const { return m_settings; }
    void ReloadTexts();

    // The page's own message box; the owner wires its onShow/onClose/getOwnerRect.
    CMessageDlg* MessageBox() const { return m_box; }
    CustEdit* UserEdit() const { return m_user; }
    CustEdit* PasswordEdit() const { return m_password; }
    CustEdit* StartEdit() const { return m_start; }
    CustEdit* EndEdit() const { return m_end; }
    CustEdit* MaskEdit() const { return m_mask; }
    CustEdit* GatewayEdit() const { return m_gateway; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnAdapterChosen(int index);
    void OnAddressChosen(int index);

    std::vector<NetworkAdapter> m_list;
    AutoIpSettings m_settings;
    bool m_enumerated = false;
    CustEdit* m_user;
    CustEdit* m_password;
    CustComboBox* m_adapters;
    CustComboBox* m_addresses;
    CustButton* m_refresh;
    CustRadio* m_auto;
    CustRadio* m_manual;
    CustEdit* m_start;
    CustEdit* m_end;
    CustEdit* m_mask;
    CustEdit* m_gateway;
    CustEdit* m_dns1;
    CustEdit* m_dns2;
    CustButton* m_setIp;
    CMessageDlg* m_box;
};
