// The two kinds a ToolStream stands for. Only the registry tells them apart;
// these helpers merely give the untyped handle its type once the caller knows.
#ifndef LIBTOOLS_ZFILE_HANDLES_H
#define LIBTOOLS_ZFILE_HANDLES_H

#include "libtools/zfile.h"

#include <zlib.h>

#include <cstdio>

namespace zfile {

inline gzFile as_gz(ToolStream stream) {
    return static_cast<gzFile>(stream);
}
inline std::FILE *as_file(ToolStream stream) {
    return static_cast<std::FILE *>(stream);
}

} // namespace zfile

#endif
