#include "standard_input.h"

#include "conversion_loop.h"
#include "messages.h"
#include "standard_output_sink.h"

#include "libtools/tool_sys_io.h"

bool convert_standard_input(const CommandLine &options) {
    ToolStream input = zfile_open_standard_input();
    if (input == nullptr) {
        report_cannot_open(kStandardInputName);
        return false;
    }
    StandardOutputSink sink;
    const ConversionOutcome outcome = convert_stream(input, &sink, options.conversion);
    tool_fclose(&input);
    if (outcome != ConversionOutcome::converted) {
        report_outcome(outcome, kStandardInputName);
        return false;
    }
    return true;
}
