/* SPDX-License-Identifier: MIT */
/* tool_dstring: heap strings, string lists, number text, string utilities,
 * wildcard matching and bracket scanning.
 *
 * Heap strings and slots
 * ----------------------
 * A heap string is a NUL-terminated text in a block from the tracked allocator
 * (tool_memory.h) of at least strlen + 1 bytes. tool_strdup, tool_strcpy and
 * tool_strncpy size the block exactly. tool_strcat and tool_strncat use the room
 * the block has (tool_block_size) and, when the text does not fit, grow it to twice
 * its size or to what the text needs if that is more: appending a text piece by
 * piece resizes its block a number of times logarithmic in the final length, and
 * copies each byte a bounded number of times. Each append still measures the slot's
 * string first (a caller may have shortened it by hand), so n appends to one string
 * read O(n^2) bytes. tool_strappend is the append for building a long text: the
 * caller keeps the length, nothing is measured, and n appends cost O(n).
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
 * Reasons: want of memory is the only failure here that does not come from the
 * arguments. When an operation fails for it (a null result, or 0 where a function
 * says "when memory runs out"), errno is ENOMEM, as the tracked allocator leaves it.
 * Results that come from the arguments alone (null for a null source, 0 for no
 * match) change nothing and leave errno alone, except that tool_atof and its
 * relatives read numbers with the C library, which may set ERANGE: they report
 * through their results only. tool_strmatch gives 0 both for a mismatch and, for a
 * pattern over 512 characters, when its working memory cannot be had: a caller that
 * must tell them apart sets errno to 0 first and finds ENOMEM after the latter.
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
 * overwrites. tool_sprintf and tool_memswap use module-wide storage too. Those
 * functions are not re-entrant and belong to the program's main thread; worker
 * threads (tool_thread.h) never call them. Every other function here keeps no
 * state of its own and may be called from any thread on strings that thread owns
 * (a slot, a list or a buffer is used by one thread at a time); its allocations go
 * through the tracked allocator, which is safe in every thread, and errno is the
 * calling thread's own.
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
/// As tool_strncat, for a text built piece by piece: `*length` is the length of the
/// slot's string, which the caller keeps (0 for a null slot), and on success it becomes
/// the new length. The slot's string is not measured, so n appends cost O(n) in all.
/// `*length` must be the string's true length; a caller that shortens the string by hand
/// sets it again. Null `length` (or a `*length` beyond the block) appends nothing and
/// gives null with errno EINVAL; null `src` gives the slot's string unchanged. On want
/// of memory as tool_strcat (the slot becomes null, `*length` 0).
char *tool_strappend(char **slot, unsigned *length, const char *src, unsigned n);

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
/// Compares two UTF-8 texts character by character after Unicode's simple case folding
/// (the folding that pattern matching uses): negative, zero or positive as `a` sorts
/// before, with or after `b`; zero when they are equal after folding. A byte that starts
/// no well-formed sequence is a character of its own, after every code point. Null sorts
/// first. Never fails; allocates nothing, so any thread may call it.
int tool_strfoldcmp(const char *a, const char *b);

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
/// `src` may be `dst`: the entries it held at the call are appended once.
int tool_strlist_append_list(StringList *dst, const StringList *src);

/// Appends the pair (key, copy of s). 1 on success; 0 for null arguments or a failed growth
/// (the list is then released and empty).
int tool_keyed_strlist_append(KeyedStringList *list, int key, const char *s);
/// Mode 1: some key equals `key`; mode 2: some non-null string equals `s`; otherwise both
/// in the same entry. 0 for a null list, a null `s` (every mode) or missing arrays.
int tool_keyed_strlist_contains(const KeyedStringList *list, int key, const char *s, int mode);
/// Releases both arrays and every string; the list is empty again. 0 for null, else 1.
int tool_keyed_strlist_free(KeyedStringList *list);
/// Appends each pair of `src` whose string is not null to `dst`. Always 0. `src` may be
/// `dst`: the pairs it held at the call are appended once.
int tool_keyed_strlist_append_list(KeyedStringList *dst, const KeyedStringList *src);

/* ---- Number text ---------------------------------------------------------- */

