#include "convert/fast_convert.h"

#include "convert/fast_number.h"
#include "convert/short_copy.h"
#include "convert/units.h"
#include "pipeline/read_ahead.h"
#include "pipeline/write_behind.h"

#include "libtools/tool_console.h"
#include "libtools/tool_dstring.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

constexpr std::size_t kOutputSize = std::size_t{256} * 1024;
constexpr double kSmallestFactor = 1e-9;
constexpr double kUnsetValue = -2147483648.0;

bool at(const char *p, const char *end, const char *word, std::size_t length) {
    return static_cast<std::size_t>(end - p) >= length && std::memcmp(p, word, length) == 0;
}

// classify_line over a line view: every keyword has an "_", so only the places of
// "_" are looked at; a force keyword anywhere wins over "bending_moment".
int classify(LineView line) {
    const char *begin = line.text;
    const char *end = begin + line.length;
    int kind = 0;
    const void *found = std::memchr(begin, '_', line.length);
    while (found != nullptr) {
        const char *p = static_cast<const char *>(found);
        if (at(p + 1, end, "force", 5) && p - begin >= 5 &&
            (at(p - 5, end, "shear", 5) || at(p - 5, end, "axial", 5))) {
            return KIND_FORCE;
        }
        if (kind == 0 && at(p + 1, end, "moment", 6) && p - begin >= 7 &&
            at(p - 7, end, "bending", 7)) {
            kind = KIND_MOMENT;
        }
        found = std::memchr(p + 1, '_', static_cast<std::size_t>(end - p - 1));
    }
    return kind;
}

// A kind's conversion with what is known of its factor once per run.
struct ResolvedKind {
    bool given;
    double factor;
    int power_of_ten; // the factor's exact power of ten, or -1
};

struct ResolvedConversion {
    ResolvedKind force;
    ResolvedKind moment;
};

ResolvedKind resolve(KindConversion kind) {
    return ResolvedKind{kind.given, kind.factor, power_of_ten_of(kind.factor)};
}

ResolvedConversion resolve(const FastConversion &conversion) {
    return ResolvedConversion{resolve(conversion.force), resolve(conversion.moment)};
}

// The number after the blank as tool_atof_checked reads it.
bool read_value(const char *p, const char *end, PlainDecimal *number, bool *plain) {
    *plain = read_plain_decimal(p, end, number);
    if (*plain) {
        return true;
    }
    const std::string text(p, end); // rare: every form but the plain decimal
    double value = 0.0;
    if (tool_atof_checked(text.c_str(), &value) == 0) {
        return false;
    }
    char *stop = nullptr; // where the number ends, as strtod reads it
    std::strtod(text.c_str(), &stop);
    const char *number_end = p + (stop - text.c_str());
    *number = PlainDecimal{value, 0, 0, std::signbit(value), number_end, p, nullptr, p};
    return true;
}

// The converted number's text at `out` (room kFixedTextRoom), or null when only the
// general formatter can write it.
char *write_product(const PlainDecimal &number, bool plain, int power_of_ten, double product,
                    char *out) {
    if (plain && power_of_ten >= 0) {
        char *written = write_moved_point(number, power_of_ten, out);
        if (written != nullptr) {
            return written;
        }
    }
    return write_fixed6(product, out);
}

// One output block with a place to put it when it is full. Full blocks are written
// behind by another thread once the output outgrows one block.
class Output {
  public:
    explicit Output(OutputTarget target) : behind_(target), current_(std::move(spare())) {
        if (current_.bytes.size() < kOutputSize) {
            current_.bytes.resize(kOutputSize);
        }
        reset();
    }
    ~Output() { spare() = std::move(current_); }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    JOINT2SI_HOT_INLINE void append(const char *data, std::size_t size) {
        if (static_cast<std::size_t>(end_ - next_) < size) {
            flush_for(size);
        }
        next_ = copy_short(next_, data, size);
    }
    /// Appends a line end ("\n" or "\r\n" in practice).
    JOINT2SI_HOT_INLINE void append_line_end(const char *line_end, std::size_t size) {
        if (size == 0 || size > 2) {
            append(line_end, size);
            return;
        }
        if (static_cast<std::size_t>(end_ - next_) < 2) {
            flush_for(2);
        }
        next_[0] = line_end[0];
        next_[1] = line_end[size - 1]; // written over by the next line when size is 1
        next_ += size;
    }
    /// Whether a write has failed; what is appended after that is dropped.
    bool failed() const { return failed_; }
    /// Writes the rest and waits for every write; false when any failed.
    bool flush() {
        current_.used = static_cast<std::size_t>(next_ - begin_);
        failed_ = !behind_.finish(&current_) || failed_;
        reset();
        return !failed_;
    }

  private:
    // Kept for the whole run, so small files do not pay for a fresh block each.
    static Block &spare() {
        static Block block;
        return block;
    }
    void reset() {
        current_.used = 0;
        begin_ = next_ = current_.bytes.data();
        end_ = begin_ + current_.bytes.size();
    }
    void flush_for(std::size_t size) {
        current_.used = static_cast<std::size_t>(next_ - begin_);
        failed_ = !behind_.hand_over(&current_) || failed_;
        if (size > current_.bytes.size()) { // one very long line
            current_.bytes.resize(size);
        }
        reset();
    }

    WriteBehind behind_;
    bool failed_ = false;
    Block current_;
    char *begin_ = nullptr;
    char *next_ = nullptr;
    char *end_ = nullptr;
};

