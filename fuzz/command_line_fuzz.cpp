// SPDX-License-Identifier: MIT
// The command line: accept_command_line against a model of the option rules (the
// original options, the long options, "--", usage mistakes, unknown units), and no
// tracked block left after release_command_line.
//
// Input: the arguments after the program name, separated by zero bytes.
#include "app/command_line.h"

#include "libtools/tool_memory.h"
#include "support/fuzz_check.h"
#include "support/models.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Expected {
    bool accepted = false;
    int status = 0;
    std::vector<std::string> files;
    std::optional<std::string> force, moment, backup;
    BackupControl control = BackupControl::none;
    bool recursive = false, dry_run = false, verbose = false, no_progress = false, exact = false;
    bool force_again = false, allow_dropped_digits = false;
    int jobs = 0;          // the last good --jobs value; 0: not given
    bool bad_jobs = false; // some --jobs value is no whole number from 1 up
};

// Notes a --jobs value: digits only and not zero, counted up to a million.
void note_jobs(const std::string &value, Expected &e) {
    const bool digits =
        !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
    const std::size_t first = value.find_first_not_of('0');
    if (!digits || first == std::string::npos) {
        e.bad_jobs = true;
        return;
    }
    const std::string significant = value.substr(first);
    e.jobs = significant.size() > 7 ? 1000000 : std::min(std::stoi(significant), 1000000);
}

// The backup options as given: --backup's control (empty optional: none given) and
// --suffix's value.
struct BackupAsked {
    bool asked = false;
    std::optional<std::string> control;
    std::optional<std::string> suffix;
};

bool is_flag(const std::string &a, Expected &e) {
    bool *const flags[] = {&e.recursive,           &e.dry_run, &e.verbose,
                           &e.no_progress,         &e.exact,   &e.force_again,
                           &e.allow_dropped_digits};
    const char *const names[] = {"--recursive",           "--dry-run", "--verbose",
                                 "--no-progress",         "--exact",   "--force",
                                 "--allow-dropped-digits"};
    for (int i = 0; i < 7; ++i) {
        if (a == names[i]) {
            *flags[i] = true;
            return true;
        }
    }
    return false;
}

// The control a --backup value names: a whole name, or the start of names that all
// mean the same control.
std::optional<BackupControl> control_named(const std::string &text) {
    static const std::pair<const char *, BackupControl> names[] = {
        {"none", BackupControl::none},         {"off", BackupControl::none},
        {"numbered", BackupControl::numbered}, {"t", BackupControl::numbered},
        {"existing", BackupControl::existing}, {"nil", BackupControl::existing},
        {"simple", BackupControl::simple},     {"never", BackupControl::simple}};
    std::vector<BackupControl> starts;
    for (const auto &[name, control] : names) {
        if (text == name) {
            return control;
        }
        if (!text.empty() && std::string(name).compare(0, text.size(), text) == 0) {
            starts.push_back(control);
        }
    }
    if (starts.empty() ||
        std::count(starts.begin(), starts.end(), starts[0]) != static_cast<long>(starts.size())) {
        return std::nullopt;
    }
    return starts[0];
}

// Applies the backup options (the environment's variables are unset here); false when
// the control or the suffix is unusable.
bool resolve_backup(const BackupAsked &asked, Expected &e) {
    const std::string suffix = asked.suffix.value_or("~");
    if (asked.suffix && (suffix.empty() || suffix.find('/') != std::string::npos)) {
        return false;
    }
    if (!asked.asked) {
        return true;
    }
    const std::optional<BackupControl> control =
        asked.control ? control_named(*asked.control) : BackupControl::existing;
    if (!control) {
        return false;
    }
    if (*control != BackupControl::none) {
        e.control = *control;
        e.backup = suffix;
    }
    return true;
}

// Scans the arguments; returns false with the status -1 at an unknown long option.
bool scan(const std::vector<std::string> &args, Expected &e, BackupAsked &backup,
          bool &help_printed, bool &help_or_version) {
    bool ended = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (ended) {
            e.files.push_back(a);
        } else if (a == "-f" || a == "-m") {
            if (i + 1 < args.size()) {
                (a == "-f" ? e.force : e.moment) = args[++i];
            }
        } else if (a == "-?" || a == "-help") {
            help_printed = true;
        } else if (a == "--help" || a == "--version") {
            help_or_version = true;
        } else if (a == "--") {
            ended = true;
        } else if (a == "--backup" || a.compare(0, 9, "--backup=") == 0) {
            backup.asked = true;
            backup.control = a == "--backup" ? std::nullopt : std::optional(a.substr(9));
        } else if (a == "--jobs") {
            note_jobs(i + 1 < args.size() ? args[++i] : "", e);
        } else if (a.compare(0, 7, "--jobs=") == 0) {
            note_jobs(a.substr(7), e);
        } else if (a == "--suffix") {
            backup.suffix = i + 1 < args.size() ? args[++i] : "";
        } else if (a.compare(0, 9, "--suffix=") == 0) {
            backup.suffix = a.substr(9);
        } else if (!is_flag(a, e)) {
            if (a.compare(0, 2, "--") == 0) {
                return false;
            }
            e.files.push_back(a);
        }
    }
    return true;
}

