/* tool_dstring: heap strings, string lists, number text, string utilities,
 * wildcard matching and bracket scanning.
 *
 * Heap strings and slots
 * ----------------------
 * A heap string is a NUL-terminated text in a block from the tracked allocator
 * (tool_memory.h), sized exactly: strlen + 1 bytes, no spare capacity.
 * A slot is a caller-owned `char *` variable that is null or the sole owner of
 * one heap string. Operations that may move the string take the slot's address
 * (`char **`) and always store the current address back; after such a call the
 * old pointer value must not be used. A slot is released only by tool_strfree
 * (or tool_strcpy / tool_strncpy with a null source).
 *
 * Failures: an operation that cannot allocate prints one line to the standard
 * error stream, "Error: <operation>: Memory allocation failed!\n", leaves the
 * slot null (the old string is released, nothing leaks) and returns null. No
 * operation ends the process. Null arguments are never faults; each function
 * states its result for them. Comparisons order null before any string.
 *
 * The source of tool_strcat, tool_strncat, tool_strcpy and tool_strncpy must not
 * lie inside the slot's own block.
 *
 * String lists
 * ------------
 * A StringList is created by the caller as {0, NULL} and released with
 * tool_strlist_free, which returns it to that state. The list owns copies of
 * its strings; users read items[0 .. count-1] and never free them. The array
 * holds 10 entries when first allocated and grows by 10 (to count + 11 entries)
 * before storing index c whenever c is 0 on an existing array or c + 1 is a
 * multiple of 10. A failed growth releases every entry and empties the list.
 * KeyedStringList pairs each string with an int key and grows both arrays by
 * the same rule.
 *
 * Static results: tool_itoa, tool_itoa_fmt, tool_dtoa and tool_dtoa_fmt return
 * text in a buffer of their own that the next call of the same function
 * overwrites. tool_sprintf and tool_memswap use module-wide storage too. The
 * module is not re-entrant; the system is single-threaded.
 */
#ifndef LIBTOOLS_TOOL_DSTRING_H
#define LIBTOOLS_TOOL_DSTRING_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Heap strings ------------------------------------------------------ */

/// A new copy of `src`; null for a null `src` (no message) or on exhaustion (message).
char *tool_strdup(const char *src);

/// Appends `src` to the slot's string (a null slot string counts as empty).
/// Returns the slot's content; null for a null slot. A null `src` changes nothing.
char *tool_strcat(char **slot, const char *src);

/// As tool_strcat, appending at most `n` characters of `src`.
char *tool_strncat(char **slot, const char *src, unsigned n);

/// Replaces the slot's string by a copy of `src`; a null `src` releases it.
/// Returns the slot's content; null for a null slot.
char *tool_strcpy(char **slot, const char *src);

/// As tool_strcpy, keeping the first `n` characters of `src` (all if shorter).
char *tool_strncpy(char **slot, const char *src, unsigned n);

