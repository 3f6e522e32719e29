#pragma once
// Which cameras the list shows under a filter on one field of the record, optionally
// inverted. Texts match wherever they occur in the field, without regard to case (ASCII
// letters); an address or a port typed whole matches only that address or port; a MAC
// matches with or without its separators, by any part of it. No widgets: the window
// applies the result.

#include <cstddef>

#include "engine/CameraRecord.h"

// The fields the filter compares, in the order the field chooser lists them.
enum FilterField : int {
    FILTER_NAME = 0,
    FILTER_MAC = 1,
    FILTER_IP = 2,
    FILTER_PORT = 3,
    FILTER_FW_VERSION = 4,
    FILTER_CUSTOMER = 5,  // the company the camera reports
    FILTER_MODEL = 6,
    FILTER_FIELD_COUNT = 7,
};

// The caption of FILTER_MODEL in the field chooser ("Model").
constexpr int TEXT_FILTER_MODEL = 20187;

// The longest filter text the edit accepts.
constexpr size_t kFilterTextMax = 63;

// Is the camera shown? An empty text shows every camera; otherwise it is shown when the
// field matches the text and `invert` is clear, or when it does not and `invert` is set.
// An unknown field shows every camera.
bool FilterShowsCamera(const CameraRecord& record, int field, const char* text, bool invert);
