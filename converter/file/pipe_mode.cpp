// SPDX-License-Identifier: MIT
#include "file/pipe_mode.h"

#include "file/convert_failure.h"
#include "file/input_source.h"
#include "file/value_checks.h"
#include "pipeline/convert_pass.h"
#include "sinks/standard_output_sink.h"
#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

#include <cerrno>

namespace {

// Hands the converted text on to standard output but leaves its finish, which writes
// out the held text, to the caller: the values are checked first.
class UnfinishedOutput : public OutputSink {
  public:
    explicit UnfinishedOutput(StandardOutputSink *output) : output_(output) {}
    bool append(const char *data, std::size_t size) override { return output_->append(data, size); }
    bool finish() override { return true; }
    int error() const override { return output_->error(); }

  private:
    StandardOutputSink *output_;
};

} // namespace

bool convert_standard_input(const FileSettings &settings, ConversionCounts *counts) {
    errno = 0;
    ToolStream input = zfile_open_standard_input();
    if (input == nullptr) {
        report_cannot_open(kStandardInputName, errno);
        return false;
    }
    StandardOutputSink output;
    UnfinishedOutput sink(&output);
    WatchedInput read(input, nullptr);
    const ConvertOutcome outcome = convert(read.source(), &sink, settings.conversion, counts);
    tool_fclose(&input);
    if (outcome != ConvertOutcome::converted) {
        report_convert_failure(outcome, kStandardInputName, *counts, read.error());
        return false;
    }
    if (!values_exact(kStandardInputName, *counts, settings.allow_dropped_digits)) {
        return false;
    }
    if (!output.finish()) {
        report_cannot_write(kStandardInputName, output.error());
        return false;
    }
    warn_about_values(kStandardInputName, *counts);
    return true;
}
