// SPDX-License-Identifier: MIT
// The parts of the replacement code that are the same on every system: the
// fault-injection counters, the checked write and close, and the random name part.
#include "platform/replace_shared.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>

namespace platform {

namespace {

// Atomic: the writes of a replacement may come from a worker thread.
std::atomic<long> countdown[static_cast<int>(FileOperation::count)] = {};
// The reason an injected failure gives, as a real one of its kind would; set before
// its countdown, so a worker that sees the countdown sees the reason too.
std::atomic<int> injected_error[static_cast<int>(FileOperation::count)] = {};

// Hidden on POSIX by the leading dot; distinctive enough that no other program's
// files take this form, since an abandoned one may be removed.
constexpr char kNamePrefix[] = ".j2si~";
constexpr std::size_t kPrefixLength = sizeof kNamePrefix - 1;
constexpr char kRenameLetter = 'r';
constexpr char kCopyLetter = 'c';
constexpr std::size_t kRandomLength = 8;
static_assert(kPrefixLength + 1 + kRandomLength == kReplacementNameLength, "name length");

bool is_random_character(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

} // namespace

void fail_nth_file_operation(FileOperation operation, long n, int error) {
    injected_error[static_cast<int>(operation)] = error;
    countdown[static_cast<int>(operation)] = n > 0 ? n : 0;
}

bool injected_failure(FileOperation operation) {
    std::atomic<long> &countdown_of = countdown[static_cast<int>(operation)];
    long left = countdown_of.load();
    while (left > 0 && !countdown_of.compare_exchange_weak(left, left - 1)) {
    }
    if (left != 1) {
        return false;
    }
    errno = injected_error[static_cast<int>(operation)].load();
    return true;
}

// The stream operations of a replacement that need nothing of the system itself.
bool write_all(std::FILE *stream, const char *data, std::size_t size) {
    if (injected_failure(FileOperation::write)) {
        return false;
    }
    return std::fwrite(data, 1, size, stream) == size;
}

bool close_stream(std::FILE *stream) {
    const bool closed = std::fclose(stream) == 0;
    return !injected_failure(FileOperation::close) && closed;
}

std::string random_name_suffix() {
    // One generator per thread: replacements are created by several workers at once.
    // Nothing to destroy at the thread's end: mingw-w64 frees a thread_local's storage
    // before its destructor runs, so one that owns memory would free it twice.
    static_assert(std::is_trivially_destructible<std::mt19937>::value, "freed with its thread");
    thread_local std::mt19937 generator(std::random_device{}());
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (std::size_t i = 0; i < kRandomLength; ++i) {
        suffix += letters[generator() % (sizeof letters - 1)];
    }
    return suffix;
}

std::string replacement_name(ReplacementKind kind) {
    const char letter = kind == ReplacementKind::copy ? kCopyLetter : kRenameLetter;
    return kNamePrefix + std::string(1, letter) + random_name_suffix();
}

bool is_replacement_name(const char *name, ReplacementKind *kind) {
    if (name == nullptr || std::strlen(name) != kReplacementNameLength ||
        std::strncmp(name, kNamePrefix, kPrefixLength) != 0) {
        return false;
    }
    const char letter = name[kPrefixLength];
    if (letter != kRenameLetter && letter != kCopyLetter) {
        return false;
    }
    for (std::size_t i = kPrefixLength + 1; i < kReplacementNameLength; ++i) {
        if (!is_random_character(name[i])) {
            return false;
        }
    }
    if (kind != nullptr) {
        *kind = letter == kCopyLetter ? ReplacementKind::copy : ReplacementKind::rename;
    }
    return true;
}

namespace {

// The first line of every mark: what makes a file the toolkit's.
constexpr char kMarkHeading[] = "joint2si replacement\n";
constexpr const char *kStateNames[] = {"writing", "complete", "copied"};

// The value of the line "`key` value\n" at `*at` of `text`, moving `*at` past it;
// false when the next line is not that key's.
bool take_line(const std::string &text, const char *key, std::size_t *at, std::string *value) {
    const std::string start = std::string(key) + " ";
    if (text.compare(*at, start.size(), start) != 0) {
        return false;
    }
    const std::size_t end = text.find('\n', *at + start.size());
    if (end == std::string::npos) {
        return false;
    }
    *value = text.substr(*at + start.size(), end - *at - start.size());
    *at = end + 1;
    return true;
}

bool read_number(const std::string &text, std::size_t *at, unsigned long long *number) {
    if (*at >= text.size() || text[*at] < '0' || text[*at] > '9') {
        return false;
    }
    unsigned long long value = 0;
    for (; *at < text.size() && text[*at] >= '0' && text[*at] <= '9'; ++*at) {
        const unsigned digit = static_cast<unsigned>(text[*at] - '0');
        if (value > (~0ULL - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    *number = value;
    return true;
}

} // namespace

std::string replacement_mark(MarkState state, const FileIdentity &target,
                             const std::string &target_path) {
    // The path comes last and runs to the end: a POSIX name may hold a line end.
    return kMarkHeading + std::string("state ") + kStateNames[static_cast<int>(state)] +
           "\ntarget " + std::to_string(target.device) + " " + std::to_string(target.index) +
           "\npath " + target_path;
}

bool read_replacement_mark(const std::string &text, MarkFacts *facts) {
    const std::size_t heading = sizeof kMarkHeading - 1;
    if (text.compare(0, heading, kMarkHeading) != 0) {
        return false;
    }
    std::size_t at = heading;
    std::string state;
    std::string target;
    if (!take_line(text, "state", &at, &state) || !take_line(text, "target", &at, &target) ||
        text.compare(at, 5, "path ") != 0) {
        return false;
    }
    bool known = false;
    for (int i = 0; i < 3; ++i) {
        if (state == kStateNames[i]) {
            facts->state = static_cast<MarkState>(i);
            known = true;
        }
    }
    std::size_t in_target = 0;
    if (!known || !read_number(target, &in_target, &facts->target.device) ||
        in_target >= target.size() || target[in_target++] != ' ' ||
        !read_number(target, &in_target, &facts->target.index) || in_target != target.size()) {
        return false;
    }
    facts->target_path = text.substr(at + 5);
    return true;
}

} // namespace platform
