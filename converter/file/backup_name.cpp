// SPDX-License-Identifier: MIT
#include "file/backup_name.h"

#include "libtools/tool_dir.h"
#include "libtools/tool_sys_io.h"

#include <cstring>

namespace {

struct ControlName {
    const char *name;
    BackupControl control;
};

constexpr ControlName kControls[] = {
    {"none", BackupControl::none},         {"off", BackupControl::none},
    {"numbered", BackupControl::numbered}, {"t", BackupControl::numbered},
    {"existing", BackupControl::existing}, {"nil", BackupControl::existing},
    {"simple", BackupControl::simple},     {"never", BackupControl::simple},
};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The version in `entry` when it is `base` + ".~N~" with N digits not starting with 0;
// empty otherwise. Kept as text, so that no number of digits overflows.
std::string version_of(const char *entry, const std::string &base) {
    if (std::strncmp(entry, base.c_str(), base.size()) != 0) {
        return "";
    }
    const char *p = entry + base.size();
    if (p[0] != '.' || p[1] != '~' || p[2] < '1' || p[2] > '9') {
        return "";
    }
    const char *digits = p + 2;
    const char *end = digits;
    while (is_digit(*end)) {
        ++end;
    }
    return end[0] == '~' && end[1] == '\0' ? std::string(digits, end) : std::string();
}

bool greater_version(const std::string &a, const std::string &b) {
    return a.size() != b.size() ? a.size() > b.size() : a > b;
}

// The highest version among the numbered backups of `base` in `directory`; "0" when
// there is none (or the directory cannot be listed).
std::string highest_version(const std::string &directory, const std::string &base) {
    std::string highest = "0";
    ToolDir *dir = tool_opendir(directory.c_str());
    for (ToolDirEntry *entry = tool_readdir(dir); entry != nullptr; entry = tool_readdir(dir)) {
        const std::string version = version_of(entry->name, base);
        if (!version.empty() && greater_version(version, highest)) {
            highest = version;
        }
    }
    if (dir != nullptr) {
        tool_closedir(dir);
    }
    return highest;
}

// `version` + 1 in decimal, of any length.
std::string next_version(std::string version) {
    std::size_t i = version.size();
    while (i > 0 && version[i - 1] == '9') {
        version[--i] = '0';
    }
    if (i == 0) {
        return "1" + version;
    }
    ++version[i - 1];
    return version;
}

} // namespace

bool parse_backup_control(const char *text, BackupControl *control) {
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    const ControlName *found = nullptr;
    bool ambiguous = false;
    for (const ControlName &candidate : kControls) {
        if (length == 0 || std::strncmp(text, candidate.name, length) != 0) {
            continue;
        }
        if (candidate.name[length] == '\0') { // a whole name wins over longer ones
            *control = candidate.control;
            return true;
        }
        ambiguous = ambiguous || (found != nullptr && found->control != candidate.control);
        found = &candidate;
    }
    if (found == nullptr || ambiguous) {
        return false;
    }
    *control = found->control;
    return true;
}

bool valid_backup_suffix(const char *suffix) {
    // A separator anywhere would put the backup in another directory (or, with a drive
    // letter on Windows, somewhere else entirely): the directory part must be empty.
    return suffix != nullptr && suffix[0] != '\0' && tool_path_directory_length(suffix) == 0;
}

std::string backup_name(const std::string &path, BackupControl control, const std::string &suffix) {
    if (control == BackupControl::simple || control == BackupControl::none) {
        return path + suffix;
    }
    const std::size_t cut = tool_path_directory_length(path.c_str());
    const std::string base = path.substr(cut);
    const std::string highest = highest_version(path.substr(0, cut) + ".", base);
    if (control == BackupControl::existing && highest == "0") {
        return path + suffix;
    }
    return path + ".~" + next_version(highest) + "~";
}
