// SPDX-License-Identifier: MIT
// Whether a standard stream is shown on a terminal, for output meant only for a
// person watching (a progress line), never for a file or a pipe.
#ifndef LIBTOOLS_PLATFORM_TERMINAL_H
#define LIBTOOLS_PLATFORM_TERMINAL_H

namespace platform {

/// Whether the standard error stream is a terminal (a console on Windows).
bool standard_error_is_terminal();

} // namespace platform

#endif
