// SPDX-License-Identifier: MIT
// The directory scan: every entry fetched is kept in an array of fixed-size
// records, one record always fetched ahead, so positions stay valid for rewind
// and seek and the platform is asked for each entry once.
#include "libtools/tool_dir.h"
#include "libtools/tool_dstring.h"
#include "platform/dir_enum.h"
#include "platform/path_rules.h"
#include "platform/paths.h"
#include "sys_io/guarded_call.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

// One fetched entry. The size fixes the position rule: entry k lies at k * 320.
// A record whose name is empty marks the end of the directory.
struct DirRecord {
    unsigned name_length;
    unsigned char reserved[40];
    char name[TOOL_DIR_NAME_MAX + 1];
};
static_assert(sizeof(DirRecord) == 320, "a directory record takes 320 bytes");

constexpr unsigned kRecordSize = sizeof(DirRecord);

} // namespace

struct ToolDir {
    platform::DirEnum *search; // null when the first search found nothing
    DirRecord *records;        // every entry fetched so far, then the one fetched ahead
    unsigned capacity;         // bytes of records, a multiple of 320
    unsigned room;             // bytes allocated for records, at least capacity
    unsigned position;         // byte offset of the next record to return
    ToolDirEntry entry;        // what tool_readdir returns
    int lower_case;            // the volume searches names without regard to case
};

namespace {

// Fills `record` with `name`, skipping names too long to keep: the next fitting name of
// the search is taken instead. A null name (the end) leaves the record zero-filled.
void store_name(DirRecord &record, platform::DirEnum *search, const char *name) {
    while (name != nullptr && std::strlen(name) > TOOL_DIR_NAME_MAX) {
        name = platform::dir_enum_next(search);
    }
    if (name != nullptr) {
        record.name_length = static_cast<unsigned>(std::strlen(name));
        std::memcpy(record.name, name, record.name_length + 1);
    }
}

// Makes room for one more record, doubling the allocation so that a large directory
// costs few resizes; false when the array cannot grow.
bool room_for_one_more(ToolDir *dir) {
    if (dir->capacity + 0ULL + kRecordSize <= dir->room) {
        return true;
    }
    constexpr unsigned long long most = UINT_MAX / kRecordSize * kRecordSize;
    const unsigned long long wanted = std::min(2ULL * dir->room, most);
    if (wanted < dir->capacity + 0ULL + kRecordSize) {
        return false;
    }
    void *grown = std::realloc(dir->records, static_cast<std::size_t>(wanted));
    if (grown == nullptr) {
        return false;
    }
    dir->records = static_cast<DirRecord *>(grown);
    dir->room = static_cast<unsigned>(wanted);
    return true;
}

// Adds a zero-filled record at the end and lets the search fill it. When the array
// cannot grow, it stays as it is and reading ends at its end.
void fetch_ahead(ToolDir *dir) {
    if (!room_for_one_more(dir)) {
        return;
    }
    DirRecord &record = dir->records[dir->capacity / kRecordSize];
    std::memset(&record, 0, sizeof record);
    dir->capacity += kRecordSize;
    if (dir->search != nullptr) {
        store_name(record, dir->search, platform::dir_enum_next(dir->search));
    }
}

// The root of the volume that holds `full`: up to the first ":" ('C:\\dir' gives "C:"),
// else up to the first backslash and one character more ('\\\\server' gives "\\\\"),
// else the whole path.
void volume_root(const char *full, char *root) {
    std::memcpy(root, full, std::strlen(full) + 1);
    char *colon = std::strchr(root, ':');
    char *backslash = std::strchr(root, '\\');
    if (colon != nullptr) {
        colon[1] = '\0';
    } else if (backslash != nullptr && backslash[1] != '\0') {
        backslash[2] = '\0';
    }
}

// Copies `path` into `copied` with the system's separators; false when it does not
// fit the system's path limit.
bool copy_path(const char *path, std::vector<char> &copied) {
    const std::size_t length = std::strlen(path);
    if (length >= copied.size()) {
        return false;
    }
    std::memcpy(copied.data(), path, length + 1);
    platform::use_native_separators(copied.data());
    return true;
}

// The absolute form of `copied` in `full`; false when it does not fit the path limit
// with room for the "\\*" that a search appends on Windows.
bool form_full_path(const char *copied, std::vector<char> &full) {
    return platform::dir_enum_full_path(copied, full.data(), full.size()) &&
           std::strlen(full.data()) + 2 < full.size();
}

// tool_opendir itself; null when `path` is no directory or too long. The path
// buffers come from the standard heap, so this may throw std::bad_alloc.
ToolDir *open_scan(const char *path) {
    std::vector<char> copied(platform::path_limit());
    std::vector<char> full(platform::path_limit());
    std::vector<char> root(platform::path_limit()); // allocated before anything that must be freed
    if (path == nullptr || !copy_path(path, copied) ||
        !platform::dir_enum_is_directory(copied.data()) || !form_full_path(copied.data(), full)) {
        return nullptr;
    }
    auto *dir = static_cast<ToolDir *>(std::calloc(1, sizeof(ToolDir)));
    auto *records = static_cast<DirRecord *>(std::calloc(1, kRecordSize));
    if (dir == nullptr || records == nullptr) {
        std::free(dir);
        std::free(records);
        return nullptr;
    }
    dir->records = records;
    dir->capacity = kRecordSize;
    dir->room = kRecordSize;
    const char *first = nullptr;
    dir->search = platform::dir_enum_first(full.data(), &first);
    if (dir->search != nullptr) {
        store_name(records[0], dir->search, first);
    }
    volume_root(full.data(), root.data());
    dir->lower_case = platform::dir_enum_ignores_case(root.data()) ? 1 : 0;
    return dir;
}

} // namespace

extern "C" {

ToolDir *tool_opendir(const char *path) {
    return sys_io::guarded_call("tool_opendir", static_cast<ToolDir *>(nullptr),
                                [path] { return open_scan(path); });
}

ToolDirEntry *tool_readdir(ToolDir *dir) {
    if (dir == nullptr || dir->position >= dir->capacity) {
        return nullptr;
    }
    const DirRecord &record = dir->records[dir->position / kRecordSize];
    if (record.name[0] == '\0') {
        return nullptr;
    }
    ToolDirEntry &entry = dir->entry;
    std::memcpy(entry.name, record.name, record.name_length + 1);
    if (dir->lower_case) {
        tool_strlwr(entry.name);
    }
    entry.reserved = 0;
    entry.name_length = static_cast<int>(record.name_length);
    dir->position += kRecordSize;
    if (dir->position == dir->capacity) {
        fetch_ahead(dir);
    }
    return &entry;
}

int tool_closedir(ToolDir *dir) {
    if (dir == nullptr) {
        return -1;
    }
    const bool closed = platform::dir_enum_close(dir->search);
    std::free(dir->records);
    std::free(dir);
    return closed ? 0 : -1;
}

void tool_rewinddir(ToolDir *dir) {
    if (dir != nullptr) {
        dir->position = 0;
    }
}

long tool_telldir(ToolDir *dir) {
    return dir != nullptr ? static_cast<long>(dir->position) : -1;
}

void tool_seekdir(ToolDir *dir, long position) {
    if (dir == nullptr || position < 0) {
        return;
    }
    const unsigned long record_start =
        static_cast<unsigned long>(position) / kRecordSize * kRecordSize;
    if (record_start < dir->capacity) {
        dir->position = static_cast<unsigned>(record_start);
    }
}

} // extern "C"