/* The formatting functions return text in a static buffer of their own, valid until
 * the next call of the same function, and never write past it. Text is read and
 * written in the "C" locale's form (a point before the decimals, no grouping). */

/// The value as "%d" prints it (static buffer).
const char *tool_itoa(int value);
/// The value printed with `format` (static buffer of 256 bytes; longer text is cut).
/// The format must hold exactly one conversion of an int ("%d", "%5i", "%08x", "%o",
/// "%u", "%X", "%c" with flags, width and precision; "%%" may appear anywhere); a null
/// format, or one that is not of that form, prints as "%d". A width or precision above
/// 255 counts as 255: longer text could not be held, and asking the C library for it
/// would cost time in proportion to the number given.
const char *tool_itoa_fmt(const char *format, int value);
/// The value as "%.*f" prints it with `precision` decimals, then trailing zeros trimmed,
/// at most precision - min_precision of them, and a bare trailing point removed (static
/// buffer). Every finite double is written in full with up to 1,074 decimals (no double
/// has a non-zero decimal beyond that); larger precisions and minimums count as 1,074.
/// A negative precision prints 6 decimals and trims nothing; a negative minimum counts as 0.
const char *tool_dtoa(int min_precision, int precision, double value);
/// The value printed with `format` when the format contains the letter f and holds
/// exactly one conversion of a double ("%.2f", "%10.3e", "%g" with flags, width and
/// precision; "%%" anywhere), else with "%.3f" (static buffer of 512 bytes; longer text
/// is cut). A null format prints with "%.3f". A width or precision above 511 counts as
/// 511, for the reason given at tool_itoa_fmt.
const char *tool_dtoa_fmt(const char *format, double value);
/// The number at the start of `text` exactly as sscanf "%lf" reads it: leading white
/// space skipped, an optional sign, a decimal or hexadecimal number, inf or nan; what
/// follows is ignored. 0.0 when nothing converts, and for a null or empty text.
double tool_atof(const char *text);
/// As tool_atof, also telling whether a number was read: 1 and the number in `*value`,
/// or 0 and 0.0 in `*value` when nothing converts (null or empty text included).
/// A null `value` is allowed; only the result is given then.
int tool_atof_checked(const char *text, double *value);
/// The integer at the start of `text`: read as hexadecimal ("%x") when the text begins
/// with 0x or 0X or holds any of "abcdefABCDEF", else as octal ("%o") after a leading
/// letter o or O, which is skipped ("o17" gives 15), else as decimal ("%d"). Leading white
/// space and a sign are accepted and what follows the digits is ignored. 0 when no digit
/// can be read, and for a null or empty text. Out of range: a decimal value is clamped to
/// INT_MIN .. INT_MAX; a hexadecimal or octal one is taken modulo 2^32 as an unsigned
/// 32-bit pattern ("ffffffff" gives -1), clamped to 0xFFFFFFFF when it is larger.
int tool_atoi(const char *text);
/// Compares the values of the digit runs at the start of `a` and `b` (a text that does
/// not begin with a digit counts as 0): 1, 0 or -1. Runs of any length compare by value.
/// A null text counts as one without digits.
int tool_numcmp(const char *a, const char *b);
/// Natural-order comparison: characters compare as signed 8-bit values, and where both
/// texts hold a digit the runs from there compare by value (tool_numcmp). 1 if `a` orders
/// after `b`, -1 if before, 0 if equal; a null text orders before any text.
int tool_strnatcmp(const char *a, const char *b);
/// Prints `label` (if non-null) and bits 0 .. n-1 of `bits` (if non-null) as 0 and 1,
/// then a newline, to the standard output. Bit k is (bits[k / 8] >> (k % 8)) & 1.
void tool_print_bits(const char *label, int n, const unsigned char *bits);
/// Reverses the order of bits 0 .. n-1 in place (an odd n keeps the middle bit) and
/// returns `bits`; null for a null array. An n below 2 changes nothing.
unsigned char *tool_bits_reverse(int n, unsigned char *bits);

