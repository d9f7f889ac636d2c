// Paths: the toolkit speaks Windows path syntax everywhere (backslash, with "/"
// accepted), and this layer turns a toolkit path into the system's own form.
//
// Known limit: on POSIX a backslash is an ordinary character of a file name, but the
// toolkit always reads it as a separator. A file or directory whose name holds a
// literal backslash can therefore not be named, listed by pattern or opened through
// the toolkit. The directory scan still reports such a name, but joining it to its
// directory yields a path to something else.
#ifndef LIBTOOLS_PLATFORM_PATHS_H
#define LIBTOOLS_PLATFORM_PATHS_H

#include <string>

namespace platform {

/// The toolkit path in the form the operating system expects. On POSIX every
/// backslash becomes "/", so a file whose name holds a literal backslash is out of
/// the toolkit's reach; on Windows the path is unchanged.
std::string native_path(const char *path);

/// The separator the operating system writes between directory and name.
char native_separator();

} // namespace platform

#endif
