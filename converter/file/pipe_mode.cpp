#include "file/pipe_mode.h"

#include "file/convert_failure.h"
#include "file/input_source.h"
#include "pipeline/convert_pass.h"
#include "sinks/standard_output_sink.h"
#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

#include <cerrno>

bool convert_standard_input(const Conversion &conversion, ConversionCounts *counts) {
    errno = 0;
    ToolStream input = zfile_open_standard_input();
    if (input == nullptr) {
        report_cannot_open(kStandardInputName, errno);
        return false;
    }
    StandardOutputSink sink;
    WatchedInput read(input, nullptr);
    const ConvertOutcome outcome = convert(read.source(), &sink, conversion, counts);
    tool_fclose(&input);
    report_convert_failure(outcome, kStandardInputName, *counts, read.error());
    return outcome == ConvertOutcome::converted;
}
