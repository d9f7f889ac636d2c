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
