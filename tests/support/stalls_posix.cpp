#include "support/stalls.h"

#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void produce(int write_end, const std::string &input, int stall_seconds) {
    std::size_t done = 0;
    while (done < input.size()) {
        const ssize_t wrote = write(write_end, input.data() + done, input.size() - done);
        if (wrote <= 0) {
            _exit(1);
        }
        done += static_cast<std::size_t>(wrote);
    }
    sleep(static_cast<unsigned>(stall_seconds)); // the pipe stays open, nothing comes
    _exit(0);
}

[[noreturn]] void exec_program(const std::string &program,
                               const std::vector<std::string> &arguments, int in, int out,
                               int err) {
    if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
        _exit(126);
    }
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const auto &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

std::string read_all(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

// Waits for `child` at most `limit`; its exit status, or -1 (after killing it) when it
// was still running.
int wait_at_most(pid_t child, std::chrono::seconds limit) {
    const auto give_up = Clock::now() + limit;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() > give_up) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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

std::string stalled_producer_unsupported() {
    return "";
}

StalledProducerRun run_after_stalled_producer(const std::string &program,
                                              const std::vector<std::string> &arguments,
                                              const std::string &input, int stall_seconds,
                                              std::size_t keep, double hold_seconds) {
    PipeEnds in;
    PipeEnds out;
    FILE *errors = std::tmpfile();
    if (errors == nullptr || !open_pipe(&in) || !open_pipe(&out)) {
        return StalledProducerRun{-1, -1, "", "the test could not set up its pipes"};
    }
    const pid_t producer = fork();
    if (producer == 0) {
        close(in.read_end);
        close(out.read_end); // or the program's output would never be closed
        close(out.write_end);
        produce(in.write_end, input, stall_seconds);
    }
    const pid_t child = fork();
    if (child == 0) {
        close(in.write_end);
        close(out.read_end);
        exec_program(program, arguments, in.read_end, out.write_end, fileno(errors));
    }
    close_pipe_end(&in.read_end);
    close_pipe_end(&in.write_end);
    close_pipe_end(&out.write_end);
    StalledProducerRun run;
    std::string first(keep, '\0');
    std::size_t got = 0;
    long part = 0;
    while (got < keep && (part = read_pipe(out.read_end, &first[got], keep - got)) > 0) {
        got += static_cast<std::size_t>(part);
    }
    run.first_output = first.substr(0, got);
    std::this_thread::sleep_for(std::chrono::duration<double>(hold_seconds));
    close_pipe_end(&out.read_end);
    const auto closed = Clock::now();
    run.exit_status = wait_at_most(child, std::chrono::seconds(stall_seconds + 10));
    run.seconds_after_close = std::chrono::duration<double>(Clock::now() - closed).count();
    kill(producer, SIGKILL);
    waitpid(producer, nullptr, 0);
    std::rewind(errors);
    run.standard_error = read_all(fileno(errors));
    std::fclose(errors);
    return run;
}
