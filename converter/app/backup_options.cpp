// SPDX-License-Identifier: MIT
#include "app/backup_options.h"

#include "app/command_line.h"
#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

#include <cstdlib>

namespace {

// An environment variable's value; null when it is unset or empty.
const char *environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

// The control the request names; false after a message when it names none.
bool control_of(const BackupRequest &request, BackupControl *control) {
    const char *source = "--backup";
    const char *text = request.control;
    if (text == nullptr) {
        text = environment("VERSION_CONTROL");
        source = "VERSION_CONTROL";
    }
    if (text == nullptr) {
        *control = BackupControl::existing;
        return true;
    }
    if (!parse_backup_control(text, control)) {
        report_unknown_backup_control(text, source);
        return false;
    }
    return true;
}

// The suffix the request names; null after a message when it is unusable.
const char *suffix_of(const BackupRequest &request) {
    const char *suffix =
        request.suffix_given ? request.suffix : environment("SIMPLE_BACKUP_SUFFIX");
    if (suffix == nullptr) {
        return "~";
    }
    if (!valid_backup_suffix(suffix)) {
        report_bad_backup_suffix(suffix);
        return nullptr;
    }
    // Checked before any file is touched: on Windows a suffix such as ":s" would name a
    // stream of the file, and ".b." a backup "a.jnt.b" the system chose.
    const char bad = tool_path_bad_name_end(suffix);
    if (bad != '\0') {
        report_backup_suffix_not_in_names(suffix, bad);
        return nullptr;
    }
    return suffix;
}

} // namespace

bool resolve_backup_request(const BackupRequest &request, CommandLine *command) {
    command->backup_control = BackupControl::none;
    if (!request.asked) {
        // Without --backup no backup is made, but a suffix given is still a suffix.
        return !request.suffix_given || suffix_of(request) != nullptr;
    }
    BackupControl control = BackupControl::none;
    if (!control_of(request, &control)) {
        return false;
    }
    const char *suffix = suffix_of(request);
    if (suffix == nullptr) {
        return false;
    }
    if (control == BackupControl::none) {
        return true;
    }
    if (tool_strcpy(&command->backup, suffix) == nullptr) {
        command->complete = false;
        return false;
    }
    command->backup_control = control;
    return true;
}
