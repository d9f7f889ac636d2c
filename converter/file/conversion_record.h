// SPDX-License-Identifier: MIT
// The record joint2si keeps with each file it converted, outside the file's text (see
// "A file's record" in tool_sys_io.h): which units the values were converted from,
// by which factors, by which version, and which bytes that conversion wrote (their
// size and CRC-32). A run that finds a record knows the file was converted already.
//
// The text is small, line-based and versioned; every line ends in "\n":
//
//     joint2si-record 1
//     version 0.1.0
//     force kN 1000
//     moment unchanged
//     size 12345
//     crc32 1a2b3c4d
//
// A converted kind names its unit text as given on the command line and its factor
// (the shortest text that reads back as the same double); a kind left unchanged says
// "unchanged". Size is decimal; crc32 is eight lower-case hexadecimal digits. The
// lines come in this order, once each, with one blank between words and nothing else.
//
// Reading is strict: a text that departs from this form in any way (another format
// number, a missing, repeated or extra line, a stray blank, a factor that is zero or not
// finite) is not a record this version can read. It still shows that something
// recorded the file, so the caller treats it as a record that does not match: the file
// was converted once and its text has changed since, or it was recorded by a version
// that writes another form. Neither may be converted again without --force.
#ifndef JOINT2SI_CONVERSION_RECORD_H
#define JOINT2SI_CONVERSION_RECORD_H

#include <string>

/// What a record says about one kind of line.
struct RecordedUnit {
    bool converted = false; // false: the kind's lines were left unchanged
    std::string unit;       // the unit text the values were converted from, as given
    double factor = 0.0;    // the factor they were multiplied by
};

/// What a record holds.
struct ConversionRecord {
    std::string version; // of the program that converted the file
    RecordedUnit force;
    RecordedUnit moment;
    unsigned long long size = 0; // of the converted file, in bytes
    unsigned long crc = 0;       // CRC-32 (zlib's crc32) of its bytes
};

/// The version new records name: the program's own.
const char *conversion_record_version();

/// The record of a conversion by this program: a kind whose factor is 0 (or whose unit
/// text is null) was left unchanged; `size` and `crc` describe the converted bytes.
ConversionRecord make_conversion_record(const char *force_unit, double force_factor,
                                        const char *moment_unit, double moment_factor,
                                        unsigned long long size, unsigned long crc);

/// The text of `record` in `*text`. False (text untouched) when the record cannot be
/// written in this form, so that reading it back would not give it: a version or a
/// converted kind's unit text that is empty, longer than 64 bytes or holds anything
/// but printable ASCII other than the blank; a converted kind's factor that is zero or
/// not finite.
bool format_conversion_record(const ConversionRecord &record, std::string *text);

/// Reads `text` strictly (see above) into `*record`. False, with `*record` untouched,
/// for any text that is not a record of this form.
bool parse_conversion_record(const std::string &text, ConversionRecord *record);

/// How a file's record stands to its current bytes.
enum class RecordCheck {
    matches,   // the record reads and names exactly these bytes: converted, unchanged since
    changed,   // the record reads but names other bytes: changed since it was converted
    unreadable // not a record this version reads (see above): treated like `changed`
};

/// Checks the record text `text` against the size and CRC-32 of the file's bytes.
RecordCheck check_conversion_record(const std::string &text, unsigned long long size,
                                    unsigned long crc);

/// The units a record says the file was converted from, for a person: the two unit
/// texts joined by " and " ("kN and kNm"), the one of a single converted kind ("kN"),
/// "" when neither was converted.
std::string recorded_units_text(const ConversionRecord &record);

#endif
