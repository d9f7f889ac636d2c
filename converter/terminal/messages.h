// SPDX-License-Identifier: MIT
// Every message the converter writes, in one place. All go to the standard
// error stream, each as whole lines; names are printed as data, never used as a
// format. A message first erases the progress line, which redraws itself later.
//
// Where there is more to say than the message line, it follows on lines of its own,
// each indented by two blanks: the argument that matched nothing, the directory that
// could not be read, the reason (terminal/reason.h: an errno value or one of the
// program's own) when one is known. A `reason` of 0 adds no line.
#ifndef JOINT2SI_MESSAGES_H
#define JOINT2SI_MESSAGES_H

/// The file argument `argument` matched nothing; `unread_directory`, when not null, is
/// the directory it names that could not be listed, for `reason`.
void report_no_match(const char *argument, const char *unread_directory = nullptr, int reason = 0);
void report_cannot_open(const char *name, int reason = 0);
void report_cannot_read(const char *name, int reason = 0);
void report_not_text(const char *name);
void report_cannot_write(const char *name, int reason = 0);
void report_kept_elsewhere(const char *name, const char *kept_in, int reason = 0);
/// A file another program wrote during its conversion, left as that program left it.
void report_changed_during_run(const char *name);
/// A file that holds its new content, but whose directory could not be synced.
void report_directory_unsynced(const char *name, int reason);
/// A file refused because `kept_in`, the complete converted text of an earlier run that
/// ended while copying it into the file, is still waiting to be put in place.
void report_copy_pending(const char *name, const char *kept_in);
void report_cannot_read_directory(const char *name, int reason = 0);
void report_not_regular(const char *name);
void report_untrusted_link(const char *name);
void report_leftover_kept(const char *path);
void report_out_of_memory();

// Command line: an unknown long option, an unusable backup suffix, a backup control
// that names none (given by `source`: "--backup" or "VERSION_CONTROL"), a unit text
// that names no unit of its kind ("force" or "moment").
void report_unknown_option(const char *option);
void report_bad_backup_suffix(const char *suffix);
/// The same message for a suffix that gives names the system cannot keep as written,
/// with the character on the next line: `bad` is one no name can hold, or a dot or
/// blank at the end, which the system drops.
void report_backup_suffix_not_in_names(const char *suffix, char bad);
void report_unknown_backup_control(const char *control, const char *source);
/// "Error: Invalid number of jobs '%s'": a --jobs value that is no whole number from 1 up.
void report_bad_jobs(const char *value);

void report_unknown_unit(const char *kind, const char *unit_text);

// A file whose backup could not be made, and is therefore not converted; with a
// `reason` (may be null: none known) on the next line.
void report_cannot_back_up(const char *name, const char *backup, const char *reason = nullptr);
// Converted lines of `name` that dropped digits after their value: how many, and the
// first one with its line number in the original file.
void report_dropped_digits(const char *name, int count, long line_number, const char *first);
// --verbose: one line per file and one for the run.
void report_file_counts(const char *name, long forces, long moments, long long comment_lines);
void report_total_counts(long files, long forces, long moments, long long comment_lines);

// The mark of an earlier conversion: `units` are the units it names ("kN and kNm"; ""
// when it names none that can be read).
void report_converted_already(const char *name, const char *units);
void report_changed_since_converted(const char *name, const char *units);
// --verbose: the file system kept no mark of the conversion of `name`.
void report_no_mark_kept(const char *name);

// A file refused because a value would not be converted exactly: the line, with its
// number in the original file and its text as read, that has digits after its value
// (which the conversion would drop), or whose value's conversion is not a finite number.
void report_digits_after_value(const char *name, long long line_number, const char *line);
void report_value_not_finite(const char *name, long long line_number, const char *line);
// Force and moment lines of `name` left as they are because no value could be read from
// them: how many, and the first one with its line number in the original file.
void report_no_value(const char *name, long long count, long long line_number, const char *first);

#endif
