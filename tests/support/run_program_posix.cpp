#include "support/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string temporary_name(const char *tag) {
    char name[] = "/tmp/joint2si-run-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) {
        throw std::runtime_error(std::string("mkstemp failed for ") + tag);
    }
    close(fd);
    return name;
}

} // namespace

ProgramResult run_program(const std::string &program, const std::vector<std::string> &arguments,
                          const std::string &working_directory) {
    const std::string out_path = temporary_name("stdout");
    const std::string err_path = temporary_name("stderr");
    const pid_t child = fork();
    if (child == 0) {
        if (!working_directory.empty() && chdir(working_directory.c_str()) != 0) {
            _exit(126);
        }
        const int out = open(out_path.c_str(), O_WRONLY | O_TRUNC);
        const int err = open(err_path.c_str(), O_WRONLY | O_TRUNC);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const auto &argument : arguments) {
            argv.push_back(const_cast<char *>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ProgramResult result;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.standard_output = read_file(out_path);
    result.standard_error = read_file(err_path);
    std::remove(out_path.c_str());
    std::remove(err_path.c_str());
    return result;
}

int exit_status_of_minus_one() {
    return 255;
}
