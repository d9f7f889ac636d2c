// SPDX-License-Identifier: MIT
#include "convert/units.h"

#include "libtools/tool_dstring.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

struct Unit {
    const char *text;
    double factor; // the table's value
    double exact;  // the exact definition
};

// "false" turns conversion of its kind off. The exact imperial factors are the
// definitions (1 lbf = 4.4482216152605 N, 1 kip = 1000 lbf, 1 in = 0.0254 m, 1 ft = 12 in).
constexpr Unit kForceUnits[] = {
    {"false", 0.0, 0.0},
    {"kg", 9.80665, 9.80665},
    {"T", 9806.65, 9806.65},
    {"N", 1.0, 1.0},
    {"daN", 10.0, 10.0},
    {"kN", 1000.0, 1000.0},
    {"lbf", 4.448222, 4.4482216152605},
    {"kip", 4448.222, 4448.2216152605},
};

constexpr Unit kMomentUnits[] = {
    {"false", 0.0, 0.0},
    {"kgm", 9.80665, 9.80665},
    {"Tm", 9806.65, 9806.65},
    {"Nm", 1.0, 1.0},
    {"daNm", 10.0, 10.0},
    {"kNm", 1000.0, 1000.0},
    {"lbf-in", 0.113, 0.112984829027617},
    {"lbf-ft", 1.356, 1.3558179483314},
    {"kip-in", 113.0, 112.984829027617},
    {"kip-ft", 1356.0, 1355.8179483314},
};

constexpr double kUnresolved = -1.0;
constexpr double kSmallestFactor = 1e-9;
// The smallest 32-bit int; a line holding it is kept as written, never converted.
constexpr double kUnsetValue = -2147483648.0;

double force_factor = kUnresolved;
double moment_factor = kUnresolved;

// The entry of `table` named `unit_text` (ASCII case ignored), or null.
template <std::size_t N>
const Unit *find_unit(const Unit (&table)[N], const char *unit_text) {
    for (const Unit &unit : table) {
        if (tool_stricmp(unit_text, unit.text) == 0) {
            return &unit;
        }
    }
    return nullptr;
}

// How much of a unit text that names no unit must be a number.
enum class NumberRule {
    prefix, // the number the text begins with; what follows is ignored ("2kN" is 2)
    whole,  // a number and nothing after it, finite and not below the normal range
};

// Whether `text` is the number `value` (read by tool_atof) and nothing else, and that
// number is what the text says: finite, and neither rounded to zero nor into the
// denormal range ("1e-400"), where a factor would keep only part of its digits or none.
// strtod, from which tool_atof takes every finite value, tells where the number ends
// (where "%lf" may read on: "1e" is 1 followed by "e") and reports the range error that
// tool_atof does not.
bool whole_number(const char *text, double value) {
    if (!std::isfinite(value) || (value != 0.0 && std::fabs(value) < DBL_MIN)) {
        return false;
    }
    errno = 0;
    char *end = nullptr;
    const double read = std::strtod(text, &end);
    return errno != ERANGE && end != text && *end == '\0' && read == value;
}

// 1 and the number `unit_text` holds by `rule` in `*factor`; 0 and 0.0 when it holds
// none.
int read_factor(const char *unit_text, NumberRule rule, double *factor) {
    if (!tool_atof_checked(unit_text, factor)) {
        return 0;
    }
    if (rule == NumberRule::whole && !whole_number(unit_text, *factor)) {
        *factor = 0.0;
        return 0;
    }
    return 1;
}

// 1 and the factor `unit_text` names in `table`, or the number it holds by `rule`;
// 0 and 0.0 when it is neither.
template <std::size_t N>
int lookup(const Unit (&table)[N], const char *unit_text, UnitFactors factors, NumberRule rule,
           double *factor) {
    *factor = 0.0;
    if (unit_text == nullptr) {
        return 0;
    }
    const Unit *unit = find_unit(table, unit_text);
    if (unit != nullptr) {
        *factor = factors == UnitFactors::exact ? unit->exact : unit->factor;
        return 1;
    }
    return read_factor(unit_text, rule, factor);
}

// The slot's factor, resolving it from `unit_text` while it is unresolved.
template <std::size_t N>
double resolve(double *slot, const Unit (&table)[N], const char *unit_text) {
    if (*slot == kUnresolved) {
        lookup(table, unit_text, UnitFactors::table, NumberRule::prefix, slot);
    }
    return *slot;
}

} // namespace

int classify_line(const char *line) {
    if (tool_strstr(line, "shear_force") != nullptr ||
        tool_strstr(line, "axial_force") != nullptr) {
        return KIND_FORCE;
    }
    return tool_strstr(line, "bending_moment") != nullptr ? KIND_MOMENT : 0;
}

int resolve_unit(const char *unit_text, int kind, UnitFactors factors, double *factor) {
    double ignored = 0.0;
    double *result = factor != nullptr ? factor : &ignored;
    if (kind == KIND_FORCE) {
        return lookup(kForceUnits, unit_text, factors, NumberRule::whole, result);
    }
    if (kind == KIND_MOMENT) {
        return lookup(kMomentUnits, unit_text, factors, NumberRule::whole, result);
    }
    *result = 0.0;
    return 0;
}

double get_force_factor(const char *unit_text) {
    return resolve(&force_factor, kForceUnits, unit_text);
}

double get_moment_factor(const char *unit_text) {
    return resolve(&moment_factor, kMomentUnits, unit_text);
}

double get_unit_factor(const char *unit_text, int kind) {
    if (unit_text == nullptr) {
        return 0.0;
    }
    if (kind == KIND_FORCE) {
        return get_force_factor(unit_text);
    }
    return kind == KIND_MOMENT ? get_moment_factor(unit_text) : 0.0;
}

void reset_unit_factors() {
    force_factor = kUnresolved;
    moment_factor = kUnresolved;
}

int convert_line_by_factor(char **line, double factor) {
    if (line == nullptr) {
        return 0;
    }
    char *blank = tool_strchr(*line, ' ');
    double value = 0.0;
    if (blank == nullptr || !tool_atof_checked(blank + 1, &value)) {
        return 0;
    }
    if (!(std::fabs(factor) > kSmallestFactor) || value == kUnsetValue) {
        return 0;
    }
    const double product = value * factor;
    if (!std::isfinite(value) || !std::isfinite(product)) {
        return 0;
    }
    blank[1] = '\0';
    return tool_strcat(line, tool_dtoa(6, 6, product)) != nullptr ? 1 : 0;
}

int convert_line(int kind, char **line, const char *unit_text) {
    if (unit_text == nullptr || line == nullptr) {
        return 0;
    }
    return convert_line_by_factor(line, get_unit_factor(unit_text, kind));
}
