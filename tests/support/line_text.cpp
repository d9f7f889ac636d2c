#include "support/line_text.h"

int convert_line_text(LineView line, const Conversion &conversion, std::string *out,
                      bool *dropped) {
    bool dropped_here = false;
    LineText text;
    const int kind = LineConverter(conversion).convert(line, &text, &dropped_here);
    out->append(text.head.text, text.head.length);
    out->append(text.value.text, text.value.length);
    if (dropped != nullptr) {
        *dropped = dropped_here;
    }
    return kind;
}
