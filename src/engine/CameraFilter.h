#pragma once
// Which cameras the list shows under a filter: a byte-wise, case-sensitive prefix match on
// one field of the record, optionally inverted. No widgets: the window applies the result.

#include <cstddef>
#include <vector>

#include "engine/CameraRecord.h"

// The fields the filter compares, in the order the field chooser lists them.
enum FilterField : int {
    FILTER_NAME = 0,
    FILTER_MAC = 1,
    FILTER_IP = 2,
    FILTER_PORT = 3,
    FILTER_FW_VERSION = 4,
    FILTER_CUSTOMER = 5,  // the company the camera reports
    FILTER_FIELD_COUNT = 6,
};

// The longest filter text the edit accepts.
constexpr size_t kFilterTextMax = 63;

// Is the camera shown? An empty text shows every camera; otherwise it is shown when the
// field starts with the text (first n bytes equal) and `invert` is clear, or when it does
// not and `invert` is set. An unknown field shows every camera.
bool FilterShowsCamera(const CameraRecord& record, int field, const char* text, bool invert);

// The positions, in list order, of the cameras the filter shows.
std::vector<size_t> FilterCameras(const std::vector<CameraRecord>& records, int field,
                                  const char* text, bool invert);
