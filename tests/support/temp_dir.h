// SPDX-License-Identifier: MIT
// A throw-away directory for one test, removed with everything in it when the
// test ends, also when an assertion failed.
#ifndef JOINT2SI_TESTS_TEMP_DIR_H
#define JOINT2SI_TESTS_TEMP_DIR_H

#include <filesystem>
#include <string>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    // Names are UTF-8 on every system (a plain string would be read in the ANSI code
    // page on Windows).
    std::filesystem::path file(const std::string &name) const {
        return path_ / std::filesystem::u8path(name);
    }

    /// Writes `content` byte for byte into a new file `name` (relative to the directory),
    /// in place of any file of that name.
    void write(const std::string &name, const std::string &content) const;
    /// The bytes of `name`; empty when it cannot be read.
    std::string read(const std::string &name) const;

  private:
    std::filesystem::path path_;
};

/// Changes the current directory for the lifetime of the guard.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::filesystem::path &path);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory &) = delete;
    CurrentDirectory &operator=(const CurrentDirectory &) = delete;

  private:
    std::filesystem::path previous_;
};

#endif
