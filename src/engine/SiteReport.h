#pragma once
// The site report: one self-contained HTML document of the listed devices that the
// installer hands over with the site: the cameras of this family and the ONVIF devices of
// other makers alike. A header (site, date and time, this PC and its network cards), a
// summary (devices by maker, by maker and model, firmware by model with the newest marked,
// by IP mode, every warning with its devices), the table in the columns and cell texts of
// the list's CSV export with each device's maker and kind, and, when asked, one picture
// per device or the reason it has none. Pictures travel inline as data: URIs; there is no script, no link and no other
// file, so the document reads the same in any browser and prints on A4 without cut rows.
//
// Texts are in the calling thread's language. Every text that came from a camera (and the
// site name) is escaped and cleaned of control characters and broken UTF-8 before it
// enters the document; each sits in its own bidirectional isolate, so a right-to-left name
// cannot reorder the text around it.

#include <string>
#include <string_view>
#include <vector>

#include "engine/CameraListing.h"
#include "web/ReportPictures.h"

// Text ids of the report and of the window's item that makes one.
constexpr int TEXT_SITE_REPORT_MENU = 20152;
constexpr int TEXT_SITE_REPORT = 20153;
constexpr int TEXT_REPORT_SITE = 20154;
constexpr int TEXT_REPORT_DATE = 20155;
constexpr int TEXT_REPORT_THIS_PC = 20156;
constexpr int TEXT_REPORT_NETWORK_CARDS = 20157;
constexpr int TEXT_REPORT_SUMMARY = 20158;
constexpr int TEXT_REPORT_CAMERAS = 20159;
constexpr int TEXT_REPORT_BY_MODEL = 20160;
constexpr int TEXT_REPORT_FIRMWARE_BY_MODEL = 20161;
constexpr int TEXT_REPORT_NEWEST = 20162;
constexpr int TEXT_REPORT_OLDER_FIRMWARE = 20163;
constexpr int TEXT_REPORT_BY_MODE = 20164;
constexpr int TEXT_REPORT_WARNINGS = 20165;
constexpr int TEXT_REPORT_NONE = 20166;
constexpr int TEXT_REPORT_NETWORK_CARD = 20167;
constexpr int TEXT_REPORT_VERIFIED = 20168;
constexpr int TEXT_REPORT_YES = 20169;
constexpr int TEXT_REPORT_NO = 20170;
constexpr int TEXT_REPORT_PICTURES = 20171;
constexpr int TEXT_REPORT_NO_PICTURE = 20172;
constexpr int TEXT_REPORT_NOT_VERIFIED = 20173;
constexpr int TEXT_REPORT_REFUSED = 20174;
constexpr int TEXT_REPORT_NO_ANSWER = 20175;
constexpr int TEXT_REPORT_NOT_A_PICTURE = 20176;
constexpr int TEXT_REPORT_FETCHING = 20177;  // "... %d of %d"
constexpr int TEXT_REPORT_NOT_WRITTEN = 20178;
constexpr int TEXT_REPORT_OPEN_QUESTION = 20179;
constexpr int TEXT_REPORT_OPEN = 20180;
// Texts of the devices of other makers in the report.
constexpr int TEXT_REPORT_MAKER = 20213;           // "Maker"
constexpr int TEXT_REPORT_KIND = 20214;            // "Kind"
constexpr int TEXT_REPORT_UNKNOWN_MAKER = 20221;   // "Unknown maker"
constexpr int TEXT_REPORT_BY_MAKER = 20222;        // "By maker"
constexpr int TEXT_REPORT_NO_OWN_PICTURE = 20223;  // "no picture address of its own"

// The mark of an ONVIF device of another maker (a protocol's name: the same in every language).
constexpr char kReportOnvifMark[] = "ONVIF";

struct SiteReportCamera {
    CameraListing camera;
    bool verified = false;  // its credentials were verified in this session
    ReportPicture picture;  // used when the report has pictures
};

struct SiteReportHeader {
    std::string site;                   // "" leaves the line out
    std::string when;                   // "2025-03-04 14:05"
    std::string host;                   // this PC's host name
    std::vector<std::string> adapters;  // "eth0 (Office): 192.168.1.5/255.255.255.0", ...
};

class CTSmainDlg;

// Where the picture of a listed device comes from: a camera of this family (one that
// answers ONVIF too included) over HTTP with the credentials given; an ONVIF device of
// another maker through the engine, with the credentials it accepted when it was verified
// (an engine that does not know it, or none, leaves it "not verified").
PictureSource ReportPictureSource(CTSmainDlg* engine, const CameraListing& camera,
                                  const std::string& user, const std::string& password);

// The header of a report made now on this PC: local date and time, host name and every
// network card with an IPv4 address.
SiteReportHeader ThisPcHeader(const std::string& site);

// The whole document. withPictures adds the gallery.
std::string SiteReportHtml(const SiteReportHeader& header,
                           const std::vector<SiteReportCamera>& cameras, bool withPictures);

// A text as HTML character data: & < > " ' as references; broken UTF-8, control characters
// and non-characters each as U+FFFD.
std::string HtmlText(std::string_view text);

// Orders firmware versions: runs of digits compare as numbers ("1.10" after "1.9"), other
// runs as bytes, a version that is a prefix of another is older. <0, 0 or >0.
int CompareFirmware(const std::string& a, const std::string& b);

// The maker a device is counted and shown under: the one it reports (a camera of this
// family its company, an ONVIF device the manufacturer it told once verified), else
// "Unknown maker" in the thread's language.
std::string ReportMaker(const CameraListing& camera);

// How many devices there are of one model of one maker.
struct ModelCount {
    std::string maker, model;
    int cameras = 0;
};
// Makers in text order, each maker's models in text order.
std::vector<ModelCount> CountByMakerAndModel(const std::vector<SiteReportCamera>& cameras);

// One line of the firmware summary: how many devices of a maker's model run a version.
struct FirmwareLine {
    std::string maker, model, version;
    int cameras = 0;
    bool newest = false;  // the newest version of the model among the devices
};
// Makers and their models in text order, each model's versions newest first. A device whose
// firmware is not known (an ONVIF device not verified) is left out: it runs no version.
std::vector<FirmwareLine> FirmwareSummary(const std::vector<SiteReportCamera>& cameras);
