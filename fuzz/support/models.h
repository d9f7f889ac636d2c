// SPDX-License-Identifier: MIT
// Small, direct models of the documented contracts that the fuzz targets hold the
// real code to. They favour plainness over speed and share no code with what they
// check, but for one table: the matching model folds non-ASCII letters through
// tool_strfoldcmp, whose table a unit test checks against Unicode's own data.
#ifndef JOINT2SI_FUZZ_MODELS_H
#define JOINT2SI_FUZZ_MODELS_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace model {

/// The line reader's contract over a byte string: each next() is one call of
/// tool_read_line with the given options (bits 1, 2, 4) and keep_empty_lines.
class LineReader {
  public:
    explicit LineReader(std::string input) : input_(std::move(input)) {}
    /// The line with every byte collected (zero bytes included), or nullopt for null.
    std::optional<std::string> next(int options, bool keep_empty_lines);
    /// How many bytes the calls so far consumed.
    std::size_t consumed() const { return pos_; }

  private:
    bool at(char c) const { return pos_ < input_.size() && input_[pos_] == c; }
    int opener(char c, int options);

    std::string input_;
    std::size_t pos_ = 0;
};

/// Every line the reader gives before its first null.
std::vector<std::string> read_all_lines(const std::string &input, int options,
                                        bool keep_empty_lines);

/// Whether two doubles are the same value: both NaN, or equal with the same sign.
bool same_double(double a, double b);

/// The caller's view of a line: its bytes up to the first zero byte.
std::string c_string(const std::string &line);

/// Line kinds of the converter: 1 force, 2 moment, 0 other.
int classify(const std::string &line);

/// sscanf "%lf" at the start of `text`: the value, or nullopt when nothing converts.
std::optional<double> scan_double(const std::string &text);

/// The factor a unit text resolves to for `kind` with the table's short factors, or
/// nullopt for an unknown unit.
std::optional<double> unit_factor(const std::string &unit_text, int kind);

/// The factor a run takes for a non-empty unit text of `kind`: a unit name, "false", or
/// a number with nothing after it that is finite and 0 or at least the smallest normal
/// double; nullopt for any other text, which the run refuses.
std::optional<double> run_unit_factor(const std::string &unit_text, int kind);

/// The line with its value rewritten by `factor`, or nullopt when it stays unchanged.
std::optional<std::string> convert(const std::string &line, double factor);

/// What a file's conversion writes for a force or moment line whose factor converts
/// (magnitude above 1e-9): the number after the first blank or, where none follows it,
/// after indentation, one word and a separator of blanks and tabs with at most one "="
/// or ":", rewritten with everything before it kept; the line as it is when neither
/// gives a number or the value is -2147483648; nullopt when the line refuses its file
/// (a digit after the value, a value or product that is not finite).
std::optional<std::string> convert_in_file(const std::string &line, double factor);

/// tool_strmatch's definition over UTF-8 characters, memoised; fold_case folds by
/// Unicode's simple case folding.
bool strmatch(const std::string &pattern, const std::string &text, bool fold_case);

} // namespace model

#endif
