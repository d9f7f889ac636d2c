// Digits a conversion drops. A converted line keeps its text up to the value and loses
// the rest, which is meant for a trailing unit ("shear_force 12.5 kN"); when that rest
// holds a digit ("shear_force 12,5", "shear_force 1.0 2.0") data is lost, and the
// converter names the first such line of each file in a warning.
#ifndef JOINT2SI_DROPPED_DIGITS_H
#define JOINT2SI_DROPPED_DIGITS_H

#include <string>

/// Whether the text after the value of `line` holds a digit: the value is the number
/// after the first blank, read as tool_atof reads it. False for a null line, a line
/// without a blank, and one where no number follows the blank.
bool drops_digits(const char *line);

/// The converted lines of one file that dropped digits.
struct DroppedDigits {
    int count = 0;
    std::string first;         // the first of them as read (comments removed)
    long long first_index = 0; // its place among the lines read (from 1), 0: none
};

#endif
