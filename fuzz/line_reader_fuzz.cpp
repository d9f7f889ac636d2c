// SPDX-License-Identifier: MIT
// tool_read_line over plain and gzip input (intact, truncated or with a damaged
// byte), with every option combination, with and without a passed-in buffer and
// with one injected allocation failure, held to the model of its contract.
//
// Input: byte 0 selects the options (bits 0-2), keep_empty_lines (bit 3), a reused
// buffer (bit 4), gzip (bit 5) and damage to the gzip data (bits 6-7); byte 1 is
// the allocation to fail (0: none); the rest is the file's content.
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "support/fuzz_check.h"
#include "support/models.h"
#include "support/scratch_dir.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Setup {
    int options;
    bool keep;
    bool reuse_buffer;
    bool gzip;
    int damage; // 0 none, 1 truncated, 2 a byte changed, 3 trailing garbage
    int fail_nth;
    std::string content;
};

std::string file_bytes(const Setup &setup) {
    if (!setup.gzip) {
        return setup.content;
    }
    std::string data = gzip_bytes(setup.content);
    const std::size_t at = setup.content.size() % data.size();
    if (setup.damage == 1) {
        data.resize(at);
    } else if (setup.damage == 2) {
        data[at] = static_cast<char>(data[at] ^ 0x5A);
    } else if (setup.damage == 3) {
        data += "\x1f\x8bjunk";
    }
    return data;
}

// Whether the model's answer applies: the file is read as the content says (plain
// content that begins with the gzip magic would be taken for gzip data).
bool model_applies(const Setup &setup) {
    if (setup.gzip) {
        return setup.damage == 0;
    }
    return setup.content.compare(0, 2, "\x1f\x8b") != 0;
}

// A reader that keeps returning lines after its input ended would loop forever.
// No input yields more lines than it has bytes, plus one; data read as gzip
// (damaged, or plain content that is itself gzip data) can expand at most
// 1032 to 1, the limit of deflate.
std::size_t line_limit(const Setup &setup, std::size_t file_size) {
    const std::size_t bytes = model_applies(setup) ? setup.content.size() : 1032 * file_size;
    return bytes + 1;
}

void run(const Setup &setup) {
    const auto path = scratch_dir() / "lines.jnt";
    const std::string bytes = file_bytes(setup);
    write_bytes(path, bytes);
    const std::size_t max_lines = line_limit(setup, bytes.size());
    const long live = tool_memory_live_blocks();
    tool_read_line_clear_status();
    ToolStream stream = tool_fopen(path.string().c_str(), "r");
    FUZZ_CHECK(stream != nullptr, "open");
    model::LineReader model(setup.content);
    const bool exact = model_applies(setup);

    char *buffer = setup.reuse_buffer ? tool_strdup("previous line") : nullptr;
    tool_memory_fail_nth(setup.fail_nth);
    bool stopped_by_memory = false;
    for (std::size_t calls = 0;; ++calls) {
        FUZZ_CHECK(calls <= max_lines, "too many lines");
        char *line = tool_read_line(stream, buffer, setup.options, setup.keep ? 1 : 0);
        buffer = setup.reuse_buffer ? line : nullptr;
        if (line == nullptr && (tool_read_line_status() & TOOL_READ_LINE_OUT_OF_MEMORY)) {
            FUZZ_CHECK(tool_memory_failure_happened(), "out of memory without a failure");
            stopped_by_memory = true;
            break;
        }
        const auto expected = model.next(setup.options, setup.keep);
        if (exact) {
            FUZZ_CHECK((line != nullptr) == expected.has_value(), "line or end");
            FUZZ_CHECK(line == nullptr || model::c_string(*expected) == line, "line text");
        }
        if (line == nullptr) {
            break;
        }
        if (!setup.reuse_buffer) {
            tool_free(line, __FILE__, __LINE__);
        }
    }
    tool_memory_fail_nth(0);
    tool_free(buffer, __FILE__, __LINE__);
    if (exact && !stopped_by_memory) {
        FUZZ_CHECK(tool_read_line(stream, nullptr, setup.options, setup.keep) == nullptr,
                   "null again after the end");
        FUZZ_CHECK(tool_ferror(stream) == 0, "intact input read whole");
        const bool zero = setup.content.find('\0') != std::string::npos;
        FUZZ_CHECK(((tool_read_line_status() & TOOL_READ_LINE_ZERO_BYTE) != 0) == zero,
                   "zero byte flag");
    }
    // Cut after the 10-byte member header: the file is gzip data that ends early.
    const bool truncated_member = setup.gzip && setup.damage == 1 &&
                                  setup.content.size() % gzip_bytes(setup.content).size() >= 10;
    if (truncated_member && !stopped_by_memory) {
        FUZZ_CHECK(tool_ferror(stream) != 0, "truncated gzip data reported");
    }
    tool_fclose(&stream);
    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2 || size > 4096) {
        return 0;
    }
    Setup setup;
    setup.options = data[0] & 7;
    setup.keep = (data[0] & 8) != 0;
    setup.reuse_buffer = (data[0] & 16) != 0;
    setup.gzip = (data[0] & 32) != 0;
    setup.damage = data[0] >> 6;
    setup.fail_nth = data[1] % 16;
    setup.content.assign(reinterpret_cast<const char *>(data) + 2, size - 2);
    run(setup);
    return 0;
}
