#include "dstring/printf_format.h"

#include <cstring>

namespace {

const char kFlags[] = "-+ #0";
const char kDigits[] = "0123456789";

// The end of the conversion that starts right after a "%": flags, width, precision,
// then the letter. Returns the letter's position, or null when a letter from `letters`
// does not follow.
const char *conversion_letter(const char *p, const char *letters) {
    p += std::strspn(p, kFlags);
    p += std::strspn(p, kDigits);
    if (*p == '.') {
        ++p;
        p += std::strspn(p, kDigits);
    }
    return (*p != '\0' && std::strchr(letters, *p) != nullptr) ? p : nullptr;
}

} // namespace

namespace dstring {

bool has_single_conversion(const char *format, const char *letters) {
    if (format == nullptr) {
        return false;
    }
    int conversions = 0;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            continue;
        }
        if (p[1] == '%') {
            ++p;
            continue;
        }
        p = conversion_letter(p + 1, letters);
        if (p == nullptr) {
            return false;
        }
        ++conversions;
    }
    return conversions == 1;
}

} // namespace dstring
