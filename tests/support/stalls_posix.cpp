// SPDX-License-Identifier: MIT
#include "support/stalls.h"

#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

[[noreturn]] void produce(int write_end, const std::string &input, int stall_seconds) {
    for (std::size_t done = 0; done < input.size();) {
        const long wrote = write_pipe(write_end, input.data() + done, input.size() - done);
        done += wrote > 0 ? static_cast<std::size_t>(wrote) : input.size();
    }
    sleep(static_cast<unsigned>(stall_seconds)); // the pipe stays open, nothing comes
    _exit(0);
}

[[noreturn]] void run(const std::string &program, const std::vector<std::string> &arguments, int in,
                      int out, int err) {
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const auto &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    if (dup2(in, 0) >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0) {
        execv(program.c_str(), argv.data());
    }
    _exit(127);
}

int exit_status_of(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

bool open_pipe(PipeEnds *ends) {
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    ends->read_end = fds[0];
    ends->write_end = fds[1];
    return true;
}

long read_pipe(int end, char *buffer, std::size_t size) {
    return static_cast<long>(read(end, buffer, size));
}

long write_pipe(int end, const char *data, std::size_t size) {
    return static_cast<long>(write(end, data, size));
}

void close_pipe_end(int *end) {
    if (*end >= 0) {
        close(*end);
        *end = -1;
    }
}

bool interrupts_blocked_here() {
    sigset_t mask;
    return pthread_sigmask(SIG_BLOCK, nullptr, &mask) == 0 && sigismember(&mask, SIGINT) == 1;
}

StalledProducerRun run_after_stalled_producer(const std::string &program,
                                              const std::vector<std::string> &arguments,
                                              const std::string &input, int stall_seconds,
                                              std::size_t keep, double hold_seconds) {
    PipeEnds in;
    PipeEnds out;
    std::FILE *errors = std::tmpfile();
    if (errors == nullptr || !open_pipe(&in) || !open_pipe(&out)) {
        StalledProducerRun refused;
        refused.unsupported = "the pipes could not be made";
        return refused;
    }
    const pid_t producer = fork();
    if (producer == 0) {
        close(in.read_end);
        close(out.read_end); // else the program's output would never close
        close(out.write_end);
        produce(in.write_end, input, stall_seconds);
    }
    const pid_t child = fork();
    if (child == 0) {
        close(in.write_end);
        close(out.read_end);
        run(program, arguments, in.read_end, out.write_end, fileno(errors));
    }
    close_pipe_end(&in.read_end);
    close_pipe_end(&in.write_end);
    close_pipe_end(&out.write_end);
    StalledProducerRun result;
    const auto started = std::chrono::steady_clock::now();
    char byte = 0;
    while (result.first_output.size() < keep && read_pipe(out.read_end, &byte, 1) == 1) {
        result.first_output += byte;
    }
    result.seconds_to_output =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::this_thread::sleep_for(std::chrono::duration<double>(hold_seconds));
    close_pipe_end(&out.read_end);
    const auto closed = std::chrono::steady_clock::now();
    result.exit_status = exit_status_of(child); // at the latest when the stall ends
    result.seconds_after_close =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - closed).count();
    kill(producer, SIGKILL);
    waitpid(producer, nullptr, 0);
    std::rewind(errors);
    for (int c = std::fgetc(errors); c != EOF; c = std::fgetc(errors)) {
        result.standard_error += static_cast<char>(c);
    }
    std::fclose(errors);
    return result;
}
