// The conversion of one line, as classify_line and convert_line do it, over a view of
// the line: no allocation, and the value's digits written by the fast number writers
// where they are exact. The line's text is never changed; what is written is its head
// and the converted value's text after it.
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

/// A kind's factor with what is known of it once per conversion.
struct ResolvedKind {
    double factor;
    int power_of_ten; // the factor's exact power of ten, or -1
};

/// Converts lines with the factors of one run, resolved once.
class LineConverter {
  public:
    explicit LineConverter(const Conversion &conversion);

    /// Fills `*text` with what is written for `line`: rewritten when it is a force or
    /// moment line whose value converts. Returns the kind of a rewritten line
    /// (KIND_FORCE, KIND_MOMENT), else 0; `*dropped` tells whether a digit followed the
    /// value.
    int convert(LineView line, LineText *text, bool *dropped) const;

  private:
    ResolvedKind force_;
    ResolvedKind moment_;
};

#endif
