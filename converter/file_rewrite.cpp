#include "file_rewrite.h"

#include "fast_rewrite.h"
#include "leftovers.h"
#include "messages.h"
#include "units.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Closes the input stream when it goes out of scope.
class InputStream {
  public:
    explicit InputStream(const char *name) : stream_(tool_fopen(name, "r+")) {}
    ~InputStream() { close(); }
    void close() { tool_fclose(&stream_); }
    InputStream(const InputStream &) = delete;
    InputStream &operator=(const InputStream &) = delete;
    ToolStream get() const { return stream_; }

  private:
    ToolStream stream_;
};

// Abandons the replacement (removing its file) unless it was committed.
class Replacement {
  public:
    Replacement() = default;
    ~Replacement() { tool_replace_abandon(&replacement_); }
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;
    ToolReplacement *get() { return &replacement_; }

  private:
    ToolReplacement replacement_ = {};
};

enum class Outcome { converted, read_failed, not_text, write_failed };

bool same_file(const ToolFileIdentity &a, const ToolFileIdentity &b) {
    return a.device == b.device && a.index == b.index;
}

bool already_converted(const ConvertedFiles &converted, const ToolFileIdentity &identity) {
    return std::any_of(converted.begin(), converted.end(),
                       [&](const ToolFileIdentity &seen) { return same_file(seen, identity); });
}

// Reads every line of `input`, converts it and writes it to the replacement.
Outcome convert_stream(ToolStream input, ToolReplacement *replacement,
                       const Conversion &conversion) {
    const ConversionOutcome outcome = convert_stream_fast(input, replacement, conversion);
    if (outcome == ConversionOutcome::converted && tool_ferror(input) != 0) {
        return Outcome::read_failed;
    }
    switch (outcome) {
    case ConversionOutcome::converted:
        return Outcome::converted;
    case ConversionOutcome::read_failed:
        return Outcome::read_failed;
    case ConversionOutcome::not_text:
        return Outcome::not_text;
    default:
        return Outcome::write_failed;
    }
}

void report(Outcome outcome, const char *name) {
    if (outcome == Outcome::read_failed) {
        report_cannot_read(name);
    } else if (outcome == Outcome::not_text) {
        report_not_text(name);
    } else if (outcome == Outcome::write_failed) {
        report_cannot_write(name);
    }
}

// Puts the converted content in place; false, after reporting, when it could not.
bool commit(ToolReplacement *replacement, const char *name, ConvertedFiles *converted) {
    const int result = tool_replace_commit(replacement);
    if (result == TOOL_REPLACE_KEPT) {
        report_kept_elsewhere(name, replacement->temporary);
        return false;
    }
    if (result != TOOL_REPLACE_DONE) {
        report_cannot_write(name);
        return false;
    }
    // The identity after the commit: a renamed replacement is a new file, and the old
    // file's identity may be given to another file later in the run.
    ToolFileIdentity now = {};
    if (tool_file_identity(replacement->target, &now)) {
        try {
            converted->push_back(now);
        } catch (const std::bad_alloc &) {
            // The file is converted; only the note that it was is lost.
            report_out_of_memory();
        }
    }
    return true;
}

// Locks the file `name` leads to; false, after reporting why, when it may not be
// rewritten.
bool lock(ToolReplacement *replacement, const char *name) {
    const int locked = tool_replace_lock(replacement, name);
    if (locked == TOOL_LOCK_NOT_REGULAR) {
        report_not_regular(name);
    } else if (locked == TOOL_LOCK_UNTRUSTED_LINK) {
        report_untrusted_link(name);
    } else if (locked != TOOL_LOCK_DONE) {
        report_cannot_open(name);
    }
    return locked == TOOL_LOCK_DONE;
}

// Whether `name` still leads to the locked file now that it is open for reading.
bool still_locked_file(const char *name, const ToolReplacement &replacement) {
    ToolFileIdentity now = {};
    return tool_file_identity(name, &now) && same_file(now, replacement.identity);
}

} // namespace

bool rewrite_file(const char *name, const CommandLine &options, ConvertedFiles *converted) {
    if (is_skipped_name(name)) {
        return true;
    }
    Replacement replacement;
    if (!lock(replacement.get(), name)) {
        return false;
    }
    if (already_converted(*converted, replacement.get()->identity)) {
        return true;
    }
    sweep_leftovers_beside(replacement.get()->target);
    InputStream input(name);
    if (input.get() == nullptr || !still_locked_file(name, *replacement.get())) {
        report_cannot_open(name);
        return false;
    }
    if (!tool_replace_open(replacement.get(), name)) {
        report_cannot_write(name);
        return false;
    }
    tool_read_line_clear_status();
    const Outcome outcome = convert_stream(input.get(), replacement.get(), options.conversion);
    if (outcome != Outcome::converted) {
        report(outcome, name);
        return false;
    }
    input.close(); // some systems refuse to replace a file that is still open
    return commit(replacement.get(), name, converted);
}
