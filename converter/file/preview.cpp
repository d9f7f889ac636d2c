#include "file/preview.h"

#include "diff/unified_diff.h"
#include "file/convert_failure.h"
#include "pipeline/convert_pass.h"
#include "terminal/messages.h"

#include "libtools/tool_console.h"
#include "libtools/tool_sys_io.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

constexpr int kBlock = 1 << 16;

// Collects the converted text in memory.
class TextSink : public OutputSink {
  public:
    bool append(const char *data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    bool finish() override { return true; }
    std::string text;
};

// The whole text of `input` from its start, in the file's own bytes (no translation of
// line ends); false, with `*reason` telling why, when it cannot be rewound or read.
bool read_again(ToolStream input, std::string *text, int *reason) {
    // A plain stream's seek gives 0 on success, a compressed one's the new position, 0.
    errno = 0;
    if (tool_fseek(input, 0, SEEK_SET) != 0 ||
        (zfile_is_compressed(input) == 0 &&
         tool_binary_mode(static_cast<std::FILE *>(input)) == 0)) {
        *reason = errno;
        return false;
    }
    char block[kBlock];
    for (;;) {
        errno = 0;
        const int got = tool_fread(block, 1, kBlock, input);
        if (got <= 0) {
            *reason = read_failure_reason(input, errno);
            return tool_ferror(input) == 0;
        }
        text->append(block, static_cast<std::size_t>(got));
    }
}

} // namespace

bool preview_file(const char *name, ToolStream input, WatchedInput *source,
                  const Conversion &conversion, ConversionCounts *counts) {
    TextSink converted;
    const ConvertOutcome outcome = convert(source->source(), &converted, conversion, counts);
    if (outcome != ConvertOutcome::converted) {
        report_convert_failure(outcome, name, *counts, source->error());
        return false;
    }
    std::string original;
    int reason = 0;
    if (!read_again(input, &original, &reason)) {
        report_cannot_read(name, reason);
        return false;
    }
    // Untranslated on every system: the diff carries the file's own line ends, so that
    // it applies to the file byte for byte, as diff -u writes it.
    errno = 0;
    if (tool_binary_mode(stdout) == 0 ||
        !write_unified_diff(stdout, name, original, converted.text) || std::fflush(stdout) != 0) {
        report_cannot_write("-", errno);
        return false;
    }
    return true;
}
