#include "file/file_rewrite.h"

#include "convert/units.h"
#include "file/fast_rewrite.h"
#include "file/file_options.h"
#include "file/leftovers.h"
#include "sinks/replacement_sink.h"
#include "terminal/messages.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace {

// Closes the input stream when it goes out of scope.
class InputStream {
  public:
    InputStream() = default;
    ~InputStream() { close(); }
    // Opens `name` for update, as the original tool did to test that it may be
    // rewritten, held to the locked file; binary, so the line reader sees CR LF as
    // written and the output can keep it. One of TOOL_LOCK_*.
    int open(const ToolReplacement &locked, const char *name) {
        return tool_replace_input(&locked, name, "r+b", &stream_);
    }
    void close() { tool_fclose(&stream_); }
    InputStream(const InputStream &) = delete;
    InputStream &operator=(const InputStream &) = delete;
    ToolStream get() const { return stream_; }

  private:
    ToolStream stream_ = nullptr;
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

// Where the converted text goes: the replacement (gzip-compressed at `gzip_level`
// when not 0), or with --dry-run a text in memory.
struct Output {
    ToolReplacement *replacement;
    int gzip_level;
    std::string *text;
};

bool append_to_text(void *context, const char *data, std::size_t size) {
    static_cast<std::string *>(context)->append(data, size);
    return true;
}

// The input's bytes as the converter reads them, telling the progress line how far
// it got in the file after each block: for a gzip file the compressed bytes used, as
// its size counts them.
struct WatchedInput {
    ByteSource source;
    Progress *progress;
    long long done;
    ToolStream compressed; // the input when it is a gzip stream, else null
};

long read_watched(void *context, char *buffer, std::size_t size) {
    auto *input = static_cast<WatchedInput *>(context);
    const long got = input->source.read(input->source.context, buffer, size);
    if (got > 0) {
        input->done += got;
        const long long at =
            input->compressed != nullptr ? zfile_offset(input->compressed) : input->done;
        if (at >= 0) {
            progress_position(input->progress, at);
        }
    }
    return got;
}

OnePassOutcome convert_lines_of(ToolStream input, OutputTarget target, const Conversion &conversion,
                                ConversionCounts *counts, Progress *progress) {
    WatchedInput watched = {stream_source(input), progress, 0,
                            zfile_is_compressed(input) != 0 ? input : nullptr};
    const ByteSource source =
        progress->enabled ? ByteSource{&watched, read_watched} : watched.source;
    return convert_lines(source, conversion_for(conversion), target, counts);
}

// Converts into the replacement through its sink, completed only after an input read
// whole.
OnePassOutcome convert_into_replacement(ToolStream input, const Output &output,
                                        const Conversion &conversion, ConversionCounts *counts,
                                        Progress *progress) {
    ReplacementSink sink(output.replacement, output.gzip_level);
    if (!sink.start()) {
        return OnePassOutcome::write_failed;
    }
    const OnePassOutcome outcome =
        convert_lines_of(input, target_of(&sink), conversion, counts, progress);
    if (outcome == OnePassOutcome::converted && tool_ferror(input) == 0 && !sink.finish()) {
        return OnePassOutcome::write_failed;
    }
    return outcome;
}

OnePassOutcome convert_into(ToolStream input, const Output &output, const Conversion &conversion,
                            ConversionCounts *counts, Progress *progress) {
    if (output.text != nullptr) {
        return convert_lines_of(input, OutputTarget{output.text, append_to_text}, conversion,
                                counts, progress);
    }
    return convert_into_replacement(input, output, conversion, counts, progress);
}

// Reads every line of `input`, converts it and writes it to `output`, counting what it
// converted.
Outcome convert_stream(ToolStream input, const Output &output, const Conversion &conversion,
                       FileTally *tally, Progress *progress) {
    ConversionCounts counts;
    const OnePassOutcome outcome = convert_into(input, output, conversion, &counts, progress);
    tally->forces = static_cast<long>(counts.forces);
    tally->moments = static_cast<long>(counts.moments);
    tally->lines_written = counts.lines;
    tally->dropped.count = static_cast<int>(counts.dropped);
    tally->dropped.first_index = counts.first_dropped_index;
    tally->dropped.first = counts.first_dropped;
    if (outcome == OnePassOutcome::converted && tool_ferror(input) != 0) {
        return Outcome::read_failed;
    }
    switch (outcome) {
    case OnePassOutcome::converted:
        return Outcome::converted;
    case OnePassOutcome::read_failed:
        return Outcome::read_failed;
    case OnePassOutcome::not_text:
        return Outcome::not_text;
    default:
        return Outcome::write_failed;
    }
}

void report(Outcome outcome, const char *name) {
    progress_erase();
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
    progress_erase();
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

// Ends the progress line's current file however the rewrite ends.
class ProgressFile {
  public:
    // The size as stored: for a gzip file its compressed bytes.
    ProgressFile(Progress *progress, const char *name) : progress_(progress) {
        progress_file(progress, name, tool_file_size(name));
    }
    ~ProgressFile() { progress_file_done(progress_); }
    ProgressFile(const ProgressFile &) = delete;
    ProgressFile &operator=(const ProgressFile &) = delete;

  private:
    Progress *progress_;
};

// Reads and converts the open `input` of `name` into the replacement, or into memory
// for --dry-run, and puts the result in place (or writes its diff).
bool convert_file(const char *name, InputStream *input, ToolReplacement *replacement,
                  const CommandLine &options, RunState *run) {
    ProgressFile progress(&run->progress, name);
    std::string preview;
    // A file read as gzip data is written back compressed, at the level its header names.
    const int gzip_level = zfile_stream_gzip_level(input->get());
    const Output output = {replacement, gzip_level, options.dry_run ? &preview : nullptr};
    FileTally tally;
    tool_read_line_clear_status();
    const Outcome outcome =
        convert_stream(input->get(), output, options.conversion, &tally, &run->progress);
    if (outcome != Outcome::converted) {
        report(outcome, name);
        return false;
    }
    const FileReport measured = measure_file(input->get(), tally, options);
    if (options.dry_run) {
        const bool written = keep_backup(name, replacement, options, &run->backups) &&
                             write_dry_run_diff(name, input->get(), preview);
        if (written) {
            report_file(name, tally, measured, options, &run->totals);
        }
        return written;
    }
    input->close(); // some systems refuse to replace a file that is still open
    if (!keep_backup(name, replacement, options, &run->backups) ||
        !commit(replacement, name, &run->converted)) {
        return false;
    }
    report_file(name, tally, measured, options, &run->totals);
    return true;
}

} // namespace

bool rewrite_file(const char *name, const CommandLine &options, RunState *run) {
    if (is_skipped_name(name)) {
        return true;
    }
    Replacement replacement;
    if (!lock(replacement.get(), name)) {
        return false;
    }
    if (already_converted(run->converted, replacement.get()->identity)) {
        return true;
    }
    if (!options.dry_run) { // a dry run changes nothing on disk, leftovers included
        sweep_leftovers_beside(replacement.get()->target);
    }
    InputStream input;
    const int opened = input.open(*replacement.get(), name);
    if (opened != TOOL_LOCK_DONE) {
        if (opened == TOOL_LOCK_NOT_REGULAR) {
            report_not_regular(name);
        } else {
            report_cannot_open(name);
        }
        return false;
    }
    if (!options.dry_run && !tool_replace_open(replacement.get(), name)) {
        report_cannot_write(name);
        return false;
    }
    try {
        return convert_file(name, &input, replacement.get(), options, run);
    } catch (const std::bad_alloc &) { // the text a dry run holds, the tally's first line
        progress_erase();
        report_out_of_memory();
        return false;
    }
}
