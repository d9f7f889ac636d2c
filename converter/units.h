// Unit conversion of one line: which lines hold a force or a moment, the factors
// of the force and moment units to newtons and newton metres, and the rewrite of
// a line's value in SI units.
//
// The factor of each kind is resolved from its unit text at the first lookup and
// kept for the rest of the process (a factor of -1 marks a kind still unresolved,
// so a unit text reading as -1 is looked at again each time). Not re-entrant.
#ifndef JOINT2SI_UNITS_H
#define JOINT2SI_UNITS_H

/// Kinds of convertible lines.
constexpr int KIND_FORCE = 1;
constexpr int KIND_MOMENT = 2;

/// KIND_FORCE when the line contains "shear_force" or "axial_force", else KIND_MOMENT
/// when it contains "bending_moment", else 0 (also for a null line). Case-sensitive.
int classify_line(const char *line);

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

/// Rewrites the line in `*line` as its head up to and including the first blank
/// followed by the value after that blank times the factor of `kind`, in "%.6f" form
/// (the string may move; the slot is updated). Returns 1 when the line was rewritten.
/// Returns 0 and leaves the line unchanged for a null unit text or slot pointer (no
/// factor lookup then), a line without a blank or without a number after it, a factor
/// of magnitude 1e-9 or less, the value -2147483648, and a value or product that is not
/// finite. Returns 0 with the slot null when memory ran out (a message was printed).
int convert_line(int kind, char **line, const char *unit_text);

/// Makes both factors unresolved again, as at process start: for tests, and for a
/// fresh run in the same process.
void reset_unit_factors();

#endif
