/* SPDX-License-Identifier: MIT */
/* A program of another project built against an installed libtools: prints the
 * lines of a plain or gzip-compressed text file with its comments removed, then
 * how many there were. It is C, so it also shows the headers serve C callers. */
#include <libtools/tool_dstring.h>
#include <libtools/tool_sys_io.h>

#include <stdio.h>

static const int strip_all =
    TOOL_STRIP_BLOCK_COMMENTS | TOOL_STRIP_LINE_COMMENTS | TOOL_STRIP_HASH_COMMENTS;

static int read_lines(const char *path, StringList *lines) {
    ToolStream stream = tool_fopen(path, "r");
    char *line;
    if (stream == NULL) {
        return 0;
    }
    while ((line = tool_read_line(stream, NULL, strip_all, 0)) != NULL) {
        tool_strlist_append(lines, line);
        tool_strfree(&line);
    }
    tool_fclose(&stream);
    return 1;
}

int main(int argc, char **argv) {
    StringList lines = {0, NULL};
    int i;
    if (argc != 2) {
        fprintf(stderr, "usage: consumer FILE\n");
        return 2;
    }
    if (!read_lines(argv[1], &lines)) {
        fprintf(stderr, "consumer: cannot open %s\n", argv[1]);
        return 1;
    }
    for (i = 0; i < lines.count; ++i) {
        puts(lines.items[i]);
    }
    printf("%d lines\n", lines.count);
    tool_strlist_free(&lines);
    return 0;
}
