// SPDX-License-Identifier: MIT
#include "file/preview.h"

#include "diff/preview_sink.h"
#include "file/convert_failure.h"
#include "file/value_checks.h"
#include "pipeline/convert_pass.h"
#include "terminal/messages.h"
#include "terminal/progress.h"

#include <cstdio>

namespace {

// The preview as the conversion's sink. Its finish, which writes the diff, is left to
// preview_file: the values are checked first, and a refused file shows no diff.
class HeldPreview : public OutputSink {
  public:
    explicit HeldPreview(PreviewSink *preview) : preview_(preview) {}
    bool append(const char *data, std::size_t size) override {
        return preview_->append(data, size);
    }
    bool finish() override { return true; }
    int error() const override { return preview_->error(); }

  private:
    PreviewSink *preview_;
};

} // namespace

bool preview_file(const char *name, WatchedInput *source, const Conversion &conversion,
                  bool allow_dropped_digits, ConversionCounts *counts) {
    PreviewSink preview(stdout, name);
    HeldPreview sink(&preview);
    const ConvertOutcome outcome = convert(source->source(), &sink, conversion, counts, &preview);
    if (outcome == ConvertOutcome::write_failed) {
        report_cannot_write("-", counts->error); // the diff's destination, standard output
        return false;
    }
    if (outcome != ConvertOutcome::converted) {
        report_convert_failure(outcome, name, *counts, source->error());
        return false;
    }
    if (!values_exact(name, *counts, allow_dropped_digits)) {
        return false;
    }
    progress_erase(); // the diff and the progress line never share a terminal line
    if (!preview.finish()) {
        report_cannot_write("-", preview.error());
        return false;
    }
    return true;
}
