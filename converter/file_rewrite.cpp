#include "file_rewrite.h"

#include "conversion_loop.h"
#include "leftovers.h"
#include "messages.h"
#include "replacement_sink.h"

#include <algorithm>
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

bool same_file(const ToolFileIdentity &a, const ToolFileIdentity &b) {
    return a.device == b.device && a.index == b.index;
}

bool already_converted(const ConvertedFiles &converted, const ToolFileIdentity &identity) {
    return std::any_of(converted.begin(), converted.end(),
                       [&](const ToolFileIdentity &seen) { return same_file(seen, identity); });
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
    // A file read as gzip data is written back compressed, at the level its header names.
    const int gzip_level = zfile_is_compressed(input.get()) ? zfile_gzip_level(name) : 0;
    ReplacementSink sink(replacement.get(), gzip_level);
    const ConversionOutcome outcome = convert_stream(input.get(), &sink, options.conversion);
    if (outcome != ConversionOutcome::converted) {
        report_outcome(outcome, name);
        return false;
    }
    input.close(); // some systems refuse to replace a file that is still open
    return commit(replacement.get(), name, converted);
}
