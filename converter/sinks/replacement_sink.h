// The output sink that writes the converted file into its safe replacement, as plain
// text or, for a file that came in gzip-compressed, compressed again.
#ifndef JOINT2SI_REPLACEMENT_SINK_H
#define JOINT2SI_REPLACEMENT_SINK_H

#include "sinks/gzip_encoder.h"
#include "sinks/output_sink.h"

#include "libtools/tool_sys_io.h"

#include <cstddef>

class ReplacementSink : public OutputSink {
  public:
    /// Writes into the open `replacement`: plain when `gzip_level` is 0, else compressed
    /// at that zlib level (1 to 9 or Z_DEFAULT_COMPRESSION). The caller commits it.
    ReplacementSink(ToolReplacement *replacement, int gzip_level);

    bool start() override;
    bool append(const char *data, std::size_t size) override;
    bool finish() override;

  private:
    bool write_plain(const char *data, std::size_t size);

    ToolReplacement *replacement_;
    int gzip_level_;
    GzipEncoder encoder_;
};

#endif
