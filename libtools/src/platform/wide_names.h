// SPDX-License-Identifier: MIT
// Windows only: names are UTF-8 inside the toolkit and UTF-16 for the system's wide
// ("W") calls. The win32_*.cpp files convert at the boundary through these helpers.
#ifndef LIBTOOLS_PLATFORM_WIDE_NAMES_H
#define LIBTOOLS_PLATFORM_WIDE_NAMES_H

#include <string>

namespace platform {

/// `utf8` (toolkit path syntax) as UTF-16 in `wide`; false for null or text that is not
/// valid UTF-8 (`wide` is then empty). Never throws.
bool to_wide(const char *utf8, std::wstring *wide);

/// `wide` as UTF-8 in `utf8`; false when it cannot be converted (`utf8` is then empty).
/// Never throws.
bool to_utf8(const wchar_t *wide, std::string *utf8);

/// `wide` as UTF-8, or "" when it cannot be converted.
std::string utf8_of(const wchar_t *wide);

/// `utf8` as UTF-16, or "" when it cannot be converted (no system call accepts "").
std::wstring wide_of(const char *utf8);

/// The absolute form the system itself gives `wide` (GetFullPathNameW, whose result has
/// no length limit): separators as backslashes, "." and ".." parts resolved, trailing
/// dots and blanks of a name dropped. Empty when it cannot be formed (the system's error
/// is then the thread's last error). Never throws.
std::wstring full_path_form(const std::wstring &wide);

/// `path` as UTF-16 for the wide calls. A path of MAX_PATH characters or more, or any
/// path when `extended` is set, is given in the extended-length form ("\\\\?\\C:\\..."
/// or "\\\\?\\UNC\\server\\..."), made from the absolute path the system itself
/// forms (relative paths, "." and ".." resolved, trailing dots and blanks of names
/// dropped), so that no path is refused for its length. A path already in that form, the
/// device form or the object manager's ("\\??\\") is kept as written; shorter paths are
/// given as wide_of gives them. Never throws: "" when memory runs out.
std::wstring system_path_of(const std::string &path, bool extended = false);

} // namespace platform

#endif
