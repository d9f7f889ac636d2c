// SPDX-License-Identifier: MIT
// A replacement's record: kept with the ToolReplacement until commit attaches it to
// the new content, before the rename or right after the copy in place.
#include "libtools/tool_sys_io.h"
#include "platform/checked_open.h"
#include "platform/replace.h"
#include "sys_io/guarded_call.h"
#include "sys_io/records.h"

#include <zlib.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace sys_io {

int record_code(platform::RecordResult result) {
    switch (result) {
    case platform::RecordResult::found:
        return TOOL_RECORD_FOUND;
    case platform::RecordResult::none:
        return TOOL_RECORD_NONE;
    case platform::RecordResult::unsupported:
        return TOOL_RECORD_UNSUPPORTED;
    case platform::RecordResult::failed:
        break;
    }
    return TOOL_RECORD_FAILED;
}

namespace {

// The hooks below run inside a commit whose outcome must not change with theirs: a
// record that cannot be handled (no memory for a name) only counts as not kept.
template <typename Body>
int record_step(Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return TOOL_RECORD_FAILED;
    }
}

} // namespace

void record_onto_replacement(ToolReplacement *replacement, std::FILE *stream) noexcept {
    if (replacement->record == nullptr) {
        replacement->record_status = TOOL_RECORD_NONE;
        return;
    }
    replacement->record_status = record_step([&] {
        return record_code(platform::write_record(platform::handle_of_stream(stream),
                                                  replacement->temporary, replacement->record));
    });
}

void record_onto_target(ToolReplacement *replacement) noexcept {
    replacement->record_status = record_step([&] {
        const std::string target = replacement->target;
        if (replacement->record != nullptr) {
            const int written =
                record_code(platform::write_record(replacement->lock, target, replacement->record));
            if (written == TOOL_RECORD_FOUND) {
                return written;
            }
            platform::remove_record(replacement->lock, target);
            return written;
        }
        platform::remove_record(replacement->lock, target);
        return static_cast<int>(TOOL_RECORD_NONE);
    });
}

void settle_record_after_rename(const ToolReplacement *replacement) noexcept {
    if (replacement->record_status == TOOL_RECORD_FOUND) {
        return;
    }
    record_step([&] {
        // The lock holds the old file; the name leads to the new one now.
        const std::string target = replacement->target;
        const long long handle = platform::open_record_handle(target);
        if (handle != -1) {
            platform::remove_record(handle, target);
            platform::close_record_handle(handle);
        }
        return 0;
    });
}

} // namespace sys_io

namespace {

// The CRC-32 and size of what is left to read in `stream`; false on a read error.
bool crc_of_stream(std::FILE *stream, std::vector<unsigned char> &buffer, unsigned long long *size,
                   unsigned long *crc) {
    unsigned long long total = 0;
    uLong sum = crc32(0L, Z_NULL, 0);
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), stream)) > 0) {
        sum = crc32(sum, buffer.data(), static_cast<uInt>(got));
        total += got;
    }
    if (std::ferror(stream)) {
        return false;
    }
    *size = total;
    *crc = sum;
    return true;
}

} // namespace

namespace sys_io {

int crc_of_file(const std::string &path, const platform::FileIdentity *expected,
                unsigned long long *size, unsigned long *crc) {
    // Files are checked on several threads at once, so the buffer is each call's own.
    std::vector<unsigned char> buffer(std::size_t{1} << 16);
    platform::OpenCheck check = platform::OpenCheck::opened;
    const int fd = platform::open_checked(path, false, expected, &check);
    if (fd < 0) {
        return 0;
    }
    std::FILE *stream = platform::stream_of_descriptor(fd, "rb");
    if (stream == nullptr) {
        return 0;
    }
    const bool read = crc_of_stream(stream, buffer, size, crc);
    std::fclose(stream);
    return read ? 1 : 0;
}

} // namespace sys_io

extern "C" {

int tool_replace_set_record(ToolReplacement *replacement, const char *data, size_t size) {
    if (replacement == nullptr) {
        return 0;
    }
    if (data == nullptr || size == 0) {
        tool_strfree(&replacement->record);
        return 1;
    }
    if (size > TOOL_RECORD_MAX_SIZE || std::memchr(data, '\0', size) != nullptr) {
        return 0;
    }
    return sys_io::store_text(&replacement->record, data, size, "tool_replace_set_record") ? 1 : 0;
}

int tool_replace_read_record(const ToolReplacement *replacement, char **slot) {
    if (slot == nullptr) {
        return TOOL_RECORD_FAILED;
    }
    tool_strfree(slot);
    if (replacement == nullptr || !replacement->locked || replacement->target == nullptr) {
        return TOOL_RECORD_FAILED;
    }
    return sys_io::guarded_call(
        "tool_replace_read_record", static_cast<int>(TOOL_RECORD_FAILED), [&] {
            std::string record;
            const platform::RecordResult result =
                platform::read_record(replacement->lock, replacement->target, &record);
            return sys_io::deliver_record(result, record, slot, "tool_replace_read_record");
        });
}

int tool_replace_target_crc32(const ToolReplacement *replacement, unsigned long long *size,
                              unsigned long *crc) {
    if (replacement == nullptr || !replacement->locked || replacement->target == nullptr ||
        size == nullptr || crc == nullptr) {
        return 0;
    }
    const platform::FileIdentity identity{replacement->identity.device,
                                          replacement->identity.index};
    return sys_io::guarded_call("tool_replace_target_crc32", 0, [&] {
        return sys_io::crc_of_file(replacement->target, &identity, size, crc);
    });
}

} // extern "C"
