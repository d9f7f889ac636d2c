// SPDX-License-Identifier: MIT
// Scratch files: temporary storage that removes itself.
#include "libtools/tool_sys_io.h"

#include "platform/scratch_file.h"

extern "C" {

FILE *tool_scratch_file(void) {
    return platform::create_scratch_file();
}

} // extern "C"
