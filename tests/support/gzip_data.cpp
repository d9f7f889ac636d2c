// SPDX-License-Identifier: MIT
#include "support/gzip_data.h"

#include <zlib.h>

#include <stdexcept>

namespace {

constexpr int kGzipWindowBits = 15 + 16; // 16: gzip header and trailer
constexpr int kAutoWindowBits = 15 + 32; // 32: accept zlib or gzip, several members

} // namespace

std::string gzip_bytes(const std::string &text, int level) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    std::string data(deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef *>(&data[0]);
    stream.avail_out = static_cast<uInt>(data.size());
    const int result = deflate(&stream, Z_FINISH);
    data.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        throw std::runtime_error("deflate failed");
    }
    return data;
}

std::string gunzip_bytes(const std::string &data) {
    std::string text;
    std::size_t offset = 0;
    while (offset < data.size()) {
        z_stream stream{};
        if (inflateInit2(&stream, kAutoWindowBits) != Z_OK) {
            throw std::runtime_error("inflateInit2 failed");
        }
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data() + offset));
        stream.avail_in = static_cast<uInt>(data.size() - offset);
        int result = Z_OK;
        char chunk[4096];
        while (result == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef *>(chunk);
            stream.avail_out = sizeof chunk;
            result = inflate(&stream, Z_NO_FLUSH);
            text.append(chunk, sizeof chunk - stream.avail_out);
        }
        offset += stream.total_in;
        inflateEnd(&stream);
        if (result != Z_STREAM_END) {
            throw std::runtime_error("damaged gzip data");
        }
    }
    return text;
}
