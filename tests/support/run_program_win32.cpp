#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "support/run_program.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

// Text-mode read: the CR LF line ends of the child's text streams come back as "\n",
// as they do from the C library's own text streams.
std::string read_text_file(const std::string &path) {
    std::ifstream in(path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string temporary_name() {
    char directory[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof directory, directory);
    if (length == 0 || length > sizeof directory ||
        GetTempFileNameA(directory, "j2s", 0, name) == 0) {
        throw std::runtime_error("cannot create a temporary file name");
    }
    return name;
}

// A temporary file the child writes one of its output streams into; removed
// when the capture ends.
class CapturedOutput {
  public:
    CapturedOutput() : path_(temporary_name()) {
        SECURITY_ATTRIBUTES attributes{};
        attributes.nLength = sizeof attributes;
        attributes.bInheritHandle = TRUE;
        handle_ = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &attributes, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            DeleteFileA(path_.c_str());
            throw std::runtime_error("cannot open " + path_);
        }
    }
    ~CapturedOutput() {
        close();
        DeleteFileA(path_.c_str());
    }
    CapturedOutput(const CapturedOutput &) = delete;
    CapturedOutput &operator=(const CapturedOutput &) = delete;

    HANDLE handle() const { return handle_; }
    /// Everything written so far; the child must have ended.
    std::string text() {
        close();
        return read_text_file(path_);
    }

  private:
    void close() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

    std::string path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Quotes one argument so that the C runtime's command-line parser of the child
// gives it back unchanged: backslashes count only before a quote.
std::string quoted(const std::string &argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string result = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            result.append(backslashes * 2 + 1, '\\');
        } else {
            result.append(backslashes, '\\');
        }
        backslashes = 0;
        result += c;
    }
    result.append(backslashes * 2, '\\');
    result += '"';
    return result;
}

std::string command_line(const std::string &program, const std::vector<std::string> &arguments) {
    std::string line = quoted(program);
    for (const auto &argument : arguments) {
        line += ' ';
        line += quoted(argument);
    }
    return line;
}

// Starts the child with its output going to the two handles and waits for its end;
// returns its exit code.
DWORD run_and_wait(const std::string &program, std::string line,
                   const std::string &working_directory, HANDLE out, HANDLE err) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const char *directory = working_directory.empty() ? nullptr : working_directory.c_str();
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, directory,
                        &startup, &process)) {
        throw std::runtime_error("cannot start " + program + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

} // namespace

ProgramResult run_program(const std::string &program, const std::vector<std::string> &arguments,
                          const std::string &working_directory) {
    CapturedOutput out;
    CapturedOutput err;
    const DWORD code = run_and_wait(program, command_line(program, arguments), working_directory,
                                    out.handle(), err.handle());
    ProgramResult result;
    result.exit_status = static_cast<int>(code);
    result.standard_output = out.text();
    result.standard_error = err.text();
    return result;
}

int exit_status_of_minus_one() {
    return static_cast<int>(0xFFFFFFFFu);
}
