// SPDX-License-Identifier: MIT
// The sink that writes the converted text into the file that will replace the
// original (see tool_replace_open); a gzip file's text reaches it through a GzipSink.
#ifndef JOINT2SI_SINKS_REPLACEMENT_SINK_H
#define JOINT2SI_SINKS_REPLACEMENT_SINK_H

#include "convert/byte_streams.h"

#include "libtools/tool_sys_io.h"

#include <cstddef>

class ReplacementSink : public OutputSink {
  public:
    /// Writes into the open `replacement`; the caller commits it.
    explicit ReplacementSink(ToolReplacement *replacement) : replacement_(replacement) {}

    bool append(const char *data, std::size_t size) override;
    bool finish() override { return true; } // commit flushes and syncs
    int error() const override { return error_; }

  private:
    ToolReplacement *replacement_;
    int error_ = 0;
};

#endif
