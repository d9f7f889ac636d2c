// SPDX-License-Identifier: MIT
// Unit conversion of one line: which lines hold a force or a moment, the factors
// of the force and moment units to newtons and newton metres, and the rewrite of
// a line's value in SI units.
//
// A run resolves its factors once into a Conversion (resolve_unit) and converts
// every line with them (convert_line_by_factor). The older lookups
// (get_force_factor, get_moment_factor, convert_line) keep a process-wide cache
// instead: the factor of each kind is resolved from its unit text at the first
// lookup and kept (a factor of -1 marks a kind still unresolved, so a unit text
// reading as -1 is looked at again each time). Those are not re-entrant.
#ifndef JOINT2SI_UNITS_H
#define JOINT2SI_UNITS_H

/// Kinds of convertible lines.
constexpr int KIND_FORCE = 1;
constexpr int KIND_MOMENT = 2;

/// Which values the imperial units of the table stand for.
enum class UnitFactors {
    table, // the short values files were always converted with (lbf 4.448222, lbf-in 0.113)
    exact, // the exact definitions (lbf 4.4482216152605, lbf-in 0.112984829027617)
};

/// The factors of one run, resolved once from its unit texts. A kind whose unit text
/// was not given has the factor 0, so its lines stay unchanged.
struct Conversion {
    double force = 0.0;
    double moment = 0.0;
};

/// KIND_FORCE when the line contains "shear_force" or "axial_force", else KIND_MOMENT
/// when it contains "bending_moment", else 0 (also for a null line). Case-sensitive.
int classify_line(const char *line);

/// Resolves `unit_text` for `kind` into `*factor`: the table factor of a unit name
/// (ASCII case ignored) or of "false" (0), else the number the text holds as tool_atof
/// reads it, with nothing after it ("1e3", "0x10", " 2"). Returns 1 then; returns 0 with
/// `*factor` 0 for a text that is none of these (an unknown unit: "1kN", "1,5", "12 kN"),
/// for a number that is not finite ("nan", "inf", "1e400") or whose magnitude is not 0
/// and below the smallest normal double ("1e-400"), for a null text, and for a kind
/// that is neither KIND_FORCE nor KIND_MOMENT. Unlike the cached lookups below, which
/// take the number a text begins with.
int resolve_unit(const char *unit_text, int kind, UnitFactors factors, double *factor);

/// Rewrites the line in `*line` as its head up to and including the first blank
/// followed by the value after that blank times `factor`, in "%.6f" form (the string
/// may move; the slot is updated). Returns 1 when the line was rewritten. Returns 0 and
/// leaves the line unchanged for a null slot pointer, a line without a blank or without
/// a number after it, a factor of magnitude 1e-9 or less, the value -2147483648, and a
/// value or product that is not finite. Returns 0 with the slot null when memory ran
/// out (a message was printed).
int convert_line_by_factor(char **line, double factor);

/// The factor of `unit_text` for `kind`: 0 for a null text or a kind that is neither
/// KIND_FORCE nor KIND_MOMENT (no lookup then); otherwise get_force_factor or
/// get_moment_factor.
double get_unit_factor(const char *unit_text, int kind);

/// The force factor to newtons. Once resolved it is returned whatever the text; the
/// first call resolves it from the text: 0 for null or "false", the table factor for a
/// force unit (kg T N daN kN lbf kip, ASCII case ignored), else the number the text
/// begins with (0 when it begins with none).
double get_force_factor(const char *unit_text);

/// The moment factor to newton metres, as get_force_factor with the moment units
/// (kgm Tm Nm daNm kNm lbf-in lbf-ft kip-in kip-ft).
double get_moment_factor(const char *unit_text);

/// As convert_line_by_factor with the cached factor of `kind` for `unit_text`. Returns 0
/// for a null unit text or slot pointer without a factor lookup.
int convert_line(int kind, char **line, const char *unit_text);

/// Makes both cached factors unresolved again, as at process start.
void reset_unit_factors();

#endif
