/* tool_sys_io: streams, the line reader, pattern expansion, file and
 * directory operations, and the safe replacement of a file.
 *
 * Every string this module returns is a tracked heap string (tool_memory.h)
 * that the caller releases with tool_strfree. Null arguments are never faults.
 */
#ifndef LIBTOOLS_TOOL_SYS_IO_H
#define LIBTOOLS_TOOL_SYS_IO_H

#include "libtools/tool_dstring.h"
#include "libtools/zfile.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Streams ---------------------------------------------------------------- */

ToolStream tool_fopen(const char *path, const char *mode);
int tool_fclose(ToolStream *stream);
int tool_ferror(ToolStream stream);
int tool_fflush(ToolStream stream);
int tool_fread(void *buffer, int size, int count, ToolStream stream);
int tool_fwrite(const void *data, int size, int count, ToolStream stream);
long tool_fseek(ToolStream stream, long offset, int origin);
long tool_ftell(ToolStream stream);
char *tool_fgets(char *buffer, int size, ToolStream stream);
int tool_fgetc(ToolStream stream);
int tool_ungetc(int c, ToolStream stream);
int tool_fprintf(ToolStream stream, const char *format, ...);

/* ---- Line reader -------------------------------------------------------------- */

#define TOOL_STRIP_BLOCK_COMMENTS 1
#define TOOL_STRIP_LINE_COMMENTS 2
#define TOOL_STRIP_HASH_COMMENTS 4

char *tool_read_line(ToolStream stream, char *buffer, int options, int keep_empty_lines);

/* ---- Pattern expansion ---------------------------------------------------------- */

char *tool_join_path(const char *directory, const char *name);
int tool_expand_pattern(StringList *list, const char *pattern, const char *directory);
int tool_count_matches(const char *pattern, const char *directory);

#ifdef __cplusplus
}
#endif

#endif
