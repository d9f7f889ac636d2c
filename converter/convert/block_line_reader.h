// SPDX-License-Identifier: MIT
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

#include "convert/byte_streams.h"

#include <cstddef>
#include <string>
#include <vector>

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

    /// Takes the blocks of `supply` as they are, once it supplies them, instead of
    /// reading their bytes into the reader's own block; `supply` must be the source's
    /// own and outlive the reader. Blocks go back to it as soon as they are read.
    void take_blocks_from(BlockSupply *supply) { supply_ = supply; }

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

    /// The original lines the last line handed out came from, numbered from 1 by the
    /// "\n" bytes before them: the line it began on and the line it ended on (several
    /// when a block comment joined them).
    long long first_line() const { return first_line_; }
    long long last_line() const { return last_line_; }

    /// The lines of the input read so far: its "\n" bytes, and one more for bytes after
    /// the last of them. The count of the whole input once next() gave false.
    long long lines_read() const { return newlines_ + (text_after_newline_ ? 1 : 0); }

    /// Whether writing each line handed out with the first line end after it would give
    /// other bytes than those read: a comment was taken out, a line ended otherwise
    /// than the first, or the last line had no line end.
    bool altered() const { return altered_ || text_after_newline_; }

    static constexpr std::size_t kDefaultMinRead = std::size_t{256} * 1024;

  private:
    enum class CommentEnd { closed, end, end_in_line_comment, zero };

    bool fill(const char **keep, const char **p);
    long take_supplied(const char *keep, std::size_t kept, char **base);
    void note_filled(char *base, std::size_t kept, long got);
    bool ensure_next(const char **keep, const char **p);
    bool skip_to_line_end(const char *p);
    bool text_line(LineView *line);
    CommentEnd block_comment(const char **p);
    bool line_end(LineView *line, const char *start, const char *at, const char *after, bool *mark);
    bool last_line(LineView *line, const char *start, const char *at);
    bool stop_on_zero();
    void note_first_line_end(const char *from, const char *to);
    void note_line_end(LineEnd end);
    void detach(const char *from, const char *to);
    LineView take(const char *from, const char *to);

    ByteSource source_;
    BlockSupply *supply_ = nullptr;
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
    char last_byte_ = '\0';    // the last byte read before the first "\n" was found
    long long newlines_ = 0;   // "\n" bytes consumed
    long long first_line_ = 0; // origin of the last line handed out
    long long last_line_ = 0;
    bool text_after_newline_ = false; // bytes were read after the last "\n"
    bool altered_ = false;
};

#endif
