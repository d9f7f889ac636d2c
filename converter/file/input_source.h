// A file's bytes as the conversion reads them.
#ifndef JOINT2SI_FILE_INPUT_SOURCE_H
#define JOINT2SI_FILE_INPUT_SOURCE_H

#include "convert/byte_streams.h"
#include "terminal/progress.h"

#include "libtools/zfile.h"

/// A source over a ToolStream (tool_fread; gzip data is inflated): -1 once the stream
/// reports an error, so a damaged input is never taken for a short one.
ByteSource stream_source(ToolStream stream);

/// The bytes of a stream, telling the progress line how far the conversion got in the
/// file after each block: for a gzip file the compressed bytes used, as its size
/// counts them. Lives as long as the source it gives.
class WatchedInput {
  public:
    WatchedInput(ToolStream stream, Progress *progress);
    WatchedInput(const WatchedInput &) = delete;
    WatchedInput &operator=(const WatchedInput &) = delete;

    /// The source to convert: the stream's own when the progress line is off.
    ByteSource source();

  private:
    static long read(void *context, char *buffer, std::size_t size);

    ToolStream stream_;
    Progress *progress_;
    long long done_ = 0;
    bool compressed_;
};

#endif
