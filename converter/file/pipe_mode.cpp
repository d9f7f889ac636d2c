#include "file/pipe_mode.h"

#include "file/convert_failure.h"
#include "file/input_source.h"
#include "pipeline/convert_pass.h"
#include "sinks/standard_output_sink.h"
#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

bool convert_standard_input(const Conversion &conversion, ConversionCounts *counts) {
    ToolStream input = zfile_open_standard_input();
    if (input == nullptr) {
        report_cannot_open(kStandardInputName);
        return false;
    }
    StandardOutputSink sink;
    const ConvertOutcome outcome = convert(stream_source(input), &sink, conversion, counts);
    tool_fclose(&input);
    report_convert_failure(outcome, kStandardInputName);
    return outcome == ConvertOutcome::converted;
}
