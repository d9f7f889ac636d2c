// SPDX-License-Identifier: MIT
#include "support/line_text.h"

int convert_line_text(LineView line, const Conversion &conversion, std::string *out, bool *dropped,
                      LineNote *note) {
    LineNote noted = LineNote::none;
    LineText text;
    const int kind = LineConverter(conversion).convert(line, &text, &noted);
    out->append(text.head.text, text.head.length);
    out->append(text.value.text, text.value.length);
    if (dropped != nullptr) {
        *dropped = noted == LineNote::dropped;
    }
    if (note != nullptr) {
        *note = noted;
    }
    return kind;
}
