// SPDX-License-Identifier: MIT
// Sequences of heap-string and string-list operations against std::string and
// std::vector models, with injected allocation failures; every tracked block is
// released at the end.
//
// Input: a sequence of operations, each an operation byte, a target byte, a number
// and a text.
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"
#include "support/fuzz_check.h"
#include "support/models.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

using Text = std::optional<std::string>;

struct State {
    char *slots[3] = {nullptr, nullptr, nullptr};
    Text slot_models[3];
    StringList lists[2] = {{0, nullptr}, {0, nullptr}};
    std::vector<Text> list_models[2];
    KeyedStringList keyed[2] = {{0, nullptr, nullptr}, {0, nullptr, nullptr}};
    std::vector<std::pair<int, Text>> keyed_models[2];
};

Text text_of(const char *s) {
    return s == nullptr ? Text() : Text(s);
}

std::vector<Text> entries(const StringList &list) {
    std::vector<Text> out;
    out.reserve(static_cast<std::size_t>(list.count));
    for (int i = 0; i < list.count; ++i) {
        out.push_back(text_of(list.items[i]));
    }
    return out;
}

std::vector<std::pair<int, Text>> entries(const KeyedStringList &list) {
    std::vector<std::pair<int, Text>> out;
    out.reserve(static_cast<std::size_t>(list.count));
    for (int i = 0; i < list.count; ++i) {
        out.emplace_back(list.keys[i], text_of(list.strings[i]));
    }
    return out;
}

void heap_operation(State &state, int op, int target, unsigned n, const std::string &text) {
    char **slot = &state.slots[target];
    Text &model = state.slot_models[target];
    const std::string old = model.value_or("");
    switch (op) {
    case 0:
        tool_strfree(slot);
        *slot = tool_strdup(text.c_str());
        model = text;
        break;
    case 1:
        tool_strcat(slot, text.c_str());
        model = old + text;
        break;
    case 2:
        tool_strncat(slot, text.c_str(), n);
        model = old + text.substr(0, n);
        break;
    case 3:
        tool_strcpy(slot, text.c_str());
        model = text;
        break;
    case 4:
        tool_strncpy(slot, text.c_str(), n);
        model = text.substr(0, n);
        break;
    case 5:
        tool_sprintf(slot, "%s|%u", text.c_str(), n);
        model = text + "|" + std::to_string(n);
        break;
    case 6: // the arguments may point into the slot's own string
        tool_sprintf(slot, "%s%s", *slot != nullptr ? *slot : "", text.c_str());
        model = old + text;
        break;
    default:
        tool_strfree(slot);
        model.reset();
        break;
    }
    if (tool_memory_failure_happened()) {
        FUZZ_CHECK(*slot == nullptr, "a failed operation leaves the slot null");
        model.reset();
    }
    FUZZ_CHECK(text_of(*slot) == model, "heap string");
}

// Appending a list to itself doubles it; left unbounded, a few dozen such steps ask
// for more memory than any machine has. Longer lists find nothing new.
constexpr std::size_t kMaxListEntries = 512;

bool too_long(std::size_t entries) {
    return entries > kMaxListEntries;
}

void list_operation(State &state, int op, int target, unsigned n, const std::string &text) {
    StringList &list = state.lists[target];
    std::vector<Text> &model = state.list_models[target];
    if (op == 0) {
        const int appended = tool_strlist_append(&list, text.c_str());
        FUZZ_CHECK(appended == (list.count > 0 ? 1 : 0), "append result");
        model.push_back(text);
    } else if (op == 1) {
        const int source = static_cast<int>(n % 2);
        const std::vector<Text> copy = state.list_models[source];
        if (too_long(model.size() + copy.size())) {
            return;
        }
        tool_strlist_append_list(&list, &state.lists[source]);
        for (const Text &entry : copy) {
            if (entry) {
                model.push_back(entry);
            }
        }
    } else if (op == 2) {
        bool expected = false;
        for (const Text &entry : model) {
            expected = expected || entry == text;
        }
        FUZZ_CHECK(tool_strlist_contains(&list, text.c_str()) == (expected ? 1 : 0), "contains");
    } else {
        tool_strlist_free(&list);
        model.clear();
    }
    if (tool_memory_failure_happened()) {
        model = entries(list); // a failed growth empties the list, a failed copy stores null
    }
    FUZZ_CHECK(entries(list) == model, "string list");
}

void keyed_operation(State &state, int op, int target, unsigned n, const std::string &text) {
    KeyedStringList &list = state.keyed[target];
    auto &model = state.keyed_models[target];
    const int key = static_cast<int>(n % 8);
    if (op == 0) {
        tool_keyed_strlist_append(&list, key, text.c_str());
        model.emplace_back(key, text);
    } else if (op == 1) {
        const int source = static_cast<int>(n % 2);
        const auto copy = state.keyed_models[source];
        if (too_long(model.size() + copy.size())) {
            return;
        }
        tool_keyed_strlist_append_list(&list, &state.keyed[source]);
        for (const auto &entry : copy) {
            if (entry.second) {
                model.push_back(entry);
            }
        }
    } else if (op == 2) {
        const int mode = static_cast<int>(n % 4);
        bool expected = false;
        for (const auto &entry : model) {
            const bool key_equal = entry.first == key;
            const bool text_equal = entry.second == text;
            expected = expected || (mode == 1   ? key_equal
                                    : mode == 2 ? text_equal
                                                : key_equal && text_equal);
        }
        FUZZ_CHECK(tool_keyed_strlist_contains(&list, key, text.c_str(), mode) ==
                       (expected ? 1 : 0),
                   "keyed contains");
    } else {
        tool_keyed_strlist_free(&list);
        model.clear();
    }
    if (tool_memory_failure_happened()) {
        model = entries(list);
    }
    FUZZ_CHECK(entries(list) == model, "keyed string list");
}

void release(State &state) {
    for (char *&slot : state.slots) {
        tool_strfree(&slot);
    }
    for (StringList &list : state.lists) {
        tool_strlist_free(&list);
    }
    for (KeyedStringList &list : state.keyed) {
        tool_keyed_strlist_free(&list);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 4096) {
        return 0;
    }
    FuzzedDataProvider in(data, size);
    const long live = tool_memory_live_blocks();
    State state;
    for (int steps = 0; in.remaining_bytes() > 0 && steps < 200; ++steps) {
        const int op = in.ConsumeIntegralInRange(0, 31);
        const int target = in.ConsumeIntegralInRange(0, 5);
        const unsigned n = in.ConsumeIntegralInRange(0u, 300u);
        const int fail = in.ConsumeIntegralInRange(0, 15);
        const std::string text = model::c_string(in.ConsumeRandomLengthString(200));
        tool_memory_fail_nth(fail < 3 ? fail : 0);
        if (op < 16) {
            heap_operation(state, op % 8, target % 3, n, text);
        } else if (op < 24) {
            list_operation(state, op % 4, target % 2, n, text);
        } else {
            keyed_operation(state, op % 4, target % 2, n, text);
        }
        tool_memory_fail_nth(0);
    }
    release(state);
    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
    return 0;
}
