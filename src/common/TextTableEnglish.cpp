#include "common/TextTables.h"

// The English texts, the reference that every other table falls back to.
const char* const kEnglishTexts[kTextCount] = {
    "About Tarsel_NextGenerate(&A)...",  // 20001
    "This camera does not authenticate.",  // 20002
    "Please do authentication first.",  // 20003
    "Authenticated fail, please try again !!!",  // 20004
    "Searching camera, please wait...",  // 20005
    "Setting camera, please wait...",  // 20006
    "Please select least one camera, then try again.",  // 20007
    "Selected wrong firmware, please select again",  // 20008
    "Camera is busy right now, cannot do any action else !!!",  // 20009
    "Please Select firmware file on Upgrade Dialog first",  // 20010
    "Warning",  // 20011
    "OK",  // 20012
    "excluding network setting of the selected camera, please confirm again.",  // 20013
    "Please enter name and password:",  // 20014
    "please confirm again.",  // 20015
    "The function will perform the selected camera, please confirm again.",  // 20016
    "Please enter name and password to auto set ip address:",  // 20017
    "Please enter name and password to certify yourself:",  // 20018
    "User Name",  // 20019
    "Password",  // 20020
    "Save",  // 20021
    "Verify",  // 20022
    "Verify Fail",  // 20023
    "Confirm",  // 20024
    "Cancel",  // 20025
    "Set IP",  // 20026
    "Refresh",  // 20027
    "Initialize",  // 20028
    "FW Upgrade",  // 20029
    "Auto Set IP Address",  // 20030
    "Defaulting camera...",  // 20031
    "Rebooting camera...",  // 20032
    "Upgrade",  // 20033
    "Network interface controller",  // 20034
    "Reboot camera",  // 20035
    "View",  // 20036
    "DEFAULT",  // 20037
    "Setting",  // 20038
    "Rebooting",  // 20039
    "Camera Name",  // 20040
    "MAC Address",  // 20041
    "IP Address",  // 20042
    "Subnet Mask",  // 20043
    "Gateway",  // 20044
    "Default Gateway",  // 20045
    "HTTP Port",  // 20046
    "IP Mode",  // 20047
    "Open website",  // 20048
    "Upgrade single",  // 20049
    "Upgrade selected",  // 20050
    "Camera List",  // 20051
    "Filter",  // 20052
    "FW Version",  // 20053
    "Model No.",  // 20054
    "Status",  // 20055
    "Name",  // 20056
    "MAC",  // 20057
    "IP",  // 20058
    "Port",  // 20059
    "FW Ver",  // 20060
    "Customer",  // 20061
    "Select Camera",  // 20062
    "Select All",  // 20063
    "Add",  // 20064
    "Firmware Setting",  // 20065
    "Wait for upgrading",  // 20066
    "Number of uncertified cameras",  // 20067
    "Pass",  // 20068
    "Fail",  // 20069
    "DHCP",  // 20070
    "Manual",  // 20071
    "PPPOE",  // 20072
    "Software default will perform the factory defaults",  // 20073
    "Factory Defaults (Retain IP) will perform the factory defaults",  // 20074
    "Hardware default will perform the factory defaults of the selected camera, ",  // 20075
    "Factory Defaults will perform the factory defaults of the selected camera, ",  // 20076
    "Software default",  // 20077
    "Factory Defaults (Retain IP)",  // 20078
    "Hardware default",  // 20079
    "Factory Defaults",  // 20080
    "Do you want to start firmware upgrade ?",  // 20081
    "Reboot",  // 20082
    "English",  // 20083
    "FW Upgrade Fail",  // 20084
    "Auto",  // 20085
    "Primary DNS",  // 20086
    "Secondary DNS",  // 20087
    "Wrong Setting",  // 20088
    "Network interface controller error, please refresh again.",  // 20089
    "Invalid setting IP.",  // 20090
    "IP range error.",  // 20091
    "Gateway and the set IP are not in the same subnet.",  // 20092
    "DHCP",  // 20093
    "Total:",  // 20094
    "Select all authorized cameras",  // 20095
    "Invert",  // 20096
    "NO IP",  // 20097
    "Different Network Cards",  // 20098
    "Assign IP",  // 20099
    "Ignore",  // 20100
    "Unknown",  // 20101
    "No Response",  // 20102
    "IP Search",  // 20103
    "Close",  // 20104
    "Stop",  // 20105
    "IP Range Search",  // 20106
    "Start IP",  // 20107
    "End IP",  // 20108
    "Authentication failure list:",  // 20109
    "Check %s ...",  // 20110
    "IP search stop.",  // 20111
    "IP search done.",  // 20112
    "The camera name may not hold \"&\", \"=\" or control characters.",  // 20113
    "The camera name is too long.",  // 20114
    "The IP address is not valid.",  // 20115
    "The subnet mask is not valid.",  // 20116
    "The gateway is not valid.",  // 20117
    "The HTTP port must be a number from 1 to 65535.",  // 20118
    "The settings do not fit the camera's fields.",  // 20119
    "The camera reports no valid address or port for its web page.",  // 20120
    "Please correct it and save again.",  // 20121
    "The address history could not be saved.",  // 20122
    "Cameras given addresses now may be given them again later.",  // 20123
    "Check that the settings file can be written.",  // 20124
    "Export list…",  // 20125
    "The list could not be exported.",  // 20126
    "Check that the folder exists and may be written to, and that the disk has room.",  // 20127
    "Another camera answers with the same IP address.",  // 20128
    "The IP address lies outside the subnet of the network card the camera answered through: its web page cannot be opened from this PC.",  // 20129
    "The camera did not answer.",  // 20130
    "Remove",  // 20131
    "Firmware upgrades are running.",  // 20132
    "An automatic IP assignment is running.",  // 20133
    "Close anyway?",  // 20134
    "Cameras (%1): %2",  // 20135
    "and %1 more",  // 20136
    "No listed camera takes this firmware.",  // 20137
    "%1 of %2 addresses, %3 found",  // 20138
    "The range is too large: at most 65,536 addresses.",  // 20139
    "About Tarsel_NextGenerate",  // 20140
    "Tarsel_NextGenerate version 1.0",  // 20141
    "Copyright (C) 2026",  // 20142
    " %1 of %2 shown",  // 20143
    "Minimise",  // 20144
    "Language",  // 20145
    "Filter field",  // 20146
    "Apply filter",  // 20147
    "Choose firmware file",  // 20148
    "Remove checked cameras",  // 20149
    "Cameras to upgrade",  // 20150
    "Camera actions",  // 20151
    "Site report…",  // 20152
    "Site report",  // 20153
    "Site",  // 20154
    "Date and time",  // 20155
    "This PC",  // 20156
    "Network cards",  // 20157
    "Summary",  // 20158
    "Cameras",  // 20159
    "By model",  // 20160
    "Firmware by model",  // 20161
    "newest",  // 20162
    "older firmware",  // 20163
    "By IP mode",  // 20164
    "Warnings",  // 20165
    "None",  // 20166
    "Network card",  // 20167
    "Credentials verified",  // 20168
    "yes",  // 20169
    "no",  // 20170
    "Pictures",  // 20171
    "no picture",  // 20172
    "not verified",  // 20173
    "refused",  // 20174
    "no answer",  // 20175
    "not a picture",  // 20176
    "Fetching pictures… %d of %d",  // 20177
    "The site report could not be written.",  // 20178
    "The site report is saved. Open it in the web browser?",  // 20179
    "Open",  // 20180
    "The camera refused the upgrade.",  // 20181
    "No answer from the camera.",  // 20182
    "Not accepted by this model: the camera rejected the firmware.",  // 20183
    "The camera did not report the firmware installed.",  // 20184
    "The firmware file could not be read.",  // 20185
    "Another host answers with this camera's MAC address; its answers are ignored.",  // 20186
    "Model",  // 20187
    "The camera will not be reachable from this PC:",  // 20188
    "its new address is in no subnet of this PC's network cards.",  // 20189
    "Send the settings anyway?",  // 20190
    "Verifying the camera, please wait…",  // 20191
    "Refused",  // 20192
    "No answer",  // 20193
    "Not passed: %1",  // 20194
    "Stop",  // 20195
    "The cameras will reboot.",  // 20196
    "The cameras will reset every setting except the address.",  // 20197
    "The cameras will reset every setting, the address too.",  // 20198
    "Please confirm.",  // 20199
    "Upgraded to %1",  // 20200
    "Upgraded",  // 20201
    "%1 upgraded, %2 failed, %3 skipped",  // 20202
    "%1 of %2 assigned",  // 20203
    "Tarsel_NextGenerate version %1",  // 20204
    "The file's name is matched: it must hold the camera's model name.",  // 20205
    "duplicate address: another camera answers on it",  // 20206
    "Site name (for the report's heading):",  // 20207
    "Maximise",  // 20208
    "Restore",  // 20209
    "No picture",  // 20210
    "The answer is not a picture",  // 20211
    "Read-only: ONVIF device",  // 20212
    "Maker",  // 20213
    "Kind",  // 20214
    "Serial number",  // 20215
    "Service address",  // 20216
    "Hardware",  // 20217
    "Location",  // 20218
    "Clock offset",  // 20219
    "Device facts",  // 20220
    "Unknown maker",  // 20221
    "By maker",  // 20222
    "no picture address on the device itself",  // 20223
};
