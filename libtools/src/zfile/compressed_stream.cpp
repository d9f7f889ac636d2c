// SPDX-License-Identifier: MIT
// Making, listing and freeing the record behind a compressed ToolStream.
#include "zfile/handles.h"
#include "zfile/registry.h"

#include <cerrno>
#include <memory>
#include <new>

namespace zfile {

namespace {

// Lists a new record; an unlisted one would pass for a FILE *, so it is never handed out.
ToolStream listed(CompressedStream *stream) {
    if (!zfile_register(stream)) {
        close_compressed(stream);
        errno = ENOMEM; // the registry's entry could not be had
        return nullptr;
    }
    return stream;
}

} // namespace

ToolStream open_reading_stream(std::FILE *file) {
    std::unique_ptr<CompressedStream> stream(new (std::nothrow) CompressedStream());
    if (!stream || !stream->reader.open(file)) {
        std::fclose(file);
        errno = ENOMEM; // the record, its buffers or the inflater could not be had
        return nullptr;
    }
    return listed(stream.release());
}

ToolStream open_writing_stream(gzFile writer) {
    std::unique_ptr<CompressedStream> stream(new (std::nothrow) CompressedStream());
    if (!stream) {
        gzclose(writer);
        errno = ENOMEM;
        return nullptr;
    }
    stream->writer = writer;
    return listed(stream.release());
}

int close_compressed(ToolStream stream) {
    CompressedStream *compressed = as_compressed(stream);
    const int result =
        compressed->writer != nullptr ? gzclose(compressed->writer) : compressed->reader.close();
    delete compressed;
    return result;
}

} // namespace zfile
