// SPDX-License-Identifier: MIT
// A directory of the fuzzer process's own for the files a target writes.
#ifndef JOINT2SI_FUZZ_SCRATCH_DIR_H
#define JOINT2SI_FUZZ_SCRATCH_DIR_H

#include <filesystem>
#include <string>

/// A fresh empty directory made once per process under the system's temporary
/// directory (removed when the process ends normally).
const std::filesystem::path &scratch_dir();

/// Writes `bytes` to `path`, replacing what it held.
void write_bytes(const std::filesystem::path &path, const std::string &bytes);

/// The bytes of `path`; empty when it cannot be read.
std::string read_bytes(const std::filesystem::path &path);

/// `text` as one gzip member.
std::string gzip_bytes(const std::string &text);

#endif
