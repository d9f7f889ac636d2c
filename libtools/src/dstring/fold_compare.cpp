// SPDX-License-Identifier: MIT
// Comparison of texts after case folding, for listing names in one order on every system.
#include "dstring/case_fold.h"
#include "libtools/tool_dstring.h"

extern "C" {

int tool_strfoldcmp(const char *a, const char *b) {
    if (a == nullptr || b == nullptr) {
        return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
    }
    while (*a != '\0' && *b != '\0') {
        const case_fold::Unit x = case_fold::fold(case_fold::next_unit(a));
        const case_fold::Unit y = case_fold::fold(case_fold::next_unit(b));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return (*a != '\0' ? 1 : 0) - (*b != '\0' ? 1 : 0);
}

} // extern "C"
