// SPDX-License-Identifier: MIT
#include "support/scratch_dir.h"

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace {

struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path = base / ("joint2si-fuzz-" + std::to_string(random()));
            if (std::filesystem::create_directory(path)) {
                return;
            }
        }
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

const std::filesystem::path &scratch_dir() {
    static const ScratchDir dir;
    return dir.path;
}

void write_bytes(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        std::abort();
    }
}

std::string read_bytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string gzip_bytes(const std::string &text) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        std::abort();
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef *>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
        std::abort();
    }
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}
