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
    SAVE_GATEWAY_SUBNET,  // a manual address whose gateway is not in its subnet
};

// Every value must be one the settings text can carry (CheckSettingsRequest); in manual
// mode the address and mask must be valid and the gateway valid or empty; the port is a
// number from 1 to 65535; the mode is dhcp, manual, pppoe or empty (an unknown mode is sent
// as empty). A manual camera's gateway lies in the subnet of its address and mask (an empty
// gateway or 0.0.0.0 means none): a gateway it cannot reach cuts it off from every other
// network. The window's Save, `tarsel set` and `tarsel apply` all check here.
SaveProblem CheckSaveInput(const CameraSettingsRequest& request);

// The text id that says what is wrong (the first line of the window's message).
int SaveProblemTextId(SaveProblem problem);

struct NetworkAdapter;
// True when a manual address lies in the subnet of one of the PC's adapter addresses, so
// that this PC still reaches the camera once it takes the address; always true outside
// manual mode (the camera then chooses or keeps its address).
bool ReachableFromAdapters(const CameraSettingsRequest& request, const std::vector<NetworkAdapter>& adapters);

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

// Up to five names joined by ", ", then "and N more", in the thread's language.
std::string ListedNames(const std::vector<std::string>& names);

// The line of a reboot or default confirmation that names the cameras it goes to: their
// number and up to five names, then "and N more", in the thread's language.
std::string CommandTargetsText(const std::vector<std::string>& names);

// The camera's web page, "http://address:port", when the address is a dotted IPv4 address
// and the port a number from 1 to 65535; false otherwise (nothing is opened then).
bool CameraPageUrl(const std::string& ip, const std::string& port, std::string* url);
