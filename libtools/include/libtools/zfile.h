/* zfile: one stream handle over a plain stdio file or a zlib gzip file.
 *
 * A ToolStream is either a FILE * or a gzFile; only the registry of open
 * compressed handles tells which. Results keep the conventions of stdio and
 * zlib (0 for success, EOF or a negative code for failure).
 */
#ifndef LIBTOOLS_ZFILE_H
#define LIBTOOLS_ZFILE_H

#include <stdarg.h>

#ifdef __cplusplus
extern "C" {
#endif

/// An open plain (FILE *) or compressed (gzFile) stream; null for none.
typedef void *ToolStream;

ToolStream zfile_open(const char *path, const char *mode);
int zfile_close(ToolStream stream);
int zfile_is_compressed(ToolStream stream);
int zfile_register(ToolStream stream);
int zfile_unregister(ToolStream stream);
int zfile_detect_gzip(const char *path, const char *mode);
char *zfile_mode_without_z(const char *mode);

int zfile_error(ToolStream stream);
int zfile_flush(ToolStream stream);
int zfile_read(void *buffer, int size, int count, ToolStream stream);
int zfile_write(const void *data, int size, int count, ToolStream stream);
long zfile_seek(ToolStream stream, long offset, int origin);
long zfile_tell(ToolStream stream);
char *zfile_gets(char *buffer, int size, ToolStream stream);
int zfile_getc(ToolStream stream);
int zfile_vprintf(ToolStream stream, const char *format, va_list args);
int zfile_printf(ToolStream stream, const char *format, ...);

#ifdef __cplusplus
}
#endif

#endif
