// Checking that a gzip file holds its members and nothing after them.
#include "platform/checked_open.h"
#include "zfile/registry.h"

#include <zlib.h>

#include <cstdio>

namespace {

constexpr std::size_t kChunk = 1 << 16;

// Inflates the members of `file` one after the other into a scratch buffer. True when
// the data ends exactly where a member ends; false for anything else after a member
// (no gzip header there) and for damaged or cut data.
bool inflate_members(std::FILE *file, z_stream &stream) {
    static unsigned char input[kChunk];
    static unsigned char output[kChunk];
    bool inside_member = false;
    for (;;) {
        if (stream.avail_in == 0) {
            stream.avail_in = static_cast<uInt>(std::fread(input, 1, sizeof input, file));
            stream.next_in = input;
            if (stream.avail_in == 0) {
                return !inside_member && std::ferror(file) == 0;
            }
        }
        inside_member = true;
        stream.next_out = output;
        stream.avail_out = sizeof output;
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            inside_member = false;
            inflateReset(&stream); // what follows must be another member's header
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            return false;
        }
    }
}

} // namespace

namespace zfile {

namespace {

// The file of `entry` open for reading; null when it cannot be opened (`*checked` then
// tells whether the entry asked for a file it no longer reaches).
std::FILE *open_again(const RegistryEntry &entry, bool *checked) {
    *checked = entry.same_file != 0;
    if (!*checked) {
        return std::fopen(entry.path, "rb");
    }
    const platform::FileIdentity expected = {entry.device, entry.index};
    platform::OpenCheck check = platform::OpenCheck::opened;
    const int fd = platform::open_checked(entry.path, false, &expected, &check);
    return fd >= 0 ? platform::stream_of_descriptor(fd, "rb") : nullptr;
}

} // namespace

bool only_gzip_members(const RegistryEntry &entry) {
    bool checked = false;
    std::FILE *file = open_again(entry, &checked);
    if (file == nullptr) {
        // Nothing to hold against the data already read, unless the name now leads
        // elsewhere: then what follows the members cannot be known.
        return !checked;
    }
    z_stream stream{};
    bool whole = false;
    if (inflateInit2(&stream, 15 + 16) == Z_OK) {
        whole = inflate_members(file, stream);
        inflateEnd(&stream);
    }
    std::fclose(file);
    return whole;
}

} // namespace zfile
