// SPDX-License-Identifier: MIT
// Conditions under which a thread or a program waits for another: pipes that nobody
// writes to or reads from, and a producer that stops writing without closing.
#ifndef JOINT2SI_TESTS_STALLS_H
#define JOINT2SI_TESTS_STALLS_H

#include <cstddef>
#include <string>
#include <vector>

/// The two ends of an anonymous pipe, as C runtime file descriptors (-1: closed).
struct PipeEnds {
    int read_end = -1;
    int write_end = -1;
};

bool open_pipe(PipeEnds *ends);
/// read(2) and write(2) on a pipe end: the bytes moved, 0 at the end, -1 on failure.
long read_pipe(int end, char *buffer, std::size_t size);
long write_pipe(int end, const char *data, std::size_t size);
/// Closes `*end` unless it is closed, and marks it closed.
void close_pipe_end(int *end);

/// Whether SIGINT cannot be delivered to the calling thread. Always true on Windows,
/// where interrupts arrive on a thread of the system's own.
bool interrupts_blocked_here();

struct StalledProducerRun {
    std::string unsupported;        // why it cannot run here; "" when it ran
    double seconds_to_output = 0;   // from the start to the first bytes kept
    double seconds_after_close = 0; // from closing the program's output to its exit
    int exit_status = 0;
    std::string first_output; // what was read before closing
    std::string standard_error;
};

/// Runs `program` with its standard input fed by a producer child process that writes
/// `input` and then keeps the pipe open for `stall_seconds` without writing; reads
/// `keep` bytes of the program's standard output, reads nothing more for
/// `hold_seconds`, closes it and waits for the program to exit.
StalledProducerRun run_after_stalled_producer(const std::string &program,
                                              const std::vector<std::string> &arguments,
                                              const std::string &input, int stall_seconds,
                                              std::size_t keep, double hold_seconds);

#endif
