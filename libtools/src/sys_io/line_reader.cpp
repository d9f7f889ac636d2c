// SPDX-License-Identifier: MIT
// tool_read_line: the next logical line of a stream with the selected comment
// kinds removed, read one byte at a time through tool_fgetc.
//
// One call keeps all its state in a LineReader: the line being collected, the
// stack of open comments (innermost last, each entry the option bit of its
// kind), and the one byte a recogniser read ahead and did not use. Nothing but
// the status flags survives the call.
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "sys_io/source_tag.h"

#include <climits>
#include <cstddef>

namespace {

constexpr int kEndOfInput = -1;
constexpr int kNoLookahead = -2;
constexpr std::size_t kLineStep = 127;
constexpr int kStackStep = 10;

// Flags gathered since the caller last cleared them.
int read_line_status = 0;

// The kind of the first line end since the last clear, and the byte the stream
// delivered last, which tells that kind.
int first_line_end = TOOL_LINE_END_NONE;
int previous_byte = kEndOfInput;

struct LineReader {
    ToolStream stream;
    int options;
    bool keep_empty_lines;
    int lookahead; // a byte (or kEndOfInput) read ahead and not yet used, or kNoLookahead

    char *line;          // the collected bytes; null until the first store
    std::size_t count;   // bytes collected
    std::size_t grow_at; // the index whose store needs a resize first (0 for a caller's buffer)

    int *stack; // open comments, innermost last
    int depth;
    int stack_capacity;

