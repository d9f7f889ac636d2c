// SPDX-License-Identifier: MIT
// Symbolic character names: "phi", "unicode:<number>", "\<number>", "none".
#include "libtools/tool_sys_io.h"

namespace {

// o with stroke, small and capital, in the Windows-1252 code page.
constexpr int kSmallPhi = 0xF8;
constexpr int kCapitalPhi = 0xD8;

// "unicode" in any case, one separator of any kind, then the number.
constexpr char kUnicodePrefix[] = "unicode";
constexpr unsigned kUnicodePrefixLength = sizeof kUnicodePrefix - 1;

int low_byte(int value) {
    return static_cast<int>(static_cast<unsigned>(value) & 0xFFu);
}

} // namespace

extern "C" {

int tool_char_from_name(const char *name, int default_character) {
    if (name == nullptr) {
        return default_character;
    }
    if (tool_strcmp(name, "phi") == 0) {
        return kSmallPhi;
    }
    if (tool_strcmp(name, "PHI") == 0) {
        return kCapitalPhi;
    }
    if (tool_strlen(name) >= kUnicodePrefixLength + 2 &&
        tool_strnicmp(name, kUnicodePrefix, static_cast<int>(kUnicodePrefixLength)) == 0) {
        return low_byte(tool_atoi(name + kUnicodePrefixLength + 1));
    }
    if (name[0] == '\\') {
        return low_byte(tool_atoi(name + 1));
    }
    if (tool_stricmp(name, "none") == 0) {
        return default_character;
    }
    return static_cast<unsigned char>(name[0]);
}

} // extern "C"
