// tool_strmatch against the memoised recursion of its definition, each match
// bounded in time (the recursion run literally is exponential in the stars).
//
// Input: byte 0 bit 0 is fold_case; then the pattern up to the first zero byte,
// then the text.
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"
#include "support/fuzz_check.h"
#include "support/models.h"

#include <chrono>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1 || size > 1024) {
        return 0;
    }
    const bool fold = (data[0] & 1) != 0;
    const std::string rest(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::size_t zero = rest.find('\0');
    const std::string pattern = rest.substr(0, zero);
    const std::string text =
        zero == std::string::npos ? std::string() : model::c_string(rest.substr(zero + 1));
    const long live = tool_memory_live_blocks();

    const auto start = std::chrono::steady_clock::now();
    const int matched = tool_strmatch(pattern.c_str(), text.c_str(), fold ? 1 : 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    FUZZ_CHECK(elapsed < std::chrono::milliseconds(100), "one match within 100 ms");
    FUZZ_CHECK(matched == (model::strmatch(pattern, text, fold) ? 1 : 0), "match result");

    FUZZ_CHECK(tool_strmatch(nullptr, text.c_str(), 0) == 1, "null pattern matches");
    FUZZ_CHECK(tool_strmatch(pattern.c_str(), nullptr, 0) == 0, "null text never matches");
    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
    return 0;
}
