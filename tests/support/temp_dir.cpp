// SPDX-License-Identifier: MIT
#include "support/temp_dir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("joint2si-test-" + std::to_string(random() % 100000000));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code error;
    // Restore write permission first, so read-only test directories can be removed.
    for (auto it = fs::recursive_directory_iterator(path_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
}

void TempDir::write(const std::string &name, const std::string &content) const {
    // A new file each time: one written over in place would keep the marks a run left on
    // the file it had converted.
    std::error_code ignored;
    std::filesystem::remove(file(name), ignored);
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out << content;
}

std::string TempDir::read(const std::string &name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

CurrentDirectory::CurrentDirectory(const fs::path &path) : previous_(fs::current_path()) {
    fs::current_path(path);
}

CurrentDirectory::~CurrentDirectory() {
    std::error_code error;
    fs::current_path(previous_, error);
}
