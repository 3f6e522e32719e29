#pragma once
// The batch verification: one authentication request to every camera not yet verified,
// then wait until every one answered or 5 s passed without a new answer. Shared by the
// window's worker and the command line.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/CameraRecord.h"

class CTSmainDlg;

struct BatchCounts {
    int sent = 0;  // cameras asked
    int ok = 0;    // verified
    int fail = 0;  // refused
    // Asked and neither verified nor refused: silent, or over HTTP not reached.
    int NoAnswer() const { return sent - ok - fail; }
};

// Blocks until the batch ends; the engine is back in MODE_SEARCH then. include chooses the
// cameras (given a copy of each record); progress, if set, is called after every request
// and every second while waiting. quietMs is the wait after the last answer. stop, if set,
// is asked before every request and every second: true ends the batch early (its owner is
// going away, or the user stopped it). asked, if given, receives the MAC of every camera
// asked, in list order.
BatchCounts RunBatchVerification(CTSmainDlg& engine, const char* user, const char* password,
                                 const std::function<bool(const CameraRecord&)>& include,
                                 const std::function<void(const BatchCounts&)>& progress = {},
                                 uint32_t quietMs = 5000, const std::function<bool()>& stop = {},
                                 std::vector<std::string>* asked = nullptr);

// What became of one camera asked in a batch, read from a copy of its record afterwards.
enum class BatchOutcome { Passed, Refused, NoAnswer };
BatchOutcome BatchOutcomeOf(const CameraRecord& copy);
