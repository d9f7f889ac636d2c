// SPDX-License-Identifier: MIT
// A scratch file that holds what does not fit in memory: written from its start,
// then read back from its start, then emptied for the next use. The file is made
// on the first write (tool_scratch_file: it removes itself) and kept until the
// SpillFile is destroyed, so that a file spilled many times opens one.
#ifndef JOINT2SI_DIFF_SPILL_FILE_H
#define JOINT2SI_DIFF_SPILL_FILE_H

#include <cstddef>
#include <cstdio>

class SpillFile {
  public:
    SpillFile() = default;
    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    /// Appends `size` bytes after those written since the last clear(); false when no
    /// scratch file could be made or the write failed. Not while reading.
    bool write(const char *data, std::size_t size);

    /// Ends the writing: read() gives the bytes written, from the first on. False when
    /// they could not be flushed to the file.
    bool start_reading();

    /// Copies up to `size` of the bytes not read yet into `buffer`; how many, 0 when
    /// none is left or the read failed (failed() tells).
    std::size_t read(char *buffer, std::size_t size);

    /// Forgets the content; the next write starts a new one in the same file.
    void clear();

    /// Bytes written since the last clear().
    unsigned long long size() const { return written_; }
    /// Bytes of those that read() has not given yet.
    unsigned long long unread() const { return written_ - read_; }
    /// Whether a write or read of the file failed.
    bool failed() const { return failed_; }
    /// Whether a scratch file was ever made.
    bool used() const { return file_ != nullptr; }

  private:
    std::FILE *file_ = nullptr;
    unsigned long long written_ = 0;
    unsigned long long read_ = 0;
    bool reading_ = false;
    bool failed_ = false;
};

#endif
