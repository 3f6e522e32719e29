// The main window and the ONVIF devices of other makers: their panel, why the commands that
// change a camera are off for them, their pictures and the range search's ONVIF probe.
// Every device is addressed by its entry key; the engine reads it, the window never blocks
// on it (verification, pictures and probes run on workers).

#include <QToolButton>

#include "app/BehaviorDlg.h"
#include "app/CombineDlg.h"
#include "app/IPSearchDlg.h"
#include "app/Tarsel_NextGenerateDlg.h"
#include "app/ViewDlg.h"
#include "common/WindowTextIds.h"
#include "controls/UiText.h"
#include "engine/TSmain.h"
#include "finder/LibIP.h"

void CTarsel_NextGenerateDlg::ShowOnvifDevice(const CameraEntry& entry) {
    m_savedMac.clear();
    currentMac = entry.key;
    UpdateCommandBar();
    const bool verified = IsCameraVerified(entry.key.c_str());
    std::string user, password;
    m_engine->CredentialsOf(entry.key.c_str(), &user, &password);
    m_cameraPanel->ShowOnvif(entry, verified, user);
    ShowVerifyBusy();
    if (verified) m_snapshotView->Start(QString::fromStdString(entry.key));
    else m_snapshotView->Clear();
}

void CTarsel_NextGenerateDlg::ShowReadOnlyReason(bool onvifSelected) {
    QToolButton* initialise = m_commandBar->Button(CBehaviorDlg::kInitialize);
    const QString reason = onvifSelected ? UiText(kTextOnvifReadOnly) : QString();
    initialise->setAccessibleDescription(reason);
    initialise->setToolTip(onvifSelected ? QStringLiteral("%1\n%2").arg(UiText(20028), reason) : UiText(20028));
}

void CTarsel_NextGenerateDlg::WireOnvif() {
    m_snapshotView->fetchOnvif = [](void* context, const std::string& key, CurlBuffer& picture) {
        return static_cast<CTarsel_NextGenerateDlg*>(context)->engine().OnvifSnapshot(key, picture);
    };
    // Each address of a range search is also asked whether it is an ONVIF device, while its
    // HTTP port is tried: an answer lists the device as a discovery answer would. The probe
    // is queued with the engine, which sends them all through one socket as they come.
    CTSmainDlg* engine = m_engine.get();
    m_ipSearch->Search().probe = [engine](const char* address, int port) {
        const uint64_t value = IpTextToValue(address);
        if (value != INVALID_IP_VALUE && engine->OnvifSearchEnabled())
            engine->QueueOnvifProbe(static_cast<uint32_t>(value));
        return TcpProbe(address, port);
    };
}
