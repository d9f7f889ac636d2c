// SPDX-License-Identifier: MIT
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "support/process_control.h"
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
    /// Everything written so far, byte for byte; the child must have ended.
    std::string bytes() {
        close();
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
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

// `text` (UTF-8) as UTF-16, so that arguments beyond the code page reach the child.
std::wstring wide(const std::string &text) {
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(needed > 0 ? static_cast<std::size_t>(needed) : 1, L'\0');
    if (needed > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &result[0], needed);
    }
    result.resize(result.size() - 1);
    return result;
}

// Starts `program` with the three standard handles given, in `working_directory` (the
// caller's when empty). Wine's process creation now and then fails with
// ERROR_INTERNAL_ERROR when its server is busy with many starting processes; such a start
// is tried again a few times before it counts as a failure of the test.
PROCESS_INFORMATION start_child(const std::string &program, const std::string &line,
                                const std::string &working_directory, HANDLE in, HANDLE out,
                                HANDLE err) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    const std::wstring wide_program = wide(program);
    const std::wstring wide_directory = wide(working_directory);
    const wchar_t *directory = working_directory.empty() ? nullptr : wide_directory.c_str();
    constexpr int attempts = 4;
    DWORD error = 0;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        PROCESS_INFORMATION process{};
        std::wstring wide_line = wide(line);
        if (CreateProcessW(wide_program.c_str(), &wide_line[0], nullptr, nullptr, TRUE, 0, nullptr,
                           directory, &startup, &process)) {
            return process;
        }
        error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR) {
            break;
        }
        Sleep(200);
    }
    throw std::runtime_error("cannot start " + program + " (error " + std::to_string(error) + ")");
}

// Runs the child to its end; returns its exit code.
DWORD run_and_wait(const std::string &program, const std::string &line,
                   const std::string &working_directory, HANDLE in, HANDLE out, HANDLE err) {
    const PROCESS_INFORMATION process = start_child(program, line, working_directory, in, out, err);
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
                                    GetStdHandle(STD_INPUT_HANDLE), out.handle(), err.handle());
    ProgramResult result;
    result.exit_status = static_cast<int>(code);
    result.standard_output = out.text();
    result.standard_error = err.text();
    return result;
}

ProgramResult run_program_with_input(const std::string &program,
                                     const std::vector<std::string> &arguments,
                                     const std::string &working_directory,
                                     const std::string &input_path) {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = TRUE;
    const HANDLE in = CreateFileW(wide(input_path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  &attributes, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + input_path);
    }
    CapturedOutput out;
    CapturedOutput err;
    DWORD code = 0;
    try {
        code = run_and_wait(program, command_line(program, arguments), working_directory, in,
                            out.handle(), err.handle());
    } catch (...) {
        CloseHandle(in);
        throw;
    }
    CloseHandle(in);
    ProgramResult result;
    result.exit_status = static_cast<int>(code);
    result.standard_output = out.bytes();
    result.standard_error = err.text();
    return result;
}

int exit_status_of_minus_one() {
    return static_cast<int>(0xFFFFFFFFu);
}

// The kill of process_control.h: TerminateProcess ends the child at once, with no handler
// of its own running, as SIGKILL does on POSIX.
bool run_program_and_stop(const std::string &program, const std::vector<std::string> &arguments,
                          const std::string &working_directory, long delay_microseconds,
                          StopSignal) {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = TRUE;
    const HANDLE nowhere =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &attributes, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (nowhere == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open NUL");
    }
    PROCESS_INFORMATION process{};
    try {
        process = start_child(program, command_line(program, arguments), working_directory, nowhere,
                              nowhere, nowhere);
    } catch (...) {
        CloseHandle(nowhere);
        throw;
    }
    CloseHandle(nowhere);
    const DWORD milliseconds = static_cast<DWORD>(delay_microseconds / 1000);
    const bool ran = WaitForSingleObject(process.hProcess, milliseconds) == WAIT_TIMEOUT &&
                     TerminateProcess(process.hProcess, 137) != 0;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ran;
}
