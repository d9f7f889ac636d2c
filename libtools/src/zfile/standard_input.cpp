// SPDX-License-Identifier: MIT
// Standard input as a ToolStream.
#include "libtools/zfile.h"
#include "platform/stream_io.h"
#include "zfile/handles.h"

extern "C" {

ToolStream zfile_open_standard_input(void) {
    std::FILE *input = platform::open_standard_input();
    return input != nullptr ? zfile::open_reading_stream(input) : nullptr;
}

} // extern "C"
