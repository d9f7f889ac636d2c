// SPDX-License-Identifier: MIT
#include "support/models.h"

#include "libtools/tool_dstring.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace model {

namespace {

constexpr int kBlock = 1;
constexpr int kLine = 2;
constexpr int kHash = 4;

} // namespace

// The comment kind `c` opens (its bytes consumed), or 0.
int LineReader::opener(char c, int options) {
    if (c == '/' && at('/') && (options & kLine)) {
        ++pos_;
        return kLine;
    }
    if (c == '/' && at('*') && (options & kBlock)) {
        ++pos_;
        return kBlock;
    }
    return c == '#' && (options & kHash) ? kHash : 0;
}

std::optional<std::string> LineReader::next(int options, bool keep_empty_lines) {
    std::string line;
    std::vector<int> comments;
    bool mark = false;
    bool end_of_input = false;
    for (bool done = false; !done;) {
        const bool in_line_comment = !comments.empty() && comments.back() != kBlock;
        if (pos_ == input_.size()) {
            end_of_input = !in_line_comment;
            break;
        }
        const char c = input_[pos_++];
        if (in_line_comment) {
            std::size_t end = c == '\n' ? pos_ : input_.find('\n', pos_ - 1);
            if (end == std::string::npos) {
                pos_ = input_.size();
                break;
            }
            pos_ = c == '\n' ? pos_ : end + 1;
            comments.pop_back();
            if (comments.empty()) {
                done = !line.empty();
                mark = false;
            }
        } else if (!comments.empty()) {
            if (const int kind = opener(c, options)) {
                comments.push_back(kind);
            } else if (c == '*' && at('/')) {
                ++pos_;
                comments.pop_back();
            }
        } else if (c == '\n' || (c == '\r' && at('\n'))) {
            pos_ += c == '\r' ? 1 : 0;
            if (!line.empty() || (keep_empty_lines && !mark)) {
                done = true;
            }
            mark = false;
        } else if (const int kind = opener(c, options)) {
            comments.push_back(kind);
            mark = true;
        } else {
            line += c;
        }
    }
    if (end_of_input && line.empty()) {
        return std::nullopt;
    }
    if (line.empty() && !keep_empty_lines) {
        return std::nullopt;
    }
    return line;
}

std::vector<std::string> read_all_lines(const std::string &input, int options,
                                        bool keep_empty_lines) {
    LineReader reader(input);
    std::vector<std::string> lines;
    while (auto line = reader.next(options, keep_empty_lines)) {
        lines.push_back(*line);
    }
    return lines;
}

