// SPDX-License-Identifier: MIT
// The reading side of a compressed stream: the gzip members of a file inflated one after
// the other straight from the file, with zlib's inflate and nothing of its gz* layer.
//
// zlib's gzread skips whatever follows the last member when it does not begin with the
// gzip magic, so a file with text appended would read as a whole file. Inflating member
// by member, the reader sees where each member ends and looks at what follows: another
// member, the end of the file, or data that makes the stream fail with Z_DATA_ERROR. The
// file is read once; nothing opens it again.
//
// Input that does not begin with the gzip magic (standard input holding plain text, or a
// file changed since its first bytes were looked at) is passed through unchanged.
//
// All of a reader's state is in the object, so a stream may be read in any thread, one
// thread at a time (the caller hands it over with the usual synchronisation).
#ifndef LIBTOOLS_ZFILE_GZIP_READER_H
#define LIBTOOLS_ZFILE_GZIP_READER_H

#include <zlib.h>

#include <cstdio>

namespace zfile {

class GzipReader {
  public:
    GzipReader() = default;
    ~GzipReader();
    GzipReader(const GzipReader &) = delete;
    GzipReader &operator=(const GzipReader &) = delete;

    /// Takes over `file` (binary, positioned at the first byte to read) and makes the
    /// buffers. False when memory ran out; `file` then stays the caller's.
    bool open(std::FILE *file);

    /// Closes the file: Z_OK, or Z_ERRNO when closing it failed. Z_OK when not open.
    int close();

    /// Up to `length` bytes (at most INT_MAX) into `buffer`: the count, 0 at the end, -1
    /// when nothing was read because of an error, or because a worker told to stop had
    /// its read of the file cut short (no error is recorded then).
    int read(void *buffer, unsigned length);

    /// The next byte as 0 to 255, or -1 at the end or on an error.
    int get_byte() {
        if (have_ > 0) {
            --have_;
            ++position_;
            return *next_++;
        }
        return get_byte_slow();
    }

    /// A line of at most size - 1 bytes with its newline, NUL-terminated, as gzgets reads
    /// it: `buffer`, or null when nothing was read (end, error, or a size of 1).
    char *gets(char *buffer, int size);

    /// Moves to `offset` from the start (origin 0) or from the current position (1) of
    /// the uncompressed data, rewinding the file to go back: the new position, or -1 for
    /// another origin, a negative position, a stream met an error, or a failed rewind.
    long long seek(long long offset, int origin);

    /// The position in the uncompressed data.
    long long tell() const { return position_ + skip_; }

    /// The bytes of the file used so far, counted from where it was when opened; input
    /// read but not yet inflated is not counted. -1 when the file cannot tell its
    /// position (a pipe).
    long long offset() const;

    /// Z_OK; Z_BUF_ERROR when the data ended inside a member; Z_DATA_ERROR for damaged
    /// data, a bad check value or length, or data after the last member; Z_ERRNO for a
    /// failed read; Z_MEM_ERROR or Z_STREAM_ERROR from inflate.
    int error() const { return error_; }

    /// The compression level the first member's header records (as zfile_gzip_level
    /// gives it); 0 when the input is not gzip data. Reads the first block when nothing
    /// was read yet.
    int level();

  private:
    // Large enough that the file is read in few system calls; a read of at least
    // kOutputSize bytes is inflated straight into the caller's buffer.
    static constexpr unsigned kInputSize = 1u << 16;
    static constexpr unsigned kOutputSize = 1u << 16;

    // What the reader does next with the input.
    enum class Step {
        look_first, // the start: gzip data or anything else
        look_next,  // after a member: another member or the end, nothing else
        inflate,    // inside a member
        copy,       // input that is not gzip data, passed through
        end         // nothing more comes (error_ tells whether that is an error)
    };

    int get_byte_slow();
    bool hard_error() const { return error_ != Z_OK && error_ != Z_BUF_ERROR; }
    void fail(int code);
    bool read_failed();
    bool load_at_least(unsigned count);
    void look();
    unsigned inflate_into(unsigned char *to, unsigned room);
    unsigned copy_into(unsigned char *to, unsigned room);
    unsigned make(unsigned char *to, unsigned room);
    bool refill();
    bool pass_skip();
    bool rewind();

    std::FILE *file_ = nullptr;
    long start_ = -1;       // the file's position when opened; -1 when it cannot seek
    long long loaded_ = 0;  // bytes read from the file since `start_`
    bool file_end_ = false; // the file gave its last byte
    int error_ = Z_OK;      // the first error met; Z_BUF_ERROR: ended inside a member
    bool cut_ = false;      // the current call's read was cut short by a stop
    Step step_ = Step::look_first;
    int level_ = 0; // from the first member's header
    z_stream inflater_ = {};
    bool inflater_ready_ = false;
    unsigned char *input_ = nullptr;  // read from the file; inflater_.next_in points into it
    unsigned char *output_ = nullptr; // inflated for small reads
    unsigned char *next_ = nullptr;   // the inflated bytes not yet handed out ...
    unsigned have_ = 0;               // ... and their count
    long long position_ = 0;          // bytes handed out since the start
    long long skip_ = 0;              // bytes a forward seek has still to pass over
};

} // namespace zfile

#endif
