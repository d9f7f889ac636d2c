// SPDX-License-Identifier: MIT
// A file's record reached by its path: for tests and tools, and for backups, which
// carry the record of the file they copy.
#include "platform/file_record.h"
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "platform/paths.h"
#include "platform/replace.h"
#include "sys_io/guarded_call.h"
#include "sys_io/records.h"
#include "sys_io/source_tag.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace sys_io {

bool store_text(char **slot, const char *text, std::size_t size, const char * /*operation*/) {
    char *copy =
        size < TOOL_RECORD_MAX_SIZE + 1
            ? static_cast<char *>(tool_malloc(static_cast<unsigned>(size) + 1, SYS_IO_HERE))
            : nullptr;
    if (copy == nullptr) {
        errno = ENOMEM;
        return false;
    }
    if (size > 0) {
        std::memcpy(copy, text, size);
    }
    copy[size] = '\0';
    tool_strfree(slot);
    *slot = copy;
    return true;
}

int deliver_record(platform::RecordResult result, const std::string &record, char **slot,
                   const char *operation) {
    if (result != platform::RecordResult::found) {
        return record_code(result);
    }
    const bool text = record.find('\0') == std::string::npos;
    if (!store_text(slot, record.data(), text ? record.size() : 0, operation)) {
        return TOOL_RECORD_FAILED;
    }
    return TOOL_RECORD_FOUND;
}

platform::RecordResult read_record_at(const std::string &path, std::string *record) {
    record->clear();
    const long long handle = platform::open_record_handle(path);
    if (handle == -1) {
        return platform::RecordResult::failed;
    }
    const platform::RecordResult result = platform::read_record(handle, path, record);
    platform::close_record_handle(handle);
    return result;
}

platform::RecordResult change_record_at(const std::string &path, const std::string *record) {
    const long long handle = platform::open_record_handle(path);
    if (handle == -1) {
        return platform::RecordResult::failed;
    }
    const platform::RecordResult result = record != nullptr
                                              ? platform::write_record(handle, path, *record)
                                              : platform::remove_record(handle, path);
    platform::close_record_handle(handle);
    return result;
}

} // namespace sys_io

namespace {

// The final file `path` leads to, in the system's syntax; "" when it has none.
std::string resolved(const char *path) {
    std::string final_path;
    return platform::resolve_final_path(platform::native_path(path), &final_path) ? final_path
                                                                                  : std::string();
}

int change_record(const char *path, const char *data, size_t size) {
    const std::string target = resolved(path);
    if (target.empty()) {
        return TOOL_RECORD_FAILED;
    }
    const std::string record = data != nullptr ? std::string(data, size) : std::string();
    return sys_io::record_code(
        sys_io::change_record_at(target, data == nullptr || size == 0 ? nullptr : &record));
}

} // namespace

extern "C" {

int tool_file_read_record(const char *path, char **slot) {
    if (slot == nullptr) {
        return TOOL_RECORD_FAILED;
    }
    tool_strfree(slot);
    if (path == nullptr) {
        return TOOL_RECORD_FAILED;
    }
    return sys_io::guarded_call("tool_file_read_record", static_cast<int>(TOOL_RECORD_FAILED), [&] {
        const std::string target = resolved(path);
        std::string record;
        const platform::RecordResult result = target.empty()
                                                  ? platform::RecordResult::failed
                                                  : sys_io::read_record_at(target, &record);
        return sys_io::deliver_record(result, record, slot, "tool_file_read_record");
    });
}

int tool_file_write_record(const char *path, const char *data, size_t size) {
    if (path == nullptr ||
        (data != nullptr && (size > TOOL_RECORD_MAX_SIZE || std::memchr(data, '\0', size)))) {
        return TOOL_RECORD_FAILED;
    }
    return sys_io::guarded_call("tool_file_write_record", static_cast<int>(TOOL_RECORD_FAILED),
                                [&] { return change_record(path, data, size); });
}

int tool_file_remove_record(const char *path) {
    return tool_file_write_record(path, nullptr, 0);
}

int tool_file_crc32(const char *path, unsigned long long *size, unsigned long *crc) {
    if (path == nullptr || size == nullptr || crc == nullptr) {
        return 0;
    }
    return sys_io::guarded_call("tool_file_crc32", 0, [&] {
        return sys_io::crc_of_file(platform::native_path(path), nullptr, size, crc);
    });
}

void tool_record_fault(int fault) {
    platform::RecordFault chosen = platform::RecordFault::none;
    if (fault == TOOL_RECORD_UNSUPPORTED) {
        chosen = platform::RecordFault::unsupported;
    } else if (fault == TOOL_RECORD_FAILED) {
        chosen = platform::RecordFault::failed;
    }
    platform::set_record_fault(chosen);
}

} // extern "C"
