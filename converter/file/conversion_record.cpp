// SPDX-License-Identifier: MIT
#include "file/conversion_record.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

#ifndef JOINT2SI_VERSION
#error "the build defines JOINT2SI_VERSION for this file"
#endif

namespace {

constexpr char kHeader[] = "joint2si-record 1";
constexpr std::size_t kMaxWordLength = 64;
constexpr std::size_t kCrcDigits = 8;

// A word of a record line: printable ASCII without the blank.
bool is_word(const std::string &text) {
    if (text.empty() || text.size() > kMaxWordLength) {
        return false;
    }
    for (const char c : text) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

bool is_factor(double factor) {
    return std::isfinite(factor) && factor != 0.0;
}

// The shortest text that reads back as `value`; to_chars never depends on the locale.
std::string number_text(double value) {
    char buffer[64];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

bool unit_writable(const RecordedUnit &unit) {
    return !unit.converted || (is_word(unit.unit) && is_factor(unit.factor));
}

std::string unit_line(const char *kind, const RecordedUnit &unit) {
    if (!unit.converted) {
        return std::string(kind) + " unchanged\n";
    }
    return std::string(kind) + " " + unit.unit + " " + number_text(unit.factor) + "\n";
}

// The text split at its line ends; false when it does not end in one.
bool split_lines(const std::string &text, std::vector<std::string> *lines) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            return false;
        }
        lines->push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return !text.empty();
}

// The words of a line separated by single blanks; false for any other spacing.
bool split_words(const std::string &line, std::vector<std::string> *words) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(' ', start);
        words->push_back(line.substr(start, end == std::string::npos ? end : end - start));
        if (!is_word(words->back())) {
            return false;
        }
        if (end == std::string::npos) {
            return true;
        }
        start = end + 1;
    }
}

// The words of `line` after its keyword `key`, which must be followed by `count` words
// (or, when `other_count` is not 0, by that many).
bool words_after(const std::string &line, const char *key, std::size_t count,
                 std::size_t other_count, std::vector<std::string> *words) {
    if (!split_words(line, words) || (*words)[0] != key) {
        return false;
    }
    words->erase(words->begin());
    return words->size() == count || (other_count != 0 && words->size() == other_count);
}

bool read_factor(const std::string &text, double *factor) {
    const char *end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, *factor);
    return read.ec == std::errc() && read.ptr == end && is_factor(*factor);
}

bool read_unit(const std::string &line, const char *kind, RecordedUnit *unit) {
    std::vector<std::string> words;
    if (!words_after(line, kind, 1, 2, &words)) {
        return false;
    }
    if (words.size() == 1) {
        *unit = RecordedUnit{};
        return words[0] == "unchanged";
    }
    unit->converted = true;
    unit->unit = words[0];
    return read_factor(words[1], &unit->factor);
}

// Decimal digits without a leading zero (but "0"), within unsigned long long.
bool read_size(const std::string &line, unsigned long long *size) {
    std::vector<std::string> words;
    if (!words_after(line, "size", 1, 0, &words)) {
        return false;
    }
    const std::string &digits = words[0];
    if (digits.size() > 1 && digits[0] == '0') {
        return false;
    }
    const char *end = digits.data() + digits.size();
    const std::from_chars_result read = std::from_chars(digits.data(), end, *size);
    return read.ec == std::errc() && read.ptr == end;
}

bool read_crc(const std::string &line, unsigned long *crc) {
    std::vector<std::string> words;
    if (!words_after(line, "crc32", 1, 0, &words) || words[0].size() != kCrcDigits) {
        return false;
    }
    unsigned long value = 0;
    for (const char c : words[0]) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit && !(c >= 'a' && c <= 'f')) {
            return false;
        }
        value = value * 16 + static_cast<unsigned long>(digit ? c - '0' : c - 'a' + 10);
    }
    *crc = value;
    return true;
}

bool read_version(const std::string &line, std::string *version) {
    std::vector<std::string> words;
    if (!words_after(line, "version", 1, 0, &words)) {
        return false;
    }
    *version = words[0];
    return true;
}

RecordedUnit recorded_unit(const char *unit, double factor) {
    RecordedUnit recorded;
    if (unit != nullptr && factor != 0.0) {
        recorded.converted = true;
        recorded.unit = unit;
        recorded.factor = factor;
    }
    return recorded;
}

} // namespace

const char *conversion_record_version() {
    return JOINT2SI_VERSION;
}

ConversionRecord make_conversion_record(const char *force_unit, double force_factor,
                                        const char *moment_unit, double moment_factor,
                                        unsigned long long size, unsigned long crc) {
    ConversionRecord record;
    record.version = conversion_record_version();
    record.force = recorded_unit(force_unit, force_factor);
    record.moment = recorded_unit(moment_unit, moment_factor);
    record.size = size;
    record.crc = crc;
    return record;
}

bool format_conversion_record(const ConversionRecord &record, std::string *text) {
    if (!is_word(record.version) || !unit_writable(record.force) || !unit_writable(record.moment)) {
        return false;
    }
    char crc[kCrcDigits + 1];
    std::snprintf(crc, sizeof crc, "%08lx", record.crc & 0xffffffffUL);
    *text = std::string(kHeader) + "\nversion " + record.version + "\n" +
            unit_line("force", record.force) + unit_line("moment", record.moment) + "size " +
            std::to_string(record.size) + "\ncrc32 " + crc + "\n";
    return true;
}

bool parse_conversion_record(const std::string &text, ConversionRecord *record) {
    std::vector<std::string> lines;
    ConversionRecord read;
    if (!split_lines(text, &lines) || lines.size() != 6 || lines[0] != kHeader ||
        !read_version(lines[1], &read.version) || !read_unit(lines[2], "force", &read.force) ||
        !read_unit(lines[3], "moment", &read.moment) || !read_size(lines[4], &read.size) ||
        !read_crc(lines[5], &read.crc)) {
        return false;
    }
    *record = read;
    return true;
}

RecordCheck check_conversion_record(const std::string &text, unsigned long long size,
                                    unsigned long crc) {
    ConversionRecord record;
    if (!parse_conversion_record(text, &record)) {
        return RecordCheck::unreadable;
    }
    return record.size == size && record.crc == (crc & 0xffffffffUL) ? RecordCheck::matches
                                                                     : RecordCheck::changed;
}

std::string recorded_units_text(const ConversionRecord &record) {
    if (record.force.converted && record.moment.converted) {
        return record.force.unit + " and " + record.moment.unit;
    }
    if (record.force.converted) {
        return record.force.unit;
    }
    return record.moment.converted ? record.moment.unit : std::string();
}
