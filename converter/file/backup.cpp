// SPDX-License-Identifier: MIT
#include "file/backup.h"

#include "file/argument_match.h"
#include "terminal/messages.h"
#include "terminal/reason.h"

#include <cerrno>
#include <cstring>

namespace {

bool same_identity(const ToolFileIdentity &a, const ToolFileIdentity &b) {
    return a.device == b.device && a.index == b.index;
}

// The backup `path` is, with its directory's identity; false when that directory has
// none (the backup could not be made in it either).
bool describe(const std::string &path, MadeBackup *backup) {
    const std::size_t cut = tool_path_directory_length(path.c_str());
    backup->path = path;
    backup->name = path.substr(cut);
    return tool_file_identity((path.substr(0, cut) + ".").c_str(), &backup->directory) != 0;
}

bool same_place(const MadeBackup &a, const MadeBackup &b) {
    return same_identity(a.directory, b.directory) && a.name == b.name;
}

bool made_before(const BackupLedger &ledger, const MadeBackup &wanted) {
    ToolFileIdentity file = {};
    const bool exists = tool_file_identity(wanted.path.c_str(), &file) != 0;
    for (const MadeBackup &backup : ledger.backups) {
        if (same_place(backup, wanted) ||
            (exists && backup.made && same_identity(backup.file, file))) {
            return true;
        }
    }

    return false;
}

bool reached_by_run(const std::string &path, const BackupPolicy &policy) {
    const int count = policy.arguments != nullptr ? policy.arguments->count : 0;
    for (int i = 0; i < count; ++i) {
        if (argument_matches(policy.arguments->items[i], policy.recursive, path)) {
            return true;
        }
    }
    return false;
}

// Whether the backup `wanted` (a numbered one when `numbered`) may be made; when not,
// `*reason` says why where the library's own refusal would not ("" otherwise).
bool may_make(const MadeBackup &wanted, bool numbered, const BackupPolicy &policy,
              const BackupLedger &ledger, std::string *reason) {
    if (made_before(ledger, wanted)) {
        *reason = "this run made a backup of that name already";
        return false;
    }
    const char *path = wanted.path.c_str();
    const bool exists = tool_file_exists(path) != 0;
    if (exists && reached_by_run(wanted.path, policy)) {
        *reason = "it would replace '" + wanted.path + "', a file this run converts";
        return false;
    }
    // A numbered backup always takes a new name: one that exists went unseen.
    if (exists && (numbered || (tool_file_mode(path) & TOOL_MODE_REGULAR) == 0)) {
        if (tool_is_directory(path) != 0) {
            *reason = reason_text(EISDIR);
        }
        return false;
    }
    const std::size_t cut = tool_path_directory_length(path);
    if (tool_may_create_in((wanted.path.substr(0, cut) + ".").c_str()) == 0) {
        const char *system_reason = reason_text(errno);
        *reason = system_reason != nullptr ? system_reason : "";
        return false;
    }
    return true;
}

void refuse(const char *name, const std::string &backup, const std::string &reason) {
    report_cannot_back_up(name, backup.c_str(), reason.empty() ? nullptr : reason.c_str());
}

} // namespace

bool keep_backup(const char *name, const ToolReplacement *replacement, const BackupPolicy &policy,
                 bool dry_run, BackupLedger *ledger) {
    if (policy.suffix == nullptr || policy.control == BackupControl::none) {
        return true;
    }
    MadeBackup backup;
    const std::string path = backup_name(name, policy.control, policy.suffix);
    std::string reason;
    const bool numbered = path != name + std::string(policy.suffix);
    if (!describe(path, &backup) || !may_make(backup, numbered, policy, *ledger, &reason)) {
        refuse(name, path, reason);
        return false;
    }
    if (!dry_run) {
        const std::string suffix = path.substr(std::strlen(name));
        if (!tool_replace_backup(replacement, name, suffix.c_str())) {
            const char *system_reason = reason_text(errno);
            refuse(name, path, system_reason != nullptr ? system_reason : "");
            return false;
        }
        backup.made = tool_file_identity(path.c_str(), &backup.file) != 0;
    }
    ledger->backups.push_back(backup);
    return true;
}

bool is_backup_of_run(const BackupLedger &ledger, const char *name) {
    if (ledger.backups.empty()) {
        return false;
    }
    MadeBackup reached;
    ToolFileIdentity file = {};
    const bool exists = tool_file_identity(name, &file) != 0;
    const bool described = describe(name, &reached);
    for (const MadeBackup &backup : ledger.backups) {
        if (backup.made ? exists && same_identity(backup.file, file)
                        : described && same_place(backup, reached)) {
            return true;
        }
    }
    return false;
}

int unmade_backups_matched(const BackupLedger &ledger, const char *argument, bool recursive) {
    int matched = 0;
    for (const MadeBackup &backup : ledger.backups) {
        if (!backup.made && !tool_file_exists(backup.path.c_str()) &&
            argument_matches(argument, recursive, backup.path)) {
            ++matched;
        }
    }
    return matched;
}
