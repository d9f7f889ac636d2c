// SPDX-License-Identifier: MIT
// What both systems' replacement code shares: the counters behind
// fail_nth_file_operation and the random part of a replacement's name.
#ifndef LIBTOOLS_PLATFORM_REPLACE_SHARED_H
#define LIBTOOLS_PLATFORM_REPLACE_SHARED_H

#include "platform/replace.h"

#include <string>

namespace platform {

/// Whether this operation is the one a test asked to fail (counts it either way).
bool injected_failure(FileOperation operation);

/// Eight random letters and digits that make a replacement's name unlikely to be taken.
std::string random_name_suffix();

} // namespace platform

#endif
