#pragma once
// Which cameras the list shows under a filter on one field of the record, optionally
// inverted. Texts match wherever they occur in the field, without regard to case (ASCII
// letters); an address or a port typed whole matches only that address or port; a MAC
// matches with or without its separators, by any part of it. No widgets: the window
// applies the result.

#include <cstddef>

#include <string>

#include "engine/CameraRecord.h"

struct CameraEntry;

// The fields the filter compares, in the order the field chooser lists them.
enum FilterField : int {
    FILTER_NAME = 0,
    FILTER_MAC = 1,
    FILTER_IP = 2,
    FILTER_PORT = 3,
    FILTER_FW_VERSION = 4,
    FILTER_CUSTOMER = 5,  // the company the camera reports
    FILTER_MODEL = 6,
    FILTER_MAKER = 7,  // the maker column: the kind mark of an ONVIF device, then its maker
    FILTER_FIELD_COUNT = 8,
};

// The caption of FILTER_MODEL in the field chooser ("Model").
constexpr int TEXT_FILTER_MODEL = 20187;

// The longest filter text the edit accepts.
constexpr size_t kFilterTextMax = 63;

// Is the camera shown? An empty text shows every camera; otherwise it is shown when the
// field matches the text and `invert` is clear, or when it does not and `invert` is set.
// An unknown field shows every camera.
bool FilterShowsCamera(const CameraRecord& record, int field, const char* text, bool invert);
// The same for a row of the camera table, whose maker column knows the device's kind.
bool FilterShowsEntry(const CameraEntry& entry, int field, const char* text, bool invert);

// The kind mark of an ONVIF device's row, the same word in every language.
inline constexpr const char* kOnvifKindMark = "ONVIF";
// The maker a row names: the company a camera reports, or what an ONVIF device told once
// verified ("" while not known).
std::string MakerOf(const CameraEntry& entry);
// What the maker column is filtered and ordered by: "ONVIF Kestrel" for an ONVIF device (just
// "ONVIF" while its maker is not known), the company for a camera of this family. So "onvif"
// finds every device of another maker, and ordering by the column groups them.
std::string MakerColumnText(const CameraEntry& entry);
