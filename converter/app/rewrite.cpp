#include "app/rewrite.h"

#include "app/command_line.h"
#include "app/file_walk.h"
#include "file/file_options.h"
#include "file/file_rewrite.h"
#include "file/standard_input.h"
#include "terminal/messages.h"

#include <cstring>
#include <new>

namespace {

// A dry run replaces no file, so a file it converted keeps its identity: noted here, a
// second visit of it is skipped as in the real run, where it would have been converted
// already.
void note_dry_run_conversion(const char *name, RunState *run) {
    ToolFileIdentity identity = {};
    if (tool_file_identity(name, &identity)) {
        try {
            run->converted.push_back(identity);
        } catch (const std::bad_alloc &) {
            report_out_of_memory();
        }
    }
}

// Converts the file `name`, unless it is a backup this run made; false when that
// failed.
bool rewrite_name(const char *name, const CommandLine &options, RunState *run) {
    if (is_backup_of_run(run->backups, name)) {
        return true;
    }
    if (!rewrite_file(name, options, run)) {
        return false;
    }
    if (options.dry_run) {
        note_dry_run_conversion(name, run);
    }
    return true;
}

// Rewrites every file one file argument names; false when anything failed.
bool rewrite_argument(const char *argument, const CommandLine &options, RunState *run) {
    if (std::strcmp(argument, kStandardInputName) == 0) {
        return convert_standard_input(options);
    }
    bool all_converted = true;
    WalkResult walk;
    try {
        walk = walk_argument(argument, options.recursive, [&](const std::string &name) {
            progress_matched(&run->progress, 1);
            if (!rewrite_name(name.c_str(), options, run)) {
                all_converted = false;
            }
        });
    } catch (const std::bad_alloc &) {
        report_out_of_memory(); // the names still to visit are lost with the walk
        walk.lost = true;
    }
    // The backups a dry run did not make would have been there for the walk to meet.
    if (options.dry_run && walk.matched == 0 && !walk.lost) {
        walk.matched = unmade_backups_matched(run->backups, argument, options.recursive);
    }
    if (walk.matched == 0 && !walk.lost) {
        progress_erase();
        report_no_match();
    }
    return all_converted && walk.matched > 0 && !walk.unreadable && !walk.lost;
}

} // namespace

int rewrite_file_arguments(const CommandLine &command) {
    RunState run;
    progress_begin(&run.progress, !command.no_progress);
    int status = 0;
    for (int i = 0; i < command.files.count; ++i) {
        if (command.files.items[i] == nullptr ||
            !rewrite_argument(command.files.items[i], command, &run)) {
            status = -1;
        }
    }
    progress_end(&run.progress);
    report_run(command, run.totals);
    return status;
}

int run_converter(int argc, char **argv) {
    CommandLine command;
    const bool accepted = accept_command_line(argc, argv, &command);
    // An argument lost to memory exhaustion stops the run: converting with what is left
    // could convert only some of the lines the user asked for.
    int status = command.complete ? command.status : -1;
    if (accepted && command.complete) {
        status = rewrite_file_arguments(command);
    }
    release_command_line(&command);
    return status;
}
