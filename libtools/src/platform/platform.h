// SPDX-License-Identifier: MIT
// The platform layer: everything that differs between POSIX systems and Windows.
//
// Each concern has its own header here and one implementation per system,
// posix_<concern>.cpp and win32_<concern>.cpp; CMake compiles the set that fits
// the target. No other file of the project tests which system it is built for.
//
// Paths handed to this layer use the toolkit's Windows syntax; the POSIX side
// turns every backslash into "/" before a path reaches the system (see paths.h).
#ifndef LIBTOOLS_PLATFORM_PLATFORM_H
#define LIBTOOLS_PLATFORM_PLATFORM_H

#include "platform/paths.h"
#include "platform/stream_io.h"

#endif
