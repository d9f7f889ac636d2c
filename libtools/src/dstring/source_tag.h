// SPDX-License-Identifier: MIT
// The call-site tag that every tracked allocation of tool_dstring carries.
#ifndef LIBTOOLS_DSTRING_SOURCE_TAG_H
#define LIBTOOLS_DSTRING_SOURCE_TAG_H

#define DSTRING_SOURCE "libtools/tool_dstring"
#define DSTRING_HERE DSTRING_SOURCE, __LINE__

#endif
