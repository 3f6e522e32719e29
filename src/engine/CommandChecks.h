#pragma once
// The checks the window makes before it changes a camera: whether Save's input can be sent,
// whether the selection allows a reboot or default, and which web page a camera's address
// gives. No widgets: the window shows the result.

#include <functional>
#include <string>
#include <vector>

#include "engine/CameraCommands.h"

// What is wrong with Save's input, in the order it is checked.
enum SaveProblem : int {
    SAVE_OK = 0,
    SAVE_NAME_CHARACTERS,  // "&", "=" or a control character in the name
    SAVE_NAME_TOO_LONG,
    SAVE_BAD_ADDRESS,
    SAVE_BAD_MASK,
    SAVE_BAD_GATEWAY,
    SAVE_BAD_PORT,
    SAVE_BAD_MODE,
};

// Every value must be one the settings text can carry (CheckSettingsRequest); in manual
// mode the address and mask must be valid and the gateway valid or empty; the port is a
// number from 1 to 65535; the mode is dhcp, manual, pppoe or empty (an unknown mode is sent
// as empty).
SaveProblem CheckSaveInput(const CameraSettingsRequest& request);

// A checked row of the camera list, in list order: its camera, and whether it is busy with
// a setting or an upgrade (CameraTable::BusyOf).
struct CommandRow {
    std::string mac;
    bool busy;
};

// Whether a reboot or default may be asked for: -1 when it may, else the fixed message to
// show: 0 a camera not verified, 9 a camera busy with a setting or an upgrade, 4 nothing to
// command. With rows checked, the first checked row that is not verified or busy decides;
// with none, the selected camera (currentMac, busy or not) does.
int CommandSelectionMessage(const std::vector<CommandRow>& checked, const std::string& currentMac,
                            bool currentBusy, const std::function<bool(const std::string&)>& isVerified);

// The line of a reboot or default confirmation that names the cameras it goes to: their
// number and up to five names, then "and N more", in the thread's language.
std::string CommandTargetsText(const std::vector<std::string>& names);

// The camera's web page, "http://address:port", when the address is a dotted IPv4 address
// and the port a number from 1 to 65535; false otherwise (nothing is opened then).
bool CameraPageUrl(const std::string& ip, const std::string& port, std::string* url);
