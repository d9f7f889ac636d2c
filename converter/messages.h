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
void report_cannot_read_directory(const char *name);

#endif