bool same_double(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

std::string c_string(const std::string &line) {
    return line.substr(0, line.find('\0'));
}

int classify(const std::string &line) {
    const std::string text = c_string(line);
    if (text.find("shear_force") != std::string::npos ||
        text.find("axial_force") != std::string::npos) {
        return 1;
    }
    return text.find("bending_moment") != std::string::npos ? 2 : 0;
}

std::optional<double> scan_double(const std::string &text) {
    double value = 0.0;
    if (std::sscanf(c_string(text).c_str(), "%lf", &value) != 1) {
        return std::nullopt;
    }
    return value;
}

namespace {

struct Unit {
    const char *name;
    double factor;
};

const Unit kForce[] = {{"false", 0.0}, {"kg", 9.80665}, {"T", 9806.65},    {"N", 1.0},
                       {"daN", 10.0},  {"kN", 1000.0},  {"lbf", 4.448222}, {"kip", 4448.222}};
const Unit kMoment[] = {{"false", 0.0},    {"kgm", 9.80665},  {"Tm", 9806.65},   {"Nm", 1.0},
                        {"daNm", 10.0},    {"kNm", 1000.0},   {"lbf-in", 0.113}, {"lbf-ft", 1.356},
                        {"kip-in", 113.0}, {"kip-ft", 1356.0}};

bool same_ignoring_ascii_case(const std::string &a, const char *b) {
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Whether `text` is one of the table's names for `kind` (letters in any case).
bool is_unit_name(const std::string &text, int kind) {
    const std::vector<Unit> table = kind == 1
                                        ? std::vector<Unit>(std::begin(kForce), std::end(kForce))
                                        : std::vector<Unit>(std::begin(kMoment), std::end(kMoment));
    return std::any_of(table.begin(), table.end(),
                       [&](const Unit &unit) { return same_ignoring_ascii_case(text, unit.name); });
}

} // namespace

std::optional<double> unit_factor(const std::string &unit_text, int kind) {
    const std::string text = c_string(unit_text);
    if (kind == 1 || kind == 2) {
        for (const Unit &unit : kind == 1
                                    ? std::vector<Unit>(std::begin(kForce), std::end(kForce))
                                    : std::vector<Unit>(std::begin(kMoment), std::end(kMoment))) {
            if (same_ignoring_ascii_case(text, unit.name)) {
                return unit.factor;
            }
        }
        return scan_double(text);
    }
    return std::nullopt;
}

std::optional<double> run_unit_factor(const std::string &unit, int kind) {
    const std::optional<double> factor = unit_factor(unit, kind);
    if (!factor || is_unit_name(unit, kind)) {
        return factor;
    }
    errno = 0;
    char *end = nullptr;
    const double number = std::strtod(unit.c_str(), &end);
    const bool plain_number = end != unit.c_str() && *end == '\0' && errno != ERANGE;
    if (!plain_number || !std::isfinite(number) || (number != 0.0 && std::fabs(number) < DBL_MIN)) {
        return std::nullopt;
    }
    return factor;
}

std::optional<std::string> convert(const std::string &line, double factor) {
    const std::string text = c_string(line);
    const std::size_t blank = text.find(' ');
    if (blank == std::string::npos) {
        return std::nullopt;
    }
    const auto value = scan_double(text.substr(blank + 1));
    if (!value || !(std::fabs(factor) > 1e-9) || *value == -2147483648.0) {
        return std::nullopt;
    }
    const double product = *value * factor;
    if (!std::isfinite(*value) || !std::isfinite(product)) {
        return std::nullopt;
    }
    std::vector<char> digits(static_cast<std::size_t>(std::snprintf(nullptr, 0, "%.6f", product)) +
                             1);
    std::snprintf(digits.data(), digits.size(), "%.6f", product);
    return text.substr(0, blank + 1) + digits.data();
}

namespace {

bool blank_or_tab(char c) {
    return c == ' ' || c == '\t';
}

// Where the value of `text` begins, or npos when neither reading finds one.
std::size_t value_start(const std::string &text) {
    const std::size_t blank = text.find(' ');
    if (blank != std::string::npos && scan_double(text.substr(blank + 1))) {
        return blank + 1;
    }
    const std::size_t word = text.find_first_not_of(" \t");
    const std::size_t word_end =
        word == std::string::npos ? word : text.find_first_of(" \t=", word);
    if (word_end == std::string::npos || word_end == word) {
        return std::string::npos;
    }
    std::size_t at = word_end;
    int marks = 0;
    while (at < text.size() &&
           (blank_or_tab(text[at]) || ((text[at] == '=' || text[at] == ':') && ++marks == 1))) {
        ++at;
    }
    while (at < text.size() && std::strchr(" \t\n\v\f\r", text[at]) != nullptr) {
        ++at;
    }
    return scan_double(text.substr(at)) ? at : std::string::npos;
}

} // namespace

std::optional<std::string> convert_in_file(const std::string &line, double factor) {
    const std::string text = c_string(line);
    const std::size_t start = value_start(text);
    if (start == std::string::npos) {
        return text;
    }
    const double value = *scan_double(text.substr(start));
    const double product = value * factor;
    if (value == -2147483648.0) {
        return text;
    }
    char *stop = nullptr;
    std::strtod(text.c_str() + start, &stop);
    if (!std::isfinite(value) || !std::isfinite(product) ||
        std::string(stop).find_first_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    std::vector<char> digits(static_cast<std::size_t>(std::snprintf(nullptr, 0, "%.6f", product)) +
                             1);
    std::snprintf(digits.data(), digits.size(), "%.6f", product);
    return text.substr(0, start) + digits.data();
}

namespace {

// One character of UTF-8 text as the matcher takes it: `bytes` are its bytes, `code`
// its code point, or (a byte that starts no well-formed sequence) 0x110000 plus that
// byte, a character of its own.
struct Character {
    std::string bytes;
    std::uint32_t code;
};

// The length of the sequence a lead byte starts and the bits it gives, by the UTF-8
// definition; 0 for a byte that starts none.
int lead_length(unsigned char byte, std::uint32_t *bits) {
    if (byte < 0x80) {
        *bits = byte;
        return 1;
    }
    if (byte >= 0xC0 && byte < 0xE0) {
        *bits = byte & 0x1Fu;
        return 2;
    }
    if (byte >= 0xE0 && byte < 0xF0) {
        *bits = byte & 0x0Fu;
        return 3;
    }
    if (byte >= 0xF0 && byte < 0xF8) {
        *bits = byte & 0x07u;
        return 4;
    }
    return 0;
}

std::vector<Character> characters(const std::string &text) {
    static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    std::vector<Character> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::uint32_t code = 0;
        const int length = lead_length(static_cast<unsigned char>(text[at]), &code);
        int taken = length > 0 ? 1 : 0;
        while (taken > 0 && taken < length && at + static_cast<std::size_t>(taken) < text.size() &&
               (static_cast<unsigned char>(text[at + static_cast<std::size_t>(taken)]) & 0xC0u) ==
                   0x80u) {
            code = (code << 6u) |
                   (static_cast<unsigned char>(text[at + static_cast<std::size_t>(taken)]) & 0x3Fu);
            ++taken;
        }
        const bool well_formed = length > 0 && taken == length && code >= smallest[length] &&
                                 code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (well_formed) {
            out.push_back({text.substr(at, static_cast<std::size_t>(length)), code});
            at += static_cast<std::size_t>(length);
        } else {
            out.push_back({text.substr(at, 1), 0x110000u + static_cast<unsigned char>(text[at])});
            ++at;
        }
    }
    return out;
}

// Equal characters, or (folding) characters of one folding: ASCII letters here, the
// rest by the folded comparison, whose table a unit test checks against Unicode's data.
bool same_char(const Character &a, const Character &b, bool fold_case) {
    if (a.code == b.code) {
        return true;
    }
    if (!fold_case || a.code >= 0x110000 || b.code >= 0x110000) {
        return false;
    }
    if (a.code < 0x80 && b.code < 0x80) {
        return std::tolower(static_cast<int>(a.code)) == std::tolower(static_cast<int>(b.code));
    }
    return tool_strfoldcmp(a.bytes.c_str(), b.bytes.c_str()) == 0;
}

} // namespace

// The definition's recursion over (pattern position, text position), in characters,
// each pair decided once.
bool strmatch(const std::string &pattern_text, const std::string &text_bytes, bool fold_case) {
    const std::vector<Character> pattern = characters(pattern_text);
    const std::vector<Character> text = characters(text_bytes);
    const std::size_t np = pattern.size();
    const std::size_t nt = text.size();
    const auto is = [&](std::size_t p, char c) {
        return p < np && pattern[p].code == static_cast<unsigned char>(c);
    };
    std::vector<signed char> memo((np + 1) * (nt + 1), -1);
    std::function<bool(std::size_t, std::size_t)> match = [&](std::size_t p, std::size_t t) {
        signed char &known = memo[p * (nt + 1) + t];
        if (known >= 0) {
            return known == 1;
        }
        bool result = false;
        const bool star = is(p, '*') || is(p, '%');
        std::size_t close = np;
        if (is(p, '[')) {
            for (close = p + 1; close < np && !is(close, ']'); ++close) {
            }
        }
        if (star && p + 1 == np) {
            result = true;
        } else if (p == np) {
            result = t == nt;
        } else if (is(p, '?') || is(p, '$')) {
            result = t < nt && match(p + 1, t + 1);
        } else if (star) {
            for (std::size_t k = t; k < nt && !result; ++k) {
                result = match(p + 1, k);
            }
        } else if (is(p, '[') && close < np) {
            bool in_set = false;
            for (std::size_t i = p + 1; i < close && t < nt; ++i) {
                in_set = in_set || same_char(pattern[i], text[t], fold_case);
            }
            result = in_set && match(close + 1, t + 1);
        } else {
            result = t < nt && same_char(pattern[p], text[t], fold_case) && match(p + 1, t + 1);
        }
        known = result ? 1 : 0;
        return result;
    };
    return match(0, 0);
}

} // namespace model
