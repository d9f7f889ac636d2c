// SPDX-License-Identifier: MIT
// A file's bytes as the conversion reads them.
#ifndef JOINT2SI_FILE_INPUT_SOURCE_H
#define JOINT2SI_FILE_INPUT_SOURCE_H

#include "convert/byte_streams.h"
#include "terminal/progress.h"

#include "libtools/zfile.h"

/// A source over a ToolStream (tool_fread; gzip data is inflated): -1 once the stream
/// reports an error, so a damaged input is never taken for a short one.
ByteSource stream_source(ToolStream stream);

/// Why a read of `stream` failed, as a reason of terminal/reason.h: for a plain stream
/// `system_error`, the errno its read left; for a gzip stream the damage its data
/// showed, or `system_error` when the file itself could not be read. 0 when unknown.
int read_failure_reason(ToolStream stream, int system_error);

/// The bytes of a stream, telling the progress line (when there is one) how far the
/// conversion got in the file after each block: for a gzip file the compressed bytes
/// used, as its size counts them. Keeps why a read failed. Lives as long as the source
/// it gives.
class WatchedInput {
  public:
    /// `progress` may be null: no progress line is told.
    WatchedInput(ToolStream stream, Progress *progress);
    WatchedInput(const WatchedInput &) = delete;
    WatchedInput &operator=(const WatchedInput &) = delete;

    /// The source to convert.
    ByteSource source() { return ByteSource{this, read}; }

    /// Why the source's read failed (read_failure_reason), 0 while none failed. Set in
    /// the thread that read; asked once the conversion that read it has ended.
    int error() const { return error_; }

  private:
    static long read(void *context, char *buffer, std::size_t size);

    ToolStream stream_;
    Progress *progress_;
    long long done_ = 0;
    bool compressed_;
    int error_ = 0;
};

#endif
