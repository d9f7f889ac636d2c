#include "libtools/tool_dstring.h"
#include "support/memory_check.h"

#include <cstring>
#include <string>

namespace {

using HeapString = LeakCheckedTest;

TEST_F(HeapString, DuplicateMakesAnIndependentCopy) {
    char source[] = "abc";
    char *copy = tool_strdup(source);
    source[0] = 'x';
    EXPECT_STREQ(copy, "abc");
    tool_strfree(&copy);
    EXPECT_EQ(copy, nullptr);
}

} // namespace
