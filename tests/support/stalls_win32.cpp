// SPDX-License-Identifier: MIT
#include "support/stalls.h"

#include <fcntl.h>
#include <io.h>

bool open_pipe(PipeEnds *ends) {
    int fds[2];
    if (_pipe(fds, 65536, _O_BINARY) != 0) {
        return false;
    }
    ends->read_end = fds[0];
    ends->write_end = fds[1];
    return true;
}

long read_pipe(int end, char *buffer, std::size_t size) {
    return _read(end, buffer, static_cast<unsigned>(size));
}

long write_pipe(int end, const char *data, std::size_t size) {
    return _write(end, data, static_cast<unsigned>(size));
}

void close_pipe_end(int *end) {
    if (*end >= 0) {
        _close(*end);
        *end = -1;
    }
}

bool interrupts_blocked_here() {
    return true;
}

StalledProducerRun run_after_stalled_producer(const std::string &, const std::vector<std::string> &,
                                              const std::string &, int, std::size_t, double) {
    StalledProducerRun refused;
    refused.unsupported = "the stalled producer is a forked child; Windows has no fork";
    return refused;
}
