// SPDX-License-Identifier: MIT
#include "file/conversion_mark.h"

#include "file/conversion_record.h"
#include "terminal/messages.h"

#include "libtools/tool_dstring.h"

#include <cerrno>
#include <new>
#include <string>

namespace {

// The units the record `text` names, "" when it names none or cannot be read.
std::string units_of(const std::string &text) {
    ConversionRecord record;
    return parse_conversion_record(text, &record) ? recorded_units_text(record) : "";
}

// How the recorded file stands to its record; `changed` when its bytes cannot be read.
RecordCheck check_bytes(const ToolReplacement *replacement, const std::string &text) {
    unsigned long long size = 0;
    unsigned long crc = 0;
    if (!tool_replace_target_crc32(replacement, &size, &crc)) {
        return RecordCheck::changed;
    }
    return check_conversion_record(text, size, crc);
}

} // namespace

MarkCheck check_mark(const char *name, const ToolReplacement *replacement,
                     const FileSettings &settings) {
    if (settings.force) {
        return MarkCheck::convert;
    }
    char *slot = nullptr;
    const int read = tool_replace_read_record(replacement, &slot);
    if (read == TOOL_RECORD_FAILED && errno == ENOMEM) {
        // A mark that could not be read may say the file is converted already.
        report_out_of_memory();
        return MarkCheck::refuse;
    }
    if (read != TOOL_RECORD_FOUND) {
        return MarkCheck::convert;
    }
    const std::string text = slot;
    tool_strfree(&slot);
    const std::string units = units_of(text);
    if (check_bytes(replacement, text) == RecordCheck::matches) {
        report_converted_already(name, units.c_str());
        return MarkCheck::leave;
    }
    report_changed_since_converted(name, units.c_str());
    return MarkCheck::refuse;
}

bool set_mark(ToolReplacement *replacement, const FileSettings &settings) {
    try {
        const ConversionRecord record = make_conversion_record(
            settings.force_unit, settings.conversion.force, settings.moment_unit,
            settings.conversion.moment, replacement->written_size, replacement->written_crc);
        std::string text;
        return format_conversion_record(record, &text) &&
               tool_replace_set_record(replacement, text.data(), text.size()) != 0;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

void report_mark_kept(const char *name, const ToolReplacement &replacement,
                      const FileSettings &settings) {
    if (settings.verbose && replacement.record_kept == 0) {
        report_no_mark_kept(name);
    }
}
