// SPDX-License-Identifier: MIT
// What the batch operations of the safe replacement share with the single commit.
#ifndef LIBTOOLS_SYS_IO_REPLACE_BATCH_H
#define LIBTOOLS_SYS_IO_REPLACE_BATCH_H

#include "libtools/tool_sys_io.h"

namespace sys_io {

/// tool_replace_commit; with `sync_directory` false the directory a renamed replacement
/// enters is left to tool_sync_directory.
int commit_replacement(ToolReplacement *replacement, bool sync_directory);

} // namespace sys_io

#endif
