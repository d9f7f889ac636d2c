// SPDX-License-Identifier: MIT
#include "pipeline/convert_pass.h"

#include "convert/block_line_reader.h"
#include "convert/line_conversion.h"
#include "pipeline/output_blocks.h"
#include "pipeline/read_ahead.h"
#include "pipeline/reading_stop.h"
#include "pipeline/spare_buffers.h"

#include "libtools/tool_console.h"

#include <cstring>
#include <utility>

namespace {

// The line end an output keeps: the input's first one, else the system's.
const char *kept_line_end(LineEnd first) {
    if (first == LineEnd::crlf) {
        return "\r\n";
    }
    return first == LineEnd::lf ? "\n" : tool_system_line_end();
}

// Whether a rewritten line's value text differs from the text it replaces.
bool value_changed(LineView line, const LineText &text) {
    const std::size_t rest = line.length - text.head.length;
    return rest != text.value.length ||
           std::memcmp(line.text + text.head.length, text.value.text, rest) != 0;
}

// Counts a line with a note; the first of each note is kept with its line number in
// the original and its text as read.
void note_line(ConversionCounts *counts, LineNote note, LineView line,
               const BlockLineReader &reader) {
    long long *number = &counts->dropped;
    long long *first_line = &counts->first_dropped_line;
    std::string *first = &counts->first_dropped;
    if (note == LineNote::no_value) {
        number = &counts->no_value;
        first_line = &counts->first_no_value_line;
        first = &counts->first_no_value;
    } else if (note == LineNote::not_finite) {
        number = &counts->not_finite;
        first_line = &counts->first_not_finite_line;
        first = &counts->first_not_finite;
    }
    if ((*number)++ == 0) {
        *first_line = reader.last_line();
        first->assign(line.text, line.length);
    }
}

// Counts a written line; `line` is its text as read.
void count(ConversionCounts *counts, int kind, LineNote note, LineView line,
           const BlockLineReader &reader) {
    ++counts->lines;
    counts->forces += kind == KIND_FORCE ? 1 : 0;
    counts->moments += kind == KIND_MOMENT ? 1 : 0;
    if (note != LineNote::none) {
        note_line(counts, note, line, reader);
    }
}

// No watcher: the reader takes the blocks read ahead as they are, the output is
// written behind.
struct Unwatched {
    static constexpr bool kWriteBehind = true;
    static constexpr bool kBlocksTaken = true;
    ByteSource source(ByteSource input) { return input; }
    void line(const BlockLineReader &) const {}
};

// A watcher sees every byte the reader takes and each line's origin, in this thread.
struct Watched {
    static constexpr bool kWriteBehind = false;
    static constexpr bool kBlocksTaken = false; // it must see every byte read
    ConversionWatcher *watcher;
    ByteSource input;

    static long read(void *context, char *buffer, std::size_t size) {
        auto *self = static_cast<Watched *>(context);
        const long got = self->input.read(self->input.context, buffer, size);
        if (got > 0) {
            self->watcher->original(buffer, static_cast<std::size_t>(got));
        }
        return got;
    }
    ByteSource source(ByteSource from) {
        input = from;
        return ByteSource{this, read};
    }
    void line(const BlockLineReader &reader) const {
        watcher->line_origin(reader.first_line(), reader.last_line());
    }
};

// Storage the reader works in, taken from the spares and left there for the next
// conversion.
class ReaderStorage {
  public:
    ReaderStorage() : storage_(take_reader_storage()) {}
    ~ReaderStorage() { keep_reader_storage(std::move(storage_)); }
    ReaderStorage(const ReaderStorage &) = delete;
    ReaderStorage &operator=(const ReaderStorage &) = delete;
    LineReaderStorage *get() { return &storage_; }

  private:
    LineReaderStorage storage_;
};

// The line end written after every line: known once the first line's own line end has
// been read, which for a first line that ends in a comment is only when the next line
// is asked for. The line end is therefore written before each later line and after the
// last one.
class LineEnds {
  public:
    JOINT2SI_HOT_INLINE void write(OutputBlocks *out, const BlockLineReader &reader) {
        if (text_ == nullptr) {
            text_ = kept_line_end(reader.first_line_end());
            length_ = std::strlen(text_);
        }
        out->append_line_end(text_, length_);
    }

  private:
    const char *text_ = nullptr;
    std::size_t length_ = 0;
};

template <typename Watch>
ConvertOutcome run_pass(ByteSource input, OutputSink *sink, const Conversion &conversion,
                        ConversionCounts *counts, Watch watch) {
    ReadingStop stop; // before the workers that share it, so it outlives them
    OutputBlocks out(sink, Watch::kWriteBehind, &stop);
    ReadAhead ahead(input, BlockLineReader::kDefaultMinRead, &stop);
    ReaderStorage storage;
    BlockLineReader reader(watch.source(ahead.source()), storage.get());
    if (Watch::kBlocksTaken) {
        reader.take_blocks_from(&ahead);
    }
    const LineConverter converter(conversion);
    LineEnds line_end;
    bool changed = false;
    LineView line{};
    LineText text;
    while (!out.failed() && reader.next(&line)) {
        if (counts->lines > 0) {
            line_end.write(&out, reader);
        }
        LineNote note = LineNote::none;
        const int kind = converter.convert(line, &text, &note);
        watch.line(reader);
        out.append(text.head.text, text.head.length);
        if (text.value.length > 0) {
            out.append(text.value.text, text.value.length);
            changed = changed || value_changed(line, text);
        }
        count(counts, kind, note, line, reader);
    }
    if (counts->lines > 0) {
        line_end.write(&out, reader);
    }
    counts->lines_read = reader.lines_read();
    counts->changed = changed || reader.altered();
    if (!out.flush()) { // also after a failure: it waits for the writes
        return ConvertOutcome::write_failed;
    }
    if (reader.zero_byte()) {
        return ConvertOutcome::not_text;
    }
    if (reader.read_failed()) {
        return ConvertOutcome::read_failed;
    }
    return sink->finish() ? ConvertOutcome::converted : ConvertOutcome::write_failed;
}

} // namespace

ConvertOutcome convert(ByteSource input, OutputSink *sink, const Conversion &conversion,
                       ConversionCounts *counts, ConversionWatcher *watcher) {
    ConversionCounts seen;
    const ConvertOutcome outcome =
        watcher != nullptr ? run_pass(input, sink, conversion, &seen, Watched{watcher, {}})
                           : run_pass(input, sink, conversion, &seen, Unwatched{});
    if (outcome == ConvertOutcome::write_failed) {
        // Read once the writing thread has been joined: the sink kept the reason there.
        seen.error = sink->error();
    }
    if (counts != nullptr) {
        *counts = std::move(seen);
    }
    return outcome;
}
