// Every message the converter writes, in one place. All go to the standard
// error stream; names are printed as data, never used as a format.
#ifndef JOINT2SI_MESSAGES_H
#define JOINT2SI_MESSAGES_H

void report_no_match();
void report_cannot_open(const char *name);
void report_cannot_read(const char *name);
void report_not_text(const char *name);
void report_cannot_write(const char *name);
void report_kept_elsewhere(const char *name, const char *kept_in);

// Command line: an unknown long option, an unusable backup suffix, a unit text that
// names no unit of its kind ("force" or "moment").
void report_unknown_option(const char *option);
void report_bad_backup_suffix(const char *suffix);
void report_unknown_unit(const char *kind, const char *unit_text);

#endif
