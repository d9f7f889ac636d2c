// SPDX-License-Identifier: MIT
#include "terminal/reason.h"

#include <cstring>

// strerror's text is the C library's (in the process's locale, which the program
// leaves at "C"). Messages are printed by the main thread only, so its shared buffer
// is not raced.
const char *reason_text(int reason) {
    if (reason > 0) {
        return std::strerror(reason); // NOLINT(concurrency-mt-unsafe)
    }
    if (reason == kReasonDamagedData) {
        return "the compressed data is damaged";
    }
    if (reason == kReasonTruncatedData) {
        return "the compressed data is incomplete";
    }
    if (reason == kReasonNotAsListed) {
        return "it was replaced after its directory was listed";
    }
    if (reason == kReasonMovedDuringWalk) {
        return "it was moved while its subdirectories were walked";
    }
    return nullptr;
}
