#include "sinks/replacement_sink.h"

#include <climits>

ReplacementSink::ReplacementSink(ToolReplacement *replacement, int gzip_level)
    : replacement_(replacement), gzip_level_(gzip_level) {}

bool ReplacementSink::start() {
    if (gzip_level_ == 0) {
        return true;
    }
    return encoder_.start(gzip_level_, [this](const unsigned char *data, std::size_t size) {
        return write_plain(reinterpret_cast<const char *>(data), size);
    });
}

// Appends bytes to the replacement file itself, in parts its interface can take.
bool ReplacementSink::write_plain(const char *data, std::size_t size) {
    while (size > 0) {
        const unsigned part = size > UINT_MAX / 2 ? UINT_MAX / 2 : static_cast<unsigned>(size);
        if (!tool_replace_write(replacement_, data, part)) {
            return false;
        }
        data += part;
        size -= part;
    }
    return true;
}

bool ReplacementSink::append(const char *data, std::size_t size) {
    return gzip_level_ != 0 ? encoder_.add(data, size) : write_plain(data, size);
}

bool ReplacementSink::finish() {
    return gzip_level_ == 0 || encoder_.finish();
}
