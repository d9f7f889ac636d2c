// SPDX-License-Identifier: MIT
#include "support/process_control.h"

std::string with_text_line_ends(const std::string &text) {
    std::string stored;
    for (const char c : text) {
        stored += c == '\n' ? std::string(text_line_end()) : std::string(1, c);
    }
    return stored;
}

std::string with_line_ends_of(const std::string &original, const std::string &text) {
    const std::size_t first = original.find('\n');
    if (first == std::string::npos) {
        return with_text_line_ends(text);
    }
    const bool crlf = first > 0 && original[first - 1] == '\r';
    std::string stored;
    for (const char c : text) {
        stored += c == '\n' && crlf ? std::string("\r\n") : std::string(1, c);
    }
    return stored;
}
