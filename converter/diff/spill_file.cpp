// SPDX-License-Identifier: MIT
#include "diff/spill_file.h"

#include "libtools/tool_sys_io.h"

#include <algorithm>

SpillFile::~SpillFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool SpillFile::write(const char *data, std::size_t size) {
    if (file_ == nullptr && !failed_) {
        file_ = tool_scratch_file();
    }
    failed_ = failed_ || file_ == nullptr || reading_ || std::fwrite(data, 1, size, file_) != size;
    if (!failed_) {
        written_ += size;
    }
    return !failed_;
}

bool SpillFile::start_reading() {
    if (written_ != 0) {
        // A stream that was written must be flushed or positioned before it is read.
        failed_ = failed_ || std::fflush(file_) != 0;
        if (!failed_) {
            std::rewind(file_);
        }
    }
    reading_ = true;
    read_ = 0;
    return !failed_;
}

std::size_t SpillFile::read(char *buffer, std::size_t size) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<unsigned long long>(size, unread()));
    if (failed_ || !reading_ || wanted == 0) {
        return 0;
    }
    const std::size_t got = std::fread(buffer, 1, wanted, file_);
    read_ += got;
    failed_ = got != wanted;
    return got;
}

void SpillFile::clear() {
    if (file_ != nullptr && written_ != 0) {
        std::rewind(file_); // also between reading and writing, as the stream needs
    }
    written_ = 0;
    read_ = 0;
    reading_ = false;
}