    bool done;
    bool end_of_input;
    bool comment_mark; // a comment opened on this line outside any other comment
    bool out_of_memory;
    bool stopped_at_zero; // TOOL_READ_LINE_STOP_AT_ZERO_BYTE met a zero byte
};

// ---- Input ------------------------------------------------------------------

// The next byte of the stream (0 to 255) or kEndOfInput; notes a zero byte.
int from_stream(LineReader &reader) {
    const int c = tool_fgetc(reader.stream);
    if (first_line_end == TOOL_LINE_END_NONE) {
        if (c == '\n') {
            first_line_end = previous_byte == '\r' ? TOOL_LINE_END_CRLF : TOOL_LINE_END_LF;
        }
        previous_byte = c;
    }
    if (c == 0) {
        read_line_status |= TOOL_READ_LINE_ZERO_BYTE;
        if ((reader.options & TOOL_READ_LINE_STOP_AT_ZERO_BYTE) != 0) {
            reader.stopped_at_zero = true;
            return kEndOfInput;
        }
    }
    return c < 0 ? kEndOfInput : c;
}

// The byte read ahead, if any, else the next byte of the stream.
int next_byte(LineReader &reader) {
    if (reader.lookahead != kNoLookahead) {
        const int c = reader.lookahead;
        reader.lookahead = kNoLookahead;
        return c;
    }
    return from_stream(reader);
}

void unread(LineReader &reader, int c) {
    reader.lookahead = c;
}

// ---- Growth -----------------------------------------------------------------

// Makes room to store at index n: a new line holds 127 bytes; an existing one
// becomes n + 128 bytes when n is 0 or n + 1 is a multiple of 127. Stores are
// made at increasing indexes, so the next index the rule names is computed once
// per resize; it always lies inside the block. Returns false when memory runs out.
bool make_room_in_line(LineReader &reader, std::size_t n) {
    if (reader.line == nullptr) {
        reader.line = static_cast<char *>(tool_malloc(kLineStep, SYS_IO_HERE));
        reader.grow_at = reader.line != nullptr ? kLineStep - 1 : 0;
        return reader.line != nullptr;
    }
    if (n < reader.grow_at) {
        return true;
    }
    const std::size_t size = n + kLineStep + 1;
    if (size > UINT_MAX) {
        return false;
    }
    void *grown = tool_realloc(reader.line, static_cast<unsigned>(size), SYS_IO_HERE);
    if (grown == nullptr) {
        return false;
    }
    reader.line = static_cast<char *>(grown);
    reader.grow_at = n + kLineStep - (n + 1) % kLineStep;
    return true;
}

// Stores `byte` at index n of the line; false (and the reader stopped) when the
// line cannot grow.
bool store(LineReader &reader, std::size_t n, char byte) {
    if (!make_room_in_line(reader, n)) {
        reader.out_of_memory = true;
        return false;
    }
    reader.line[n] = byte;
    return true;
}

void append(LineReader &reader, int c) {
    if (store(reader, reader.count, static_cast<char>(c))) {
        ++reader.count;
    }
}

// Makes room for an entry at depth d: a new stack holds 10 entries; an existing
// one becomes d + 11 entries when d is 0 or d + 1 is a multiple of 10.
bool make_room_in_stack(LineReader &reader, int d) {
    long long entries = kStackStep;
    if (reader.stack != nullptr) {
        if (d != 0 && (d + 1) % kStackStep != 0 && d < reader.stack_capacity) {
            return true;
        }
        entries = static_cast<long long>(d) + kStackStep + 1;
    }
    const long long size = entries * static_cast<long long>(sizeof(int));
    if (size > UINT_MAX) {
        return false;
    }
    void *grown = tool_realloc(reader.stack, static_cast<unsigned>(size), SYS_IO_HERE);
    if (grown == nullptr) {
        return false;
    }
    reader.stack = static_cast<int *>(grown);
    reader.stack_capacity = static_cast<int>(entries);
    return true;
}

// Opens a comment of `kind`. A stack that cannot grow stops the reader: reading
// on as text would put comment text into the line.
void push_comment(LineReader &reader, int kind) {
    if (!make_room_in_stack(reader, reader.depth)) {
        reader.out_of_memory = true;
        return;
    }
    reader.stack[reader.depth++] = kind;
}

// ---- Recognisers (each reads at most one byte ahead) ------------------------

// Consumes the next byte when it is `expected`; otherwise leaves it to be read again.
bool next_is(LineReader &reader, int expected) {
    const int next = next_byte(reader);
    if (next == expected) {
        return true;
    }
    unread(reader, next);
    return false;
}

// Whether `c` begins a line end: "\n", or "\r\n" (both consumed). A "\r" before
// anything else is text.
bool is_line_end(LineReader &reader, int c) {
    return c == '\n' || (c == '\r' && next_is(reader, '\n'));
}

// The kind of comment `c` opens under the reader's options (its bytes consumed),
// or 0 when it opens none.
int opener_kind(LineReader &reader, int c) {
    if (c == '/' && (reader.options & (TOOL_STRIP_BLOCK_COMMENTS | TOOL_STRIP_LINE_COMMENTS))) {
        const int next = next_byte(reader);
        if (next == '/' && (reader.options & TOOL_STRIP_LINE_COMMENTS)) {
            return TOOL_STRIP_LINE_COMMENTS;
        }
        if (next == '*' && (reader.options & TOOL_STRIP_BLOCK_COMMENTS)) {
            return TOOL_STRIP_BLOCK_COMMENTS;
        }
        unread(reader, next);
        return 0;
    }
    if (c == '#' && (reader.options & TOOL_STRIP_HASH_COMMENTS)) {
        return TOOL_STRIP_HASH_COMMENTS;
    }
    return 0;
}

// Whether `c` begins "*/" (both consumed); '**/' closes too.
bool is_block_close(LineReader &reader, int c) {
    return c == '*' && next_is(reader, '/');
}

// ---- Steps ------------------------------------------------------------------

// Inside a line or hash comment: discards through the next "\n". The comment
// ends only itself; nested in a block comment, the block comment goes on and
// joins the next line to this one.
void skip_line_comment(LineReader &reader, int c) {
    while (c != '\n') {
        c = next_byte(reader);
        if (c == kEndOfInput) {
            reader.done = true; // the line ends here; end of input is met on the next call
            return;
        }
    }
    if (--reader.depth == 0) {
        reader.done = reader.count > 0;
        reader.comment_mark = false;
    }
}

void block_comment_byte(LineReader &reader, int c) {
    const int kind = opener_kind(reader, c);
    if (kind != 0) {
        push_comment(reader, kind);
    } else if (is_block_close(reader, c)) {
        --reader.depth;
    }
}

// An end of line outside comments: a line with content is complete; an empty
// one is returned only when asked for and when no comment was removed from it.
void end_of_line(LineReader &reader) {
    if (reader.count > 0) {
        reader.done = true;
        return;
    }
    if (reader.keep_empty_lines && !reader.comment_mark) {
        reader.done = true;
    }
    reader.comment_mark = false;
}

// Bytes that need more than appending when met outside comments.
constexpr bool is_special(int c) {
    return c == 0 || c == '\n' || c == '\r' || c == '/' || c == '#';
}

struct SpecialBytes {
    bool table[256];
    constexpr SpecialBytes() : table() {
        for (int c = 0; c < 256; ++c) {
            table[c] = is_special(c);
        }
    }
};
constexpr SpecialBytes kSpecial{};

// Appends the ordinary byte `c` and every ordinary byte after it, in a tight loop
// over the stream (the hot path of a line); the first other byte is left read
// ahead for the caller.
void collect_text(LineReader &reader, int c) {
    char *line = reader.line;
    std::size_t count = reader.count;
    do {
        if (count >= reader.grow_at) { // also true while there is no line yet
            if (!make_room_in_line(reader, count)) {
                reader.out_of_memory = true;
                break;
            }
            line = reader.line;
        }
        line[count++] = static_cast<char>(c);
        c = from_stream(reader);
    } while (c != kEndOfInput && !kSpecial.table[c]);
    reader.count = count;
    if (!reader.out_of_memory) {
        unread(reader, c);
    }
}

void text_byte(LineReader &reader, int c) {
    if (!kSpecial.table[c]) {
        collect_text(reader, c);
        return;
    }
    if (is_line_end(reader, c)) {
        end_of_line(reader);
        return;
    }
    const int kind = opener_kind(reader, c);
    if (kind != 0) {
        push_comment(reader, kind);
        reader.comment_mark = true;
        return;
    }
    append(reader, c);
}

void read_until_done(LineReader &reader) {
    while (!reader.done && !reader.out_of_memory) {
        const int c = next_byte(reader);
        const bool in_line_comment =
            reader.depth > 0 && reader.stack[reader.depth - 1] != TOOL_STRIP_BLOCK_COMMENTS;
        if (c == kEndOfInput) {
            // Input that ends inside a line or hash comment ends the line the same
            // way whether or not the comment held any text ("#" as "# note").
            reader.end_of_input = !in_line_comment;
            reader.done = true;
        } else if (in_line_comment) {
            skip_line_comment(reader, c);
        } else if (reader.depth > 0) {
            block_comment_byte(reader, c);
        } else {
            text_byte(reader, c);
        }
    }
}

// The line to hand out, zero-terminated, or null: at end of input with nothing
// collected, for an empty line nobody asked for, and when memory ran out (what
// the reader held is then released).
char *finish(LineReader &reader) {
    tool_free(reader.stack, SYS_IO_HERE);
    reader.stack = nullptr;
    const bool nothing_left = (reader.end_of_input && reader.count == 0) || reader.stopped_at_zero;
    // Whether there is a line to hand out depends on what was read, never on
    // whether the caller passed a buffer.
    const bool wants_line = reader.count > 0 || reader.keep_empty_lines;
    if (!reader.out_of_memory && !nothing_left && wants_line && store(reader, reader.count, '\0')) {
        return reader.line;
    }
    if (reader.out_of_memory) {
        read_line_status |= TOOL_READ_LINE_OUT_OF_MEMORY;
    }
    tool_free(reader.line, SYS_IO_HERE);
    return nullptr;
}

} // namespace

extern "C" {

char *tool_read_line(ToolStream stream, char *buffer, int options, int keep_empty_lines) {
    if (buffer != nullptr) {
        buffer[0] = '\0';
    }
    if (stream == nullptr) {
        return buffer;
    }
    LineReader reader{};
    reader.stream = stream;
    reader.options = options;
    reader.keep_empty_lines = keep_empty_lines != 0;
    reader.lookahead = kNoLookahead;
    reader.line = buffer;
    read_until_done(reader);
    return finish(reader);
}

int tool_read_line_status(void) {
    return read_line_status;
}

void tool_read_line_clear_status(void) {
    read_line_status = 0;
    first_line_end = TOOL_LINE_END_NONE;
    previous_byte = kEndOfInput;
}

int tool_read_line_first_end(void) {
    return first_line_end;
}

} // extern "C"
