// SPDX-License-Identifier: MIT
// Pattern expansion on a fixed directory: the names tool_expand_pattern lists and
// tool_count_matches counts are exactly the directory's names that the wildcard
// model matches with case folding ("." and ".." aside).
//
// Input: the pattern.
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "support/fuzz_check.h"
#include "support/models.h"
#include "support/scratch_dir.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const char *const kNames[] = {
    "a.jnt",
    "B.JNT",
    "bridge.jnt.gz",
    "data1.csv",
    "data12.csv",
    "x[y].jnt",
    "notes.txt",
    "ab",
    "%name$",
    "back\\slash.jnt",
    ".hidden",
    "a b.jnt",
    "UPPER.Jnt",
    "caf\xc3\xa9.jnt",
    "[]",
    "*",
    "?x",
    "a.jnt~",
};

const std::string &fixed_directory() {
    static const std::string path = [] {
        const auto dir = scratch_dir() / "pattern";
        std::filesystem::create_directory(dir);
        for (const char *name : kNames) {
            write_bytes(dir / name, "x");
        }
        std::filesystem::create_directory(dir / "sub");
        return dir.string();
    }();
    return path;
}

std::vector<std::string> expected_matches(const std::string &pattern) {
    std::vector<std::string> names = {"sub"};
    names.insert(names.end(), std::begin(kNames), std::end(kNames));
    std::vector<std::string> matched;
    for (const std::string &name : names) {
        if (model::strmatch(pattern, name, true)) {
            matched.push_back(name);
        }
    }
    std::sort(matched.begin(), matched.end());
    return matched;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 256) {
        return 0;
    }
    const std::string pattern =
        model::c_string(std::string(reinterpret_cast<const char *>(data), size));
    const std::string &directory = fixed_directory();
    const long live = tool_memory_live_blocks();

    StringList list = {0, nullptr};
    const int count = tool_expand_pattern(&list, pattern.c_str(), directory.c_str());
    FUZZ_CHECK(count == list.count, "count and list agree");
    std::vector<std::string> names;
    for (int i = 0; i < list.count; ++i) {
        const std::string name = list.items[i];
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = expected_matches(pattern);
    FUZZ_CHECK(names == expected, "matched names");
    FUZZ_CHECK(tool_count_matches(pattern.c_str(), directory.c_str()) ==
                   static_cast<int>(expected.size()),
               "tool_count_matches");
    tool_strlist_free(&list);
    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
    return 0;
}
