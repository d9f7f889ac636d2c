// SPDX-License-Identifier: MIT
#include "app/match_order.h"

#include "libtools/tool_dstring.h"

#include <cstring>

int compare_matches(const char *a, const char *b) {
    const int folded = tool_strfoldcmp(a, b);
    return folded != 0 ? folded : std::strcmp(a, b);
}
