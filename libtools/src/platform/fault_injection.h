// The counters behind fail_nth_file_operation, shared by both systems' files.
#ifndef LIBTOOLS_PLATFORM_FAULT_INJECTION_H
#define LIBTOOLS_PLATFORM_FAULT_INJECTION_H

#include "platform/replace.h"

namespace platform {

/// Whether this operation is the one a test asked to fail (counts it either way).
bool injected_failure(FileOperation operation);

} // namespace platform

#endif
