// The lines of a stream with every comment kind removed and empty lines kept, read
// in large blocks: the same lines, in the same order, that tool_read_line (stream,
// null, all comment kinds, 1) delivers one call at a time, without a call or an
// allocation per line.
//
// A line is handed out as a view into the reader's block (or, when a block comment
// was taken out of its middle, into a scratch copy); the view stays valid until the
// next call. The reader reads its source to the end and never pushes anything back,
// so the source belongs to it from the first call on.
#ifndef JOINT2SI_BLOCK_LINE_READER_H
#define JOINT2SI_BLOCK_LINE_READER_H

#include "libtools/zfile.h"

#include <cstddef>
#include <string>
#include <vector>

/// Where the reader's bytes come from: `read` fills up to `size` bytes of `buffer` and
/// returns how many it stored, 0 at the end and a negative number on error.
struct ByteSource {
    void *context;
    long (*read)(void *context, char *buffer, std::size_t size);
};

/// A source over a ToolStream (tool_fread; gzip data is inflated).
ByteSource stream_source(ToolStream stream);

/// Storage a reader works in; keep one for many files so that no file pays for it.
struct LineReaderStorage {
    std::vector<char> block;
    std::string scratch;
};

/// A run of bytes of a line (not terminated).
struct LineView {
    const char *text;
    std::size_t length;
};

enum class LineEnd { none, lf, crlf };

class BlockLineReader {
  public:
    /// Reads `source` through `storage`, asking the source for at least `min_read`
    /// bytes at a time (zlib copies less when asked for twice its own buffer or more).
    BlockLineReader(ByteSource source, LineReaderStorage *storage,
                    std::size_t min_read = kDefaultMinRead);

    /// The next line in `*line`; false at the end of the lines, and also when the input
    /// held a zero byte or the source failed (zero_byte(), read_failed()).
    bool next(LineView *line);

    /// Whether a zero byte stopped the reading (the input is not a text file).
    bool zero_byte() const { return zero_byte_; }
    /// Whether the source reported an error.
    bool read_failed() const { return read_failed_; }
    /// The first line end of the input read so far, as the line reader reports it
    /// (tool_read_line_first_end): the first "\n" byte, and the CR before it.
    LineEnd first_line_end() const { return first_line_end_; }

    static constexpr std::size_t kDefaultMinRead = std::size_t{256} * 1024;

  private:
    enum class Block { closed, end, end_in_line_comment, zero };

    bool fill(const char **keep, const char **p);
    bool ensure_next(const char **keep, const char **p);
    bool skip_to_line_end(const char *p);
    bool text_line(LineView *line);
    Block block_comment(const char **p);
    bool line_end(LineView *line, const char *start, const char *at, const char *after, bool *mark);
    bool last_line(LineView *line, const char *start, const char *at);
    bool stop_on_zero();
    void note_first_line_end(const char *from, const char *to);
    void detach(const char *from, const char *to);
    LineView take(const char *from, const char *to);

    ByteSource source_;
    LineReaderStorage *storage_;
    std::size_t min_read_;
    const char *pos_ = nullptr;
    const char *end_ = nullptr;
    bool at_end_ = false;       // the source has nothing more
    bool finished_ = false;     // no more lines
    bool skip_comment_ = false; // a line comment after the last line is still to skip
    bool detached_ = false;     // the line so far is in the scratch copy
    bool zero_byte_ = false;
    bool read_failed_ = false;
    LineEnd first_line_end_ = LineEnd::none;
    char last_byte_ = '\0'; // the last byte read before the first "\n" was found
};

#endif
