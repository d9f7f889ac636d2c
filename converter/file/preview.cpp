#include "file/preview.h"

#include "diff/preview_sink.h"
#include "file/convert_failure.h"
#include "pipeline/convert_pass.h"
#include "terminal/messages.h"
#include "terminal/progress.h"

#include <cstdio>

namespace {

// The preview, whose diff reaches standard output in its finish: the progress line is
// erased first, so the two never share a terminal line.
class ErasingPreview : public OutputSink {
  public:
    explicit ErasingPreview(PreviewSink *preview) : preview_(preview) {}
    bool append(const char *data, std::size_t size) override {
        return preview_->append(data, size);
    }
    bool finish() override {
        progress_erase();
        return preview_->finish();
    }
    int error() const override { return preview_->error(); }

  private:
    PreviewSink *preview_;
};

} // namespace

bool preview_file(const char *name, ByteSource source, const Conversion &conversion,
                  ConversionCounts *counts) {
    PreviewSink preview(stdout, name);
    ErasingPreview sink(&preview);
    const ConvertOutcome outcome = convert(source, &sink, conversion, counts, &preview);
    if (outcome == ConvertOutcome::write_failed) {
        report_cannot_write("-"); // the diff's destination, standard output
        return false;
    }
    report_convert_failure(outcome, name);
    return outcome == ConvertOutcome::converted;
}
