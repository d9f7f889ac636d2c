// SPDX-License-Identifier: MIT
// The two ends of a conversion: where its bytes come from and where they go.
//
// A conversion reads a ByteSource to its end and hands what it writes to an
// OutputSink in large blocks:
//
//     sink.append(data, size)      for every block, in order
//     sink.finish()                once, only after the whole input was read
//
// A sink never keeps the pointers it is given past the call. A failed append or finish
// leaves the output incomplete; the caller must not use it then.
#ifndef JOINT2SI_CONVERT_BYTE_STREAMS_H
#define JOINT2SI_CONVERT_BYTE_STREAMS_H

#include <cstddef>
#include <vector>

/// Where a conversion's bytes come from: `read` fills up to `size` bytes of `buffer` and
/// returns how many it stored, 0 at the end and a negative number on error.
struct ByteSource {
    void *context;
    long (*read)(void *context, char *buffer, std::size_t size);
};

/// A source that can hand its bytes over in whole blocks instead of copying them into
/// the reader's: the bytes of a block lie from kHeadRoom on, with room before them for
/// the unfinished line of the block before, and at least kPadding initialised bytes
/// after them (for the reader's scans).
class BlockSupply {
  public:
    static constexpr std::size_t kHeadRoom = 4096;
    static constexpr std::size_t kPadding = 16;

    virtual ~BlockSupply() = default;

    /// Whether the blocks are handed over from now on; until then the bytes are read
    /// through the ByteSource as usual. Once true it stays true.
    virtual bool supplying() const = 0;

    /// Moves the next block into `*block` (whose storage is released) and returns how
    /// many bytes it holds: 0 at the end of the input, negative when it failed.
    virtual long take(std::vector<char> *block) = 0;

    /// Gives a block back for the next bytes; `*block` is left without storage. A block
    /// too small to hold kHeadRoom, kPadding and more is dropped.
    virtual void give_back(std::vector<char> *block) = 0;
};

/// Where a conversion's bytes go.
class OutputSink {
  public:
    virtual ~OutputSink() = default;

    /// Takes the next `size` bytes of output; false when they could not be stored.
    virtual bool append(const char *data, std::size_t size) = 0;

    /// Completes the output after an input read whole; false when that failed.
    virtual bool finish() = 0;

    /// The system's error code of the first failure, 0 when there was none or the
    /// system gave none.
    virtual int error() const { return 0; }
};

/// Told what a conversion reads and where each line it writes came from; the preview
/// builds its diff from this. Called in the converting thread only.
class ConversionWatcher {
  public:
    virtual ~ConversionWatcher() = default;

    /// The input's bytes, in order, as they are read (before any line that uses them).
    virtual void original(const char *data, std::size_t size) = 0;

    /// The next written line came from the original lines `first` .. `last` (from 1,
    /// counted by "\n" bytes). Original lines between two written lines' origins gave
    /// no written line.
    virtual void line_origin(long long first, long long last) = 0;
};

#endif
