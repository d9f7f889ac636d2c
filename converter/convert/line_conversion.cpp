#include "convert/line_conversion.h"

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
    const void *found = std::memchr(begin, '_', line.length);
    while (found != nullptr) {
        const char *p = static_cast<const char *>(found);
        if (at(p + 1, end, "force", 5) && p - begin >= 5 &&
            (at(p - 5, end, "shear", 5) || at(p - 5, end, "axial", 5))) {
            return KIND_FORCE;
        }
        if (kind == 0 && at(p + 1, end, "moment", 6) && p - begin >= 7 &&
            at(p - 7, end, "bending", 7)) {
            kind = KIND_MOMENT;
        }
        found = std::memchr(p + 1, '_', static_cast<std::size_t>(end - p - 1));
    }
    return kind;
}

// The number after the blank as tool_atof_checked reads it.
bool read_value(const char *p, const char *end, PlainDecimal *number, bool *plain) {
    *plain = read_plain_decimal(p, end, number);
    if (*plain) {
        return true;
    }
    const std::string text(p, end); // rare: every form but the plain decimal
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

// The text of the converted value of a force or moment line whose head ends at
// `blank`, in *text and *length (in `digits` or tool_dtoa's buffer); false when the
// line stays as it is. Sets *dropped when a digit follows the value.
bool converted_value(LineView line, const char *blank, const ResolvedKind &how,
                     char (&digits)[kFixedTextRoom], const char **text, std::size_t *length,
                     bool *dropped) {
    const double factor = how.factor;
    const char *end = line.text + line.length;
    PlainDecimal number{};
    bool plain = false;
    if (!read_value(blank + 1, end, &number, &plain) || !(std::fabs(factor) > kSmallestFactor) ||
        number.value == kUnsetValue) {
        return false;
    }
    const double product = number.value * factor;
    if (!std::isfinite(number.value) || !std::isfinite(product)) {
        return false;
    }
    *dropped = digit_in(number.end, end);
    const char *written = write_product(number, plain, how.power_of_ten, product, digits);
    if (written != nullptr) {
        *text = digits;
        *length = static_cast<std::size_t>(written - digits);
    } else {
        *text = tool_dtoa(6, 6, product);
        *length = std::strlen(*text);
    }
    return true;
}

ResolvedKind resolve(double factor) {
    return ResolvedKind{factor, power_of_ten_of(factor)};
}

} // namespace

LineConverter::LineConverter(const Conversion &conversion)
    : force_(resolve(conversion.force)), moment_(resolve(conversion.moment)) {}

int LineConverter::convert(LineView line, LineText *text, bool *dropped) const {
    text->head = line;
    text->value = LineView{nullptr, 0};
    *dropped = false;
    const int kind = classify(line);
    const ResolvedKind *how = kind == KIND_FORCE    ? &force_
                              : kind == KIND_MOMENT ? &moment_
                                                    : nullptr;
    if (how == nullptr) {
        return 0;
    }
    const char *blank = static_cast<const char *>(std::memchr(line.text, ' ', line.length));
    if (blank == nullptr || !converted_value(line, blank, *how, text->digits, &text->value.text,
                                             &text->value.length, dropped)) {
        return 0;
    }
    text->head.length = static_cast<std::size_t>(blank + 1 - line.text);
    return kind;
}
