// SPDX-License-Identifier: MIT
#include "support/process_control.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace {

constexpr uid_t kUnprivilegedId = 65534; // "nobody" on Debian

// Applies the conditions in the child, before exec; returns false when one failed.
bool apply_conditions(const ChildConditions &conditions) {
    if (conditions.file_size_limit >= 0) {
        rlimit limit{};
        limit.rlim_cur = static_cast<rlim_t>(conditions.file_size_limit);
        limit.rlim_max = static_cast<rlim_t>(conditions.file_size_limit);
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return false;
        }
    }
    int pipe_ends[2];
    if (conditions.closed_error_output &&
        (pipe(pipe_ends) != 0 || close(pipe_ends[0]) != 0 || dup2(pipe_ends[1], 2) < 0)) {
        return false;
    }
    if (conditions.unprivileged && geteuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 ||
            setuid(kUnprivilegedId) != 0) {
            return false;
        }
    }
    return true;
}

std::string temporary_name() {
    char name[] = "/tmp/joint2si-run-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) {
        throw std::runtime_error("mkstemp failed");
    }
    close(fd);
    chmod(name, 0666);
    return name;
}

[[noreturn]] void exec_child(const std::string &program, const std::vector<std::string> &arguments,
                             const std::string &working_directory,
                             const ChildConditions &conditions, const std::string &out_path,
                             const std::string &err_path) {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    const std::string &out_to = conditions.output_path.empty() ? out_path : conditions.output_path;
    const int out = open(out_to.c_str(), O_WRONLY | O_TRUNC);
    const int err = open(err_path.c_str(), O_WRONLY | O_TRUNC);
    const int in =
        conditions.input_path.empty() ? 0 : open(conditions.input_path.c_str(), O_RDONLY);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        !apply_conditions(conditions) ||
        (!working_directory.empty() && chdir(working_directory.c_str()) != 0)) {
        _exit(126);
    }
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const auto &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

std::string slurp_and_remove(const std::string &path) {
    std::string content;
    if (FILE *in = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
            content.append(buffer, got);
        }
        std::fclose(in);
    }
    std::remove(path.c_str());
    return content;
}

int status_of(int wait_status) {
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

} // namespace

const char *text_line_end() {
    return "\n";
}

std::string known_fault_here(const char *) {
    return "";
}

std::string conditions_unsupported(const ChildConditions &) {
    return "";
}

bool running_as_superuser() {
    return geteuid() == 0;
}

bool owned_by_superuser(const std::string &path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && status.st_uid == 0;
}

void give_to_unprivileged_user(const std::string &path) {
    if (geteuid() != 0) {
        return;
    }
    namespace fs = std::filesystem;
    if (lchown(path.c_str(), kUnprivilegedId, kUnprivilegedId) != 0) {
        throw std::runtime_error("lchown failed for " + path);
    }
    if (fs::is_directory(fs::symlink_status(path))) {
        for (const auto &entry : fs::recursive_directory_iterator(path)) {
            if (lchown(entry.path().c_str(), kUnprivilegedId, kUnprivilegedId) != 0) {
                throw std::runtime_error("lchown failed for " + entry.path().string());
            }
        }
    }
}

ProgramResult run_program_under(const std::string &program,
                                const std::vector<std::string> &arguments,
                                const std::string &working_directory,
                                const ChildConditions &conditions) {
    const std::string out_path = temporary_name();
    const std::string err_path = temporary_name();
    const pid_t child = fork();
    if (child == 0) {
        exec_child(program, arguments, working_directory, conditions, out_path, err_path);
    }
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    ProgramResult result;
    result.exit_status = status_of(wait_status);
    result.standard_output = slurp_and_remove(out_path);
    result.standard_error = slurp_and_remove(err_path);
    return result;
}

std::string signals_unsupported(StopSignal) {
    return "";
}

bool run_program_and_stop(const std::string &program, const std::vector<std::string> &arguments,
                          const std::string &working_directory, long delay_microseconds,
                          StopSignal stop) {
    const std::string out_path = temporary_name();
    const std::string err_path = temporary_name();
    const pid_t child = fork();
    if (child == 0) {
        exec_child(program, arguments, working_directory, ChildConditions{}, out_path, err_path);
    }
    usleep(static_cast<useconds_t>(delay_microseconds));
    const int signal_number = stop == StopSignal::interrupt   ? SIGINT
                              : stop == StopSignal::terminate ? SIGTERM
                                                              : SIGKILL;
    int wait_status = 0;
    const bool ran = waitpid(child, &wait_status, WNOHANG) == 0;
    if (ran) {
        kill(child, signal_number);
        waitpid(child, &wait_status, 0);
    }
    slurp_and_remove(out_path);
    slurp_and_remove(err_path);
    return ran && WIFSIGNALED(wait_status);
}
