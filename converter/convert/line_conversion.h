// SPDX-License-Identifier: MIT
// The conversion of one line, as classify_line and convert_line do it, over a view of
// the line: no allocation, and the value's digits written by the fast number writers
// where they are exact. The line's text is never changed; what is written is its head
// and the converted value's text after it.
//
// A force or moment line is read as convert_line reads it: the number after its first
// blank, the head kept up to and including that blank. Where that finds no number
// (a tab or "=" after the keyword, an indented line, "keyword: value"), the line is
// read again as indentation (blanks and tabs), one word (up to a blank, tab or "="),
// a separator of blanks and tabs holding at most one "=" or ":", and the number; the
// head is then everything before the number, kept as written. Either way the text
// after the number is dropped.
#ifndef JOINT2SI_CONVERT_LINE_CONVERSION_H
#define JOINT2SI_CONVERT_LINE_CONVERSION_H

#include "convert/block_line_reader.h"
#include "convert/fast_number.h"
#include "convert/units.h"

/// What is written for a line: its head (the whole line when it stays as it is) and the
/// converted value's text after it (empty when there is none).
struct LineText {
    LineView head;
    LineView value;
    char digits[kFixedTextRoom]; // where the value's text is written, unless tool_dtoa's
};

/// What a force or moment line leaves to be said about its file.
enum class LineNote {
    none,
    dropped,    // converted; digits after the value were dropped with the rest
    no_value,   // neither reading found a number: the line stays as it is
    not_finite, // the value or its product is not finite: the line stays, and the
                // file cannot be converted exactly
};

/// A kind's factor with what is known of it once per conversion.
struct ResolvedKind {
    double factor;
    int power_of_ten; // the factor's exact power of ten, or -1
    bool converts;    // the factor's magnitude is above 1e-9: the kind's lines are read
};

/// Converts lines with the factors of one run, resolved once.
class LineConverter {
  public:
    explicit LineConverter(const Conversion &conversion);

    /// Fills `*text` with what is written for `line`: rewritten when it is a force or
    /// moment line whose value converts. Returns the kind of a rewritten line
    /// (KIND_FORCE, KIND_MOMENT), else 0; `*note` tells what the report of the file
    /// must say of the line. A kind whose factor's magnitude is 1e-9 or less is not
    /// read at all, and the value -2147483648 stays as written: neither gets a note.
    int convert(LineView line, LineText *text, LineNote *note) const;

  private:
    ResolvedKind force_;
    ResolvedKind moment_;
};

#endif
