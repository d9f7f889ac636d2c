// SPDX-License-Identifier: MIT
// The call-site tag that every tracked allocation of tool_sys_io carries.
#ifndef LIBTOOLS_SYS_IO_SOURCE_TAG_H
#define LIBTOOLS_SYS_IO_SOURCE_TAG_H

#define SYS_IO_SOURCE "libtools/tool_sys_io"
#define SYS_IO_HERE SYS_IO_SOURCE, __LINE__

#endif