/* ---- String utilities -----------------------------------------------------
 *
 * Case is ASCII only: the letters A-Z and a-z, whatever the process locale.
 * In-place operations change the caller's buffer, never lengthen it, and return
 * the same pointer (null for a null text, doing nothing). A character set is a
 * string listing its members; the terminator belongs to every non-null set
 * (tool_charinset) but the searches never report it. New strings are tracked
 * heap strings that the caller releases with tool_strfree. Nothing here prints,
 * except through tool_strdup and tool_strcat as noted.
 */

/// The sentinel a tool_strtok cursor holds once the text is exhausted (never dereferenced).
#define TOOL_STRTOK_DONE ((char *)(uintptr_t)0xDEADBEEFu)

/// Upper-cases the letters of `s` in place; returns `s` (null for null).
char *tool_strupr(char *s);
/// Lower-cases the letters of `s` in place; returns `s` (null for null).
char *tool_strlwr(char *s);
/// Sets the character at `pos` (a negative pos counts from the end: -1 is the last) to
/// `c`; c of 0 cuts the text there. A position outside the text, a null or an empty `s`
/// change nothing. Always 0.
int tool_strsetchar(char *s, int pos, int c);
/// The character at `pos`, counted as by tool_strsetchar; NUL for a null or empty `s` or a
/// position outside the text.
char tool_strgetchar(const char *s, int pos);

/// 1 when `c` is in `set` or is the NUL character; 0 otherwise and for a null set.
int tool_charinset(char c, const char *set);
/// The first character of `s` that is in `set`; null when none, or when either is null.
char *tool_strpbrk(const char *s, const char *set);
/// The last character of `s` that is in `set`; null when none, or when either is null.
char *tool_strrpbrk(const char *s, const char *set);
/// Cuts the next token out of `s` in place and returns its start. Delimiters before the
/// token are skipped; the one that ends it is overwritten with NUL and stored in `found`
/// (0 at the end of the text; `found` may be null). The caller sets `*cursor` to the text
/// first and passes `*cursor` as `s` on every call; once the text is used up the cursor
/// holds TOOL_STRTOK_DONE. A text that is empty or ends in a delimiter yields one last
/// empty token: "a,b," gives "a", "b", "", then null. Null when any of s, delims, cursor
/// is null or the cursor holds the sentinel.
char *tool_strtok(char *s, const char *delims, char **cursor, char *found);

/// Shrinks every run of equal characters to one (c of 0), or only the runs of `c`.
char *tool_strsqueeze(char *s, char c);
/// Deletes every `c` (c of 0 deletes nothing).
char *tool_strdelchr(char *s, char c);
/// Deletes the run of `c` at the start (c of 0: unchanged).
char *tool_strtrimleft(char *s, char c);
/// Deletes the run of `c` at the end (c of 0: unchanged).
char *tool_strtrimright(char *s, char c);
/// Deletes the first `n` characters when 1 <= n <= length; otherwise unchanged.
char *tool_strcutleft(char *s, int n);
/// Deletes the last `n` characters, all when n >= length; n <= 0: unchanged.
char *tool_strcutright(char *s, int n);
/// Replaces every `from` by `to` (nothing when from is 0 or equals to).
char *tool_strreplchr(char *s, char from, char to);
/// Turns every "/" into a backslash.
char *tool_str_to_backslashes(char *s);
/// Turns every backslash into "/".
char *tool_str_to_slashes(char *s);