// Whether a digit follows the value: the rewrite drops it with the rest of the line.
bool digit_in(const char *p, const char *end) {
    for (; p < end; ++p) {
        if (*p >= '0' && *p <= '9') {
            return true;
        }
    }
    return false;
}

// The text of the converted value of a force or moment line whose head ends at
// `blank`, in *text and *length (in `digits` or tool_dtoa's buffer); false when the
// line stays as it is. Sets *dropped when a digit follows the value.
bool converted_value(LineView line, const char *blank, const ResolvedKind &how,
                     char (&digits)[kFixedTextRoom], const char **text, std::size_t *length,
                     bool *dropped) {
    const double factor = how.factor;
    const char *end = line.text + line.length;
    PlainDecimal number{};
    bool plain = false;
    if (!read_value(blank + 1, end, &number, &plain) || !(std::fabs(factor) > kSmallestFactor) ||
        number.value == kUnsetValue) {
        return false;
    }
    const double product = number.value * factor;
    if (!std::isfinite(number.value) || !std::isfinite(product)) {
        return false;
    }
    *dropped = digit_in(number.end, end);
    const char *written = write_product(number, plain, how.power_of_ten, product, digits);
    if (written != nullptr) {
        *text = digits;
        *length = static_cast<std::size_t>(written - digits);
    } else {
        *text = tool_dtoa(6, 6, product);
        *length = std::strlen(*text);
    }
    return true;
}

// What is written for a line: its head (the whole line when it stays as it is) and
// the converted value's text after it (empty when there is none).
struct LineText {
    LineView head;
    LineView value;
    char digits[kFixedTextRoom]; // where the value's text is written, unless tool_dtoa's
};

// The text written for the line, rewritten when it is a force or moment line to
// convert. Returns the kind of a rewritten line, else 0.
int rewrite(LineView line, const ResolvedConversion &conversion, LineText *text, bool *dropped) {
    text->head = line;
    text->value = LineView{nullptr, 0};
    const int kind = classify(line);
    const ResolvedKind *how = kind == KIND_FORCE    ? &conversion.force
                              : kind == KIND_MOMENT ? &conversion.moment
                                                    : nullptr;
    if (how == nullptr || !how->given) {
        return 0;
    }
    const char *blank = static_cast<const char *>(std::memchr(line.text, ' ', line.length));
    if (blank == nullptr || !converted_value(line, blank, *how, text->digits, &text->value.text,
                                             &text->value.length, dropped)) {
        return 0;
    }
    text->head.length = static_cast<std::size_t>(blank + 1 - line.text);
    return kind;
}

// The line end an output keeps: the input's first one, else the system's.
const char *kept_line_end(LineEnd first) {
    if (first == LineEnd::crlf) {
        return "\r\n";
    }
    return first == LineEnd::lf ? "\n" : tool_system_line_end();
}

// Counts a written line; `line` is its text as read.
void count(ConversionCounts *counts, int kind, bool dropped, LineView line) {
    ++counts->lines;
    counts->forces += kind == KIND_FORCE ? 1 : 0;
    counts->moments += kind == KIND_MOMENT ? 1 : 0;
    if (dropped && counts->dropped++ == 0) {
        counts->first_dropped_index = counts->lines;
        counts->first_dropped.assign(line.text, line.length);
    }
}

} // namespace

OnePassOutcome convert_lines(ByteSource source, const FastConversion &conversion,
                             OutputTarget target, ConversionCounts *counts) {
    static LineReaderStorage storage; // kept for the run: small files pay nothing for it
    Output out(target);
    ReadAhead ahead(source, BlockLineReader::kDefaultMinRead);
    BlockLineReader reader(ahead.source(), &storage);
    const ResolvedConversion resolved = resolve(conversion);
    const char *line_end = conversion.line_end;
    std::size_t end_length = line_end != nullptr ? std::strlen(line_end) : 0;
    ConversionCounts seen;
    LineView line{};
    LineText text;
    while (!out.failed() && reader.next(&line)) {
        bool dropped = false;
        const int kind = rewrite(line, resolved, &text, &dropped);
        if (line_end == nullptr) { // known once the first line has been read
            line_end = kept_line_end(reader.first_line_end());
            end_length = std::strlen(line_end);
        }
        out.append(text.head.text, text.head.length);
        if (text.value.length > 0) {
            out.append(text.value.text, text.value.length);
        }
        out.append_line_end(line_end, end_length);
        count(&seen, kind, dropped, line);
    }
    if (counts != nullptr) {
        *counts = std::move(seen);
    }
    if (!out.flush()) { // also after a failure: it waits for the writes
        return OnePassOutcome::write_failed;
    }
    if (reader.zero_byte()) {
        return OnePassOutcome::not_text;
    }
    return reader.read_failed() ? OnePassOutcome::read_failed : OnePassOutcome::converted;
}

int convert_line_text(LineView line, const FastConversion &conversion, std::string *out,
                      bool *dropped) {
    bool dropped_here = false;
    LineText text;
    const int kind = rewrite(line, resolve(conversion), &text, &dropped_here);
    out->append(text.head.text, text.head.length);
    if (text.value.length > 0) {
        out->append(text.value.text, text.value.length);
    }
    if (dropped != nullptr) {
        *dropped = dropped_here;
    }
    return kind;
}
