#include "support/process_control.h"

std::string with_text_line_ends(const std::string &text) {
    std::string stored;
    for (const char c : text) {
        stored += c == '\n' ? std::string(text_line_end()) : std::string(1, c);
    }
    return stored;
}
