#include "file/standard_input.h"

#include "file/fast_rewrite.h"
#include "sinks/standard_output_sink.h"
#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

namespace {

// Converts `input` to standard output; the message for a failure names "-".
bool convert_to_standard_output(ToolStream input, const CommandLine &options) {
    StandardOutputSink sink;
    if (!sink.start()) {
        report_cannot_write(kStandardInputName);
        return false;
    }
    const OnePassOutcome outcome = convert_lines(
        stream_source(input), conversion_for(options.conversion), target_of(&sink), nullptr);
    if (outcome == OnePassOutcome::not_text) {
        report_not_text(kStandardInputName);
    } else if (outcome == OnePassOutcome::read_failed || tool_ferror(input) != 0) {
        report_cannot_read(kStandardInputName);
    } else if (outcome == OnePassOutcome::write_failed || !sink.finish()) {
        report_cannot_write(kStandardInputName);
    } else {
        return true;
    }
    return false;
}

} // namespace

bool convert_standard_input(const CommandLine &options) {
    ToolStream input = zfile_open_standard_input();
    if (input == nullptr) {
        report_cannot_open(kStandardInputName);
        return false;
    }
    const bool converted = convert_to_standard_output(input, options);
    tool_fclose(&input);
    return converted;
}
