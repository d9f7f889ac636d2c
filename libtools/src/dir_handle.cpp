// SPDX-License-Identifier: MIT
// The walk's directory handles: the platform's handles (platform/dir_handle.h) behind
// the library's C interface, with the checks every system shares: the identity of a
// directory opened below another, and the lowered names of a volume that ignores case.
#include "platform/dir_handle.h"
#include "libtools/tool_dir_handle.h"
#include "sys_io/guarded_call.h"

#include <cerrno>
#include <new>
#include <string>
#include <vector>

struct ToolDirHandle {
    platform::DirHandle *dir;
};

namespace {

int key_of(platform::EntryKind kind) {
    switch (kind) {
    case platform::EntryKind::directory:
        return TOOL_ENTRY_DIRECTORY;
    case platform::EntryKind::link:
        return TOOL_ENTRY_LINK;
    case platform::EntryKind::other:
        return TOOL_ENTRY_OTHER;
    default:
        return TOOL_ENTRY_UNKNOWN;
    }
}

ToolFileIdentity public_identity(const platform::DirIdentity &identity) {
    return ToolFileIdentity{identity.device, identity.index};
}

ToolDirHandle *wrap(platform::DirHandle *dir) {
    if (dir == nullptr) {
        return nullptr;
    }
    auto *handle = new (std::nothrow) ToolDirHandle;
    if (handle == nullptr) {
        platform::dir_handle_close(dir);
        errno = ENOMEM;
        return nullptr;
    }
    handle->dir = dir;
    return handle;
}

// Appends every entry of `dir` to `list`, lowered where the volume ignores case; false
// with errno when it cannot be read or the list cannot grow.
bool read_into(platform::DirHandle *dir, KeyedStringList *list) {
    std::vector<platform::DirEntryName> entries;
    if (!platform::dir_handle_read(dir, &entries)) {
        return false;
    }
    const bool lower = platform::dir_handle_ignores_case(dir);
    for (platform::DirEntryName &entry : entries) {
        if (lower) {
            tool_strlwr(&entry.name[0]);
        }
        if (tool_keyed_strlist_append(list, key_of(entry.kind), entry.name.c_str()) == 0 ||
            list->strings[list->count - 1] == nullptr) {
            tool_keyed_strlist_free(list);
            errno = ENOMEM;
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" {

ToolDirHandle *tool_dirh_open(const char *path) {
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    return wrap(platform::dir_handle_open(path));
}

ToolDirHandle *tool_dirh_open_below(ToolDirHandle *parent, const char *name,
                                    const ToolFileIdentity *listed) {
    if (parent == nullptr || name == nullptr) {
        errno = parent == nullptr ? EBADF : EINVAL;
        return nullptr;
    }
    platform::DirHandle *dir = platform::dir_handle_open_below(parent->dir, name);
    if (dir == nullptr) {
        return nullptr;
    }
    const platform::DirIdentity found = platform::dir_handle_identity(dir);
    if (listed != nullptr && (found.device != listed->device || found.index != listed->index)) {
        platform::dir_handle_close(dir);
        errno = 0;
        return nullptr;
    }
    return wrap(dir);
}

int tool_dirh_identity(const ToolDirHandle *dir, ToolFileIdentity *identity) {
    if (dir == nullptr || identity == nullptr) {
        return 0;
    }
    *identity = public_identity(platform::dir_handle_identity(dir->dir));
    return 1;
}

int tool_dirh_read(ToolDirHandle *dir, KeyedStringList *entries) {
    if (entries == nullptr) {
        errno = EINVAL;
        return -1;
    }
    tool_keyed_strlist_free(entries);
    if (dir == nullptr) {
        errno = EBADF;
        return -1;
    }
    const bool read =
        sys_io::guarded_call("tool_dirh_read", false, [&] { return read_into(dir->dir, entries); });
    if (!read) {
        const int reason = errno;
        tool_keyed_strlist_free(entries);
        errno = reason;
        return -1;
    }
    return entries->count;
}

int tool_dirh_status(ToolDirHandle *dir, const char *name, int follow, int *is_directory,
                     ToolFileIdentity *identity) {
    if (dir == nullptr || name == nullptr || is_directory == nullptr || identity == nullptr) {
        errno = EINVAL;
        return 0;
    }
    bool directory = false;
    platform::DirIdentity found;
    if (!platform::dir_handle_status(dir->dir, name, follow != 0, &directory, &found)) {
        return 0;
    }
    *is_directory = directory ? 1 : 0;
    *identity = public_identity(found);
    return 1;
}

void tool_dirh_release(ToolDirHandle *dir) {
    if (dir != nullptr) {
        platform::dir_handle_release(dir->dir);
    }
}

int tool_dirh_resume(ToolDirHandle *dir, ToolDirHandle *child) {
    if (dir == nullptr || child == nullptr) {
        errno = EBADF;
        return 0;
    }
    return platform::dir_handle_resume(dir->dir, child->dir) ? 1 : 0;
}

void tool_dirh_close(ToolDirHandle *dir) {
    if (dir != nullptr) {
        platform::dir_handle_close(dir->dir);
        delete dir;
    }
}

} // extern "C"
