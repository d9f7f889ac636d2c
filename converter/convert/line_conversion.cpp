// SPDX-License-Identifier: MIT
#include "convert/line_conversion.h"

#include "convert/byte_scan.h"

#include "libtools/tool_dstring.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr double kSmallestFactor = 1e-9;
constexpr double kUnsetValue = -2147483648.0;

bool at(const char *p, const char *end, const char *word, std::size_t length) {
    return static_cast<std::size_t>(end - p) >= length && std::memcmp(p, word, length) == 0;
}

// classify_line over a line view: every keyword has an "_", so only the places of
// "_" are looked at; a force keyword anywhere wins over "bending_moment".
int classify(LineView line) {
    const char *begin = line.text;
    const char *end = begin + line.length;
    int kind = 0;
    for (const char *p = byte_scan::find_in_line<'_'>(begin, end); p != end;
         p = byte_scan::find_in_line<'_'>(p + 1, end)) {
        if (at(p + 1, end, "force", 5) && p - begin >= 5 &&
            (at(p - 5, end, "shear", 5) || at(p - 5, end, "axial", 5))) {
            return KIND_FORCE;
        }
        if (kind == 0 && at(p + 1, end, "moment", 6) && p - begin >= 7 &&
            at(p - 7, end, "bending", 7)) {
            kind = KIND_MOMENT;
        }
    }
    return kind;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whether the text at `p` may begin a number after its white space: a sign, a digit,
// a point, or the first letter of inf or nan. No other text is read as one.
bool may_begin_number(const char *p, const char *end) {
    while (p < end && is_space(*p)) {
        ++p;
    }
    return p < end && *p != '\0' && std::strchr("+-.0123456789iInN", *p) != nullptr;
}

// The number at `p` as tool_atof_checked reads it, in every form but the plain
// decimal: rare, and kept apart so that the common path stays small.
bool read_general(const char *p, const char *end, PlainDecimal *number) {
    if (!may_begin_number(p, end)) {
        return false; // without a copy: the lines the second reading is for come here
    }
    const std::string text(p, end);
    double value = 0.0;
    if (tool_atof_checked(text.c_str(), &value) == 0) {
        return false;
    }
    char *stop = nullptr; // where the number ends, as strtod reads it
    std::strtod(text.c_str(), &stop);
    const char *number_end = p + (stop - text.c_str());
    *number = PlainDecimal{value, 0, 0, std::signbit(value), number_end, p, nullptr, p};
    return true;
}

// The number at `p` as tool_atof_checked reads it; `*plain` tells whether it is a plain
// decimal.
bool read_value(const char *p, const char *end, PlainDecimal *number, bool *plain) {
    *plain = read_plain_decimal(p, end, number);
    return *plain || read_general(p, end, number);
}

// The converted number's text at `out` (room kFixedTextRoom), or null when only the
// general formatter can write it.
char *write_product(const PlainDecimal &number, bool plain, int power_of_ten, double product,
                    char *out) {
    if (plain && power_of_ten >= 0) {
        char *written = write_moved_point(number, power_of_ten, out);
        if (written != nullptr) {
            return written;
        }
    }
    return write_fixed6(product, out);
}

// Whether a digit follows the value: the rewrite drops it with the rest of the line.
bool digit_in(const char *p, const char *end) {
    for (; p < end; ++p) {
        if (*p >= '0' && *p <= '9') {
            return true;
        }
    }
    return false;
}

// The number of a force or moment line and where the line's kept head ends.
struct Value {
    PlainDecimal number;
    bool plain;
    const char *head_end;
};

// The first-blank rule: the number after the line's first blank.
bool read_after_blank(LineView line, Value *value) {
    const char *end = line.text + line.length;
    const char *blank = byte_scan::find_in_line<' '>(line.text, end);
    if (blank == end || !read_value(blank + 1, end, &value->number, &value->plain)) {
        return false;
    }
    value->head_end = blank + 1;
    return true;
}

bool is_blank_or_tab(char c) {
    return c == ' ' || c == '\t';
}

// Where the number of the word-and-separator reading would begin: after indentation,
// one word and a separator of blanks and tabs with at most one "=" or ":", and after
// the white space the number reading skips too (so none of it is lost from the head);
// null when the line has no word followed by a separator.
const char *after_word(const char *p, const char *end) {
    while (p < end && is_blank_or_tab(*p)) {
        ++p;
    }
    const char *word = p;
    while (p < end && !is_blank_or_tab(*p) && *p != '=') {
        ++p;
    }
    if (p == word || p == end) {
        return nullptr;
    }
    bool marked = false; // the separator's one "=" or ":" has been passed
    for (; p < end; ++p) {
        if (is_blank_or_tab(*p)) {
            continue;
        }
        if (marked || (*p != '=' && *p != ':')) {
            break;
        }
        marked = true;
    }
    while (p < end && is_space(*p)) {
        ++p;
    }
    return p;
}

// The word-and-separator reading, for lines the first-blank rule finds no number in.
bool read_after_word(LineView line, Value *value) {
    const char *end = line.text + line.length;
    const char *start = after_word(line.text, end);
    if (start == nullptr || !read_value(start, end, &value->number, &value->plain)) {
        return false;
    }
    value->head_end = start;
    return true;
}

// Writes the text of `value` converted by `how` into `text`: in `digits` when the fast
// writers can, else in tool_dtoa's buffer.
void write_value(const Value &value, const ResolvedKind &how, double product, LineText *text) {
    const char *written =
        write_product(value.number, value.plain, how.power_of_ten, product, text->digits);
    if (written != nullptr) {
        text->value.text = text->digits;
        text->value.length = static_cast<std::size_t>(written - text->digits);
    } else {
        text->value.text = tool_dtoa(6, 6, product);
        text->value.length = std::strlen(text->value.text);
    }
}

ResolvedKind resolve(double factor) {
    return ResolvedKind{factor, power_of_ten_of(factor), std::fabs(factor) > kSmallestFactor};
}

} // namespace

LineConverter::LineConverter(const Conversion &conversion)
    : force_(resolve(conversion.force)), moment_(resolve(conversion.moment)) {}

int LineConverter::convert(LineView line, LineText *text, LineNote *note) const {
    text->head = line;
    text->value = LineView{nullptr, 0};
    *note = LineNote::none;
    const int kind = classify(line);
    const ResolvedKind *how = kind == KIND_FORCE    ? &force_
                              : kind == KIND_MOMENT ? &moment_
                                                    : nullptr;
    if (how == nullptr || !how->converts) {
        return 0;
    }
    Value value;
    if (!read_after_blank(line, &value) && !read_after_word(line, &value)) {
        *note = LineNote::no_value;
        return 0;
    }
    if (value.number.value == kUnsetValue) {
        return 0;
    }
    const double product = value.number.value * how->factor;
    if (!std::isfinite(value.number.value) || !std::isfinite(product)) {
        *note = LineNote::not_finite;
        return 0;
    }
    if (digit_in(value.number.end, line.text + line.length)) {
        *note = LineNote::dropped;
    }
    write_value(value, *how, product, text);
    text->head.length = static_cast<std::size_t>(value.head_end - line.text);
    return kind;
}