/// Formats like vsprintf into the slot, at the text's real length (no limit).
/// Returns the slot's content; null for a null slot. A null format changes nothing.
char *tool_sprintf(char **slot, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

/// Releases the slot's string and sets the slot to null. 0 for a null slot pointer, else 1.
int tool_strfree(char **slot);

/// A new copy of `n` bytes of `src`; null for a null `src`, for n 0 or on exhaustion.
void *tool_memdup(const void *src, unsigned n);

/// memmove of `n` bytes; returns `dst`, or null (and moves nothing) when either is null.
void *tool_memmove(void *dst, const void *src, int n);

/// memcmp of `n` bytes with null ordered before any block.
int tool_memcmp(const void *a, const void *b, int n);

/// Exchanges the first `n` bytes of `a` and `b` through a scratch block that is kept
/// between calls while it holds at most 1,024 bytes.
void tool_memswap(void *a, void *b, unsigned n);

/// strcmp with null ordered first (both null 0, only `a` null -1, only `b` null 1).
int tool_strcmp(const char *a, const char *b);
/// ASCII case-insensitive comparison with null ordered first.
int tool_stricmp(const char *a, const char *b);
/// strncmp over at most `n` characters with null ordered first.
int tool_strncmp(const char *a, const char *b, int n);
/// ASCII case-insensitive comparison of at most `n` characters with null ordered first.
int tool_strnicmp(const char *a, const char *b, int n);
/// strchr; null for a null `s`.
char *tool_strchr(const char *s, int c);
/// strrchr; null for a null `s`.
char *tool_strrchr(const char *s, int c);
/// strstr; null when either is null.
char *tool_strstr(const char *s, const char *sub);
/// strlen; 0 for null.
unsigned tool_strlen(const char *s);

/// Portable ASCII-only case-insensitive comparisons (the C library's _stricmp family):
/// the difference of the first differing characters after lower-casing. Neither may be null.
int tool_ascii_stricmp(const char *a, const char *b);
int tool_ascii_strnicmp(const char *a, const char *b, unsigned long n);

/* ---- String lists -------------------------------------------------------- */

typedef struct StringList {
    int count;    /* entries in use: items[0 .. count-1] */
    char **items; /* owned heap strings (null after a failed copy); null when none allocated */
} StringList;

typedef struct KeyedStringList {
    int count;
    int *keys;
    char **strings;
} KeyedStringList;

/// Appends a copy of `s`. 1 on success (also when only the copy failed and a null entry
/// was stored); 0 for a null list or string, or when the array could not grow (the list
/// is then released and empty).
int tool_strlist_append(StringList *list, const char *s);
/// 1 when some non-null entry equals `s` exactly, else 0 (also for null arguments).
int tool_strlist_contains(const StringList *list, const char *s);
/// Releases every entry and the array; the list is empty again. 0 for null, else 1.
int tool_strlist_free(StringList *list);
/// Appends copies of the entries of `src` to `dst` (null entries skipped). Always 0.
int tool_strlist_append_list(StringList *dst, const StringList *src);

/// Appends the pair (key, copy of s). 1 on success; 0 for null arguments or a failed growth
/// (the list is then released and empty).
int tool_keyed_strlist_append(KeyedStringList *list, int key, const char *s);
/// Mode 1: some key equals `key`; mode 2: some non-null string equals `s`; otherwise both
/// in the same entry. 0 for a null list, a null `s` (every mode) or missing arrays.
int tool_keyed_strlist_contains(const KeyedStringList *list, int key, const char *s, int mode);
/// Releases both arrays and every string; the list is empty again. 0 for null, else 1.
int tool_keyed_strlist_free(KeyedStringList *list);
/// Appends each pair of `src` whose string is not null to `dst`. Always 0.
int tool_keyed_strlist_append_list(KeyedStringList *dst, const KeyedStringList *src);

/* ---- Number text ---------------------------------------------------------- */

/// The value as "%d" prints it (static buffer).
const char *tool_itoa(int value);
/// The value printed with `format` (one int conversion; null means "%d"), cut to the
/// buffer, never written past it (static buffer).
const char *tool_itoa_fmt(const char *format, int value);
/// The value as "%.*f" with `precision` decimals, trailing zeros trimmed down to
/// `min_precision` decimals and a bare trailing point removed (static buffer).
const char *tool_dtoa(int min_precision, int precision, double value);
/// The value printed with `format` when it contains the letter f, else with "%.3f".
const char *tool_dtoa_fmt(const char *format, double value);
/// The number at the start of `text` as sscanf "%lf" reads it; 0.0 when there is none.
double tool_atof(const char *text);
/// The integer at the start of `text`, read as hexadecimal, octal (leading o) or decimal.
int tool_atoi(const char *text);
/// Compares the values of the digit runs that begin `a` and `b`: 1, 0 or -1.
int tool_numcmp(const char *a, const char *b);
/// Natural-order comparison: digit runs compare by value. 1, 0 or -1; null first.
int tool_strnatcmp(const char *a, const char *b);
/// Prints `label` and bits 0 .. n-1 of `bits` as 0 and 1 to the standard output.
void tool_print_bits(const char *label, int n, const unsigned char *bits);
/// Reverses the order of bits 0 .. n-1 in place; returns `bits`.
unsigned char *tool_bits_reverse(int n, unsigned char *bits);

/* ---- String utilities ----------------------------------------------------- */

/// The sentinel a tool_strtok cursor holds once the text is exhausted (never dereferenced).
#define TOOL_STRTOK_DONE ((char *)(uintptr_t)0xDEADBEEFu)

char *tool_strupr(char *s);
char *tool_strlwr(char *s);
int tool_strsetchar(char *s, int pos, int c);
char tool_strgetchar(const char *s, int pos);

int tool_charinset(char c, const char *set);
char *tool_strpbrk(const char *s, const char *set);
char *tool_strrpbrk(const char *s, const char *set);
char *tool_strtok(char *s, const char *delims, char **cursor, char *found);

char *tool_strsqueeze(char *s, char c);
char *tool_strdelchr(char *s, char c);
char *tool_strtrimleft(char *s, char c);
char *tool_strtrimright(char *s, char c);
char *tool_strcutleft(char *s, int n);
char *tool_strcutright(char *s, int n);
char *tool_strreplchr(char *s, char from, char to);
char *tool_str_to_backslashes(char *s);
char *tool_str_to_slashes(char *s);

char *tool_strescape_backslashes(const char *s);
char *tool_strunescape(const char *s);
int tool_strexpandtabs(const char *s, char **slot);

/// Callback of tool_strexpand: returns a heap string (or null) that the caller takes over.
typedef char *(*ToolExpandCallback)(const char *token, int user_data);
char *tool_strexpand(const char *s, const char *delims, ToolExpandCallback callback, int user_data);
char *tool_getenv_or_name(const char *name, int user_data);
char *tool_strexpand_env(const char *s);

/* ---- Wildcards and brackets ------------------------------------------------ */

/// 1 when the whole `text` matches the whole `pattern` ("*" "%" any run, "?" "$" one
/// character, "[set]" one of the set); null text 0, null pattern 1.
int tool_strmatch(const char *pattern, const char *text, int fold_case);
int tool_brace_direction(char c);
char tool_brace_partner(char c);
char *tool_find_matching(char open, char close, char *text);
int tool_find_brace_pair(char *text, char **open_out, char **close_out);
const char *tool_strpbrk_toplevel(const char *text, const char *set);

#ifdef __cplusplus
}
#endif

#endif
