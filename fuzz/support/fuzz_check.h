// SPDX-License-Identifier: MIT
// A check that stops the fuzzer with a message when a result differs from its model.
// The message goes to a copy of the error stream taken before the fuzzer starts, so it
// is seen even when the run closes the targets' own output (-close_fd_mask=3).
#ifndef JOINT2SI_FUZZ_CHECK_H
#define JOINT2SI_FUZZ_CHECK_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

inline const int fuzz_report_fd = dup(2);

#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            dprintf(fuzz_report_fd, "%s:%d: check failed: %s (%s)\n", __FILE__, __LINE__,          \
                    #condition, what);                                                             \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

#endif