/// A new copy of `s` with every backslash doubled; null for null or when the allocation
/// fails (no message).
char *tool_strescape_backslashes(const char *s);
/// A new copy of `s` in which a backslash directly followed by decimal digits of a non-zero
/// value becomes the character of the value's low 8 bits (no character when those are 0);
/// any other backslash stays as it is ("\\0", "\\ 5", "\\-5" are copied unchanged). Null for
/// null or when the copy fails (with tool_strdup's message).
char *tool_strunescape(const char *s);
/// Puts into `*slot` (replacing what it held) a copy of `s` whose tabs are expanded to
/// spaces up to the next multiple of 8 output positions, counted from the start of the text
/// (a newline does not restart the count); every tab writes 1 to 8 spaces. `s` may be the
/// slot's own string. 1 on success; 0 for a null s or slot, or when the allocation fails
/// (the slot is then released and null; no message).
int tool_strexpandtabs(const char *s, char **slot);

/// Callback of tool_strexpand: returns a heap string (or null) that the caller takes over.
typedef char *(*ToolExpandCallback)(const char *token, int user_data);
/// Splits a copy of `s` into tokens at the characters of `delims` (as tool_strtok does),
/// passes each token with `user_data` to `callback` and returns the concatenation of its
/// results as a new string (a null result adds nothing). Null when s or callback is null,
/// when no result was produced, or when memory runs out (with the heap strings' message).
char *tool_strexpand(const char *s, const char *delims, ToolExpandCallback callback, int user_data);
/// A new copy of the value of the environment variable `name`, or of `name` itself when
/// there is no such variable; null for a null name. `user_data` is not used.
char *tool_getenv_or_name(const char *name, int user_data);
/// tool_strexpand of `s` at "%" with tool_getenv_or_name: "%HOME%/x" gives the value of
/// HOME followed by "/x". Every token, also text outside percent signs, is looked up as a
/// name. "" gives a new empty string; null gives null.
char *tool_strexpand_env(const char *s);

/* ---- Wildcards and brackets ------------------------------------------------ */

/// 1 when the whole `text` matches the whole `pattern`, else 0. "*" and "%" match any run
/// of characters, "?" and "$" exactly one, "[set]" one character listed up to the first
/// "]" after the "[" (no ranges, no negation; "[]" matches nothing); a "[" with no "]"
/// after it, and every other character, match themselves (when fold_case is non-zero,
/// without regard to case: both sides after Unicode's simple case folding). Pattern and
/// text are UTF-8 and matched character by character; a byte that starts no well-formed
/// sequence is one character that matches only itself. A star must leave at least one character for
/// the rest of the pattern unless it is the pattern's last character: "a*" matches "a", "a**" does
/// not, "**" does not match "". Null text 0, null pattern 1. Takes time proportional to
/// pattern length times text length; a pattern over 512 characters needs working memory,
/// and the result is 0 when that cannot be had.
int tool_strmatch(const char *pattern, const char *text, int fold_case);
/// 1 for "(", "[", "{"; -1 for ")", "]", "}"; 0 for any other character.
int tool_brace_direction(char c);
/// The partner of a bracket ("(" gives ")", ")" gives "(", ...); NUL for any other character.
char tool_brace_partner(char c);
/// The closer that matches the opener at the start of `text`, counting nested `open` and
/// `close` (the closer wins when both are equal, so quotes pair up); null when the text
/// ends first, when it does not start with `open`, or for a null text or a NUL open/close.
char *tool_find_matching(char open, char close, char *text);
/// Finds the first opener of any kind in `text` and its matching closer of the same kind.
/// 1 with both stored; 0 with both null when there is no opener (or the text is null);
/// 0 with the opener stored and a null closer when it has no match, after printing
/// "Syntax error (can not find matching brace): \n  '<text>'\n" to the standard output.
/// Null open_out or close_out: 0, nothing stored.
int tool_find_brace_pair(char *text, char **open_out, char **close_out);
/// The first character of `text` in `set` (tool_charinset) that is outside every bracket
/// group (a group is skipped from its opener to its matching closer, counting only its own
/// kind; an unclosed group hides the rest). Null when none, or for a null text.
const char *tool_strpbrk_toplevel(const char *text, const char *set);

#ifdef __cplusplus
}
#endif

#endif
