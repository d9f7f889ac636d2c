#include "replacement_sink.h"

#include <cstring>

ReplacementSink::ReplacementSink(ToolReplacement *replacement, int gzip_level)
    : replacement_(replacement), gzip_level_(gzip_level) {}

bool ReplacementSink::start(const char *line_end) {
    line_end_ = line_end;
    line_end_size_ = std::strlen(line_end);
    if (gzip_level_ == 0) {
        return true;
    }
    return encoder_.start(gzip_level_, [this](const unsigned char *data, std::size_t size) {
        return tool_replace_write(replacement_, reinterpret_cast<const char *>(data),
                                  static_cast<unsigned>(size)) != 0;
    });
}

// Appends bytes to the replacement, through the encoder for a compressed file.
bool ReplacementSink::put(const char *data, std::size_t size) {
    if (gzip_level_ != 0) {
        return encoder_.add(data, size);
    }
    return tool_replace_write(replacement_, data, static_cast<unsigned>(size)) != 0;
}

bool ReplacementSink::write(const char *, const char *converted) {
    return put(converted, std::strlen(converted)) && put(line_end_, line_end_size_);
}

bool ReplacementSink::finish() {
    return gzip_level_ == 0 || encoder_.finish();
}
