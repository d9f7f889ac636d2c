// SPDX-License-Identifier: MIT
// tool_strmatch against the memoised recursion of its definition, each match
// bounded in time (the recursion run literally is exponential in the stars), and
// the bracket scanners against direct scans of their definitions.
//
// Input: byte 0 bit 0 is fold_case; then the pattern up to the first zero byte,
// then the text. The scanners read the pattern as their text and the text as the
// character set.
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"
#include "support/fuzz_check.h"
#include "support/models.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace {

char partner(char c) {
    const std::string pairs = "()[]{}";
    const std::size_t at = pairs.find(c);
    return at == std::string::npos ? '\0' : pairs[at ^ 1];
}

// The index where the count of `open` (+1) and `close` (-1) from the start first
// returns to 0, or npos.
std::size_t matching(char open, char close, const std::string &text) {
    long depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        depth += text[i] == open ? 1 : text[i] == close ? -1 : 0;
        if (depth == 0) {
            return i;
        }
    }
    return std::string::npos;
}

// The first character of `text` in `set` outside any bracket group, or npos.
std::size_t toplevel(const std::string &text, const std::string &set) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(' || c == '[' || c == '{') {
            long depth = 1;
            while (depth > 0 && ++i < text.size()) {
                depth += text[i] == c ? 1 : text[i] == partner(c) ? -1 : 0;
            }
        } else if (set.find(c) != std::string::npos) {
            return i;
        }
    }
    return std::string::npos;
}

void check_brackets(std::string text, const std::string &set) {
    const auto offset = [&](const char *found) {
        return found == nullptr ? std::string::npos : static_cast<std::size_t>(found - text.data());
    };
    FUZZ_CHECK(offset(tool_strpbrk_toplevel(text.c_str(), set.c_str())) == toplevel(text, set),
               "tool_strpbrk_toplevel");
    for (const char *open = "([{"; *open != '\0'; ++open) {
        const std::size_t at = text.find(*open);
        if (at != std::string::npos) {
            const std::size_t expected = matching(*open, partner(*open), text.substr(at));
            FUZZ_CHECK(offset(tool_find_matching(*open, partner(*open), &text[at])) ==
                           (expected == std::string::npos ? expected : at + expected),
                       "tool_find_matching");
        }
    }
    for (const char c : std::string("()[]{}a")) {
        FUZZ_CHECK(tool_brace_partner(c) == partner(c), "tool_brace_partner");
        FUZZ_CHECK(tool_brace_direction(c) == (std::string("([{").find(c) != std::string::npos ? 1
                                               : std::string(")]}").find(c) != std::string::npos
                                                   ? -1
                                                   : 0),
                   "tool_brace_direction");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1 || size > 1024) {
        return 0;
    }
    const bool fold = (data[0] & 1) != 0;
    const std::string rest(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::size_t zero = rest.find('\0');
    const std::string pattern = rest.substr(0, zero);
    const std::string text =
        zero == std::string::npos ? std::string() : model::c_string(rest.substr(zero + 1));
    const long live = tool_memory_live_blocks();

    // Processor time, not wall time: the bound is about the work a match does, not
    // about how busy the machine is.
    const std::clock_t start = std::clock();
    const int matched = tool_strmatch(pattern.c_str(), text.c_str(), fold ? 1 : 0);
    const std::clock_t used = std::clock() - start;
    FUZZ_CHECK(used < CLOCKS_PER_SEC / 5, "one match within 0.2 s of processor time");
    FUZZ_CHECK(matched == (model::strmatch(pattern, text, fold) ? 1 : 0), "match result");

    check_brackets(pattern, text);
    FUZZ_CHECK(tool_strmatch(nullptr, text.c_str(), 0) == 1, "null pattern matches");
    FUZZ_CHECK(tool_strmatch(pattern.c_str(), nullptr, 0) == 0, "null text never matches");
    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
    return 0;
}
