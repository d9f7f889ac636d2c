// SPDX-License-Identifier: MIT
// The output of --dry-run: in place of the converted text, the unified diff from the
// original text to it, built while the conversion runs. The conversion hands it what
// it writes (as the OutputSink) and, as its ConversionWatcher, the original text as it
// reads it and where each written line came from:
//
//     sink.original(data, size)       the original bytes, in order, as they are read
//     sink.line_origin(first, last)   the next written line came from these lines
//     sink.append(data, size)         written bytes, after the origins of their lines
//     sink.finish()                   after the whole input was read: writes the diff
//
// Every written line comes from one run of consecutive original lines (one line, or
// several joined by a block comment), in order, and the original lines between two
// runs gave no written line (comment-only lines). So the diff needs no search: a
// written line equal to its one original line, line end included, is a line both
// texts hold; any other replaces its run (the run's lines removed, the line added);
// and lines between runs are removed. Where a shorter edit script exists (a written
// line equal to an original line other than its own), `diff -u --minimal` may show
// the change another way; this diff applies all the same and gives the converted
// text byte for byte.
//
// Memory: an original line is held from when it is read until its written line has
// arrived, up to 2 * memory_limit bytes in memory and the rest in scratch files (a long
// line always whole in memory); the diff's stores hold at most 2.2 * memory_limit
// (HunkWriter); each origin waiting for its written bytes takes one to a few bytes.
// Nothing reaches `out` before finish().
//
// The watcher's calls return nothing; what goes wrong in them (a scratch file, calls
// out of order) makes the next append or finish fail. Running out of memory throws
// std::bad_alloc, which the conversion passes on, as everywhere in the pass.
#ifndef JOINT2SI_DIFF_PREVIEW_SINK_H
#define JOINT2SI_DIFF_PREVIEW_SINK_H

#include "convert/byte_streams.h"
#include "diff/hunk_writer.h"
#include "diff/original_lines.h"

#include <cstddef>
#include <cstdio>
#include <string>

class PreviewSink : public OutputSink, public ConversionWatcher {
  public:
    static constexpr std::size_t kMemoryLimit = HunkWriter::kMemoryLimit;

    /// A sink that writes the diff to `out` (set to pass line ends untranslated),
    /// headed with `name` ("--- name", "+++ name").
    PreviewSink(std::FILE *out, const char *name, std::size_t memory_limit = kMemoryLimit);

    /// Takes the next `size` bytes of the original text (decompressed). Fails when a
    /// scratch file fails, or when they come after the last line, without a line end,
    /// was paired.
    void original(const char *data, std::size_t size) override;

    /// The next written line came from the original lines `first` to `last` (numbered
    /// from 1: line n is the text after the (n-1)-th "\n" up to and including the n-th,
    /// or to the end). Lines after the previous call's `last` and before `first` gave
    /// no written line. Fails when the lines do not follow the previous call's.
    void line_origin(long long first, long long last) override;

    /// Takes the next `size` written bytes. False after a failure, or when a line of
    /// them has no origin, its original lines were not given, or a scratch file failed.
    bool append(const char *data, std::size_t size) override;

    /// After the whole input: the original lines after the last written line are
    /// removed ones; writes the diff (nothing when the texts are equal) and flushes
    /// `out`. False after a failure, when a write failed or an origin got no line.
    bool finish() override;

    /// The system's error code of the first failure that had one, else 0.
    int error() const override { return error_; }

    /// Whether any scratch file was used.
    bool spilled() const { return writer_.spilled() || original_.spilled(); }

  private:
    // Where the written line being read stands.
    enum class Pairing {
        none,      // no written line is open
        comparing, // so far equal to its one original line
        adding     // its original lines are removed; its bytes are added
    };

    bool next_written_line();
    bool take_piece(const char *data, std::size_t size, bool ends_line);
    bool replace_compared_line();
    bool remove_lines(long long count, bool in_run);
    void drop_front(std::size_t length);
    bool next_origin(long long *skipped, long long *span);
    bool fail();

    std::FILE *out_;
    int error_ = 0;
    HunkWriter writer_;
    OriginalLines original_;
    // The origins given and not yet paired, each as the number of lines skipped before
    // it and the number of lines it spans beyond its first, in a compact code.
    std::string origins_;
    std::size_t origins_head_ = 0;
    long long last_origin_ = 0; // `last` of the latest line_origin
    Pairing pairing_ = Pairing::none;
    std::size_t matched_ = 0;     // bytes of the open line equal to its original line
    bool paired_unended_ = false; // an original line without a line end was paired
    bool failed_ = false;
};

#endif