Expected expected_for(const std::vector<std::string> &args) {
    Expected e;
    e.status = -1;
    bool help_printed = false, help_or_version = false;
    if (args.size() < 2) {
        e.status = 0;
        return e;
    }
    BackupAsked backup;
    if (!scan(args, e, backup, help_printed, help_or_version) || !resolve_backup(backup, e) ||
        e.bad_jobs) {
        return e;
    }
    if (help_or_version) {
        e.status = 0;
        return e;
    }
    const bool has_unit = (e.force && !e.force->empty()) || (e.moment && !e.moment->empty());
    if (args.size() < 3 || !has_unit || e.files.empty()) {
        e.status = help_printed ? 0 : -1;
        return e;
    }
    if ((e.force && !e.force->empty() && !model::run_unit_factor(*e.force, 1)) ||
        (e.moment && !e.moment->empty() && !model::run_unit_factor(*e.moment, 2))) {
        return e;
    }
    e.accepted = true;
    e.status = 0;
    return e;
}

std::optional<std::string> text_of(const char *s) {
    return s == nullptr ? std::nullopt : std::optional<std::string>(s);
}

void check_accepted(const Expected &e, const CommandLine &command) {
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(command.files.count));
    for (int i = 0; i < command.files.count; ++i) {
        files.emplace_back(command.files.items[i]);
    }
    FUZZ_CHECK(files == e.files, "file arguments");
    FUZZ_CHECK(text_of(command.force_unit) == e.force, "force unit");
    FUZZ_CHECK(text_of(command.moment_unit) == e.moment, "moment unit");
    FUZZ_CHECK(text_of(command.backup) == e.backup, "backup suffix");
    FUZZ_CHECK(command.backup_control == e.control, "backup control");
    FUZZ_CHECK(command.force == e.force_again &&
                   command.allow_dropped_digits == e.allow_dropped_digits,
               "--force and --allow-dropped-digits");
    FUZZ_CHECK(command.jobs == e.jobs, "--jobs");
    FUZZ_CHECK(command.recursive == e.recursive && command.dry_run == e.dry_run &&
                   command.verbose == e.verbose && command.no_progress == e.no_progress,
               "switches");
    FUZZ_CHECK((command.factors == UnitFactors::exact) == e.exact, "--exact");
    if (!e.exact) {
        const double force =
            e.force && !e.force->empty() ? *model::run_unit_factor(*e.force, 1) : 0.0;
        const double moment =
            e.moment && !e.moment->empty() ? *model::run_unit_factor(*e.moment, 2) : 0.0;
        FUZZ_CHECK((std::isnan(force) && std::isnan(command.conversion.force)) ||
                       force == command.conversion.force,
                   "force factor");
        FUZZ_CHECK((std::isnan(moment) && std::isnan(command.conversion.moment)) ||
                       moment == command.conversion.moment,
                   "moment factor");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size > 2048) {
        return 0;
    }
    std::vector<std::string> args = {"joint2si"};
    const std::string input(reinterpret_cast<const char *>(data), size);
    for (std::size_t start = 0; start <= input.size() && args.size() < 24;) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        args.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    if (size == 0) {
        args.pop_back();
    }
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (std::string &arg : args) {
        argv.push_back(&arg[0]);
    }
    argv.push_back(nullptr);

    static const bool environment_cleared = [] {
        // The model reads no environment: the backup variables must not decide the run.
        unsetenv("VERSION_CONTROL");
        unsetenv("SIMPLE_BACKUP_SUFFIX");
        return true;
    }();
    (void)environment_cleared;
    const long live = tool_memory_live_blocks();
    const Expected e = expected_for(args);
    CommandLine command;
    const bool accepted = accept_command_line(static_cast<int>(args.size()), argv.data(), &command);
    FUZZ_CHECK(command.complete, "every argument stored");
    FUZZ_CHECK(accepted == e.accepted, "accepted");
    FUZZ_CHECK(command.status == e.status, "status");
    if (accepted) {
        check_accepted(e, command);
    }
    release_command_line(&command);
    FUZZ_CHECK(tool_memory_live_blocks() == live, "tracked blocks leaked");
    return 0;
}
