// SPDX-License-Identifier: MIT
#include "app/driver.h"

#include "app/argument_walk.h"
#include "app/command_line.h"
#include "app/run_queue.h"
#include "app/run_totals.h"
#include "file/pipe_mode.h"
#include "file/rewrite_file.h"
#include "terminal/held_messages.h"
#include "terminal/messages.h"

#include <cstring>
#include <new>

namespace {

// What the run keeps from argument to argument.
struct Run {
    const CommandLine &command;
    FileSettings settings;
    FileRun files;
    Progress progress;
    RunTotals totals;
    // A real run's files, converted on several threads and committed in batches; null
    // for a dry run, which previews one file after the other.
    RunQueue *queue = nullptr;
    bool any_failed = false; // a file of the queue failed
};

FileSettings settings_of(const CommandLine &command) {
    FileSettings settings;
    settings.conversion = command.conversion;
    settings.dry_run = command.dry_run;
    settings.backup.control = command.backup_control;
    settings.backup.suffix = command.backup;
    settings.backup.arguments = &command.files;
    settings.backup.recursive = command.recursive;
    settings.force_unit = command.force_unit;
    settings.moment_unit = command.moment_unit;
    settings.force = command.force;
    settings.verbose = command.verbose;
    settings.allow_dropped_digits = command.allow_dropped_digits;
    return settings;
}

// A dry run replaces no file, so a file it converted keeps its identity: noted here, a
// second visit of it is skipped as in the real run, where it would have been converted
// already.
void note_dry_run_conversion(const char *name, FileRun *files) {
    ToolFileIdentity identity = {};
    if (tool_file_identity(name, &identity)) {
        try {
            files->converted.push_back(identity);
        } catch (const std::bad_alloc &) {
            report_out_of_memory();
        }
    }
}

// Converts standard input to standard output; false when that failed. Every file named
// before it is committed first, and its output goes out at once.
bool rewrite_standard_input(Run *run) {
    if (run->queue != nullptr) {
        run->queue->drain();
    }
    const MessageCapture direct(nullptr);
    ConversionCounts counts;
    if (!convert_standard_input(run->settings, &counts)) {
        return false;
    }
    report_converted(kStandardInputName, counts, run->command.verbose, &run->totals);
    return true;
}

// Rewrites one matched file (`listed`: the identity the walk saw, when it saw one);
// false when it failed (a file of the queue tells later).
bool rewrite_match(const char *name, const ToolFileIdentity *listed, Run *run) {
    if (run->queue != nullptr) {
        run->queue->add(name, listed);
        return true;
    }
    if (is_backup_of_run(run->files.backups, name)) {
        return true; // never converted
    }
    ConversionCounts counts;
    const FileResult result = rewrite_file(name, run->settings, &run->files, &counts, listed);
    if (result == FileResult::converted) {
        report_converted(name, counts, run->command.verbose, &run->totals);
        if (run->settings.dry_run) {
            note_dry_run_conversion(name, &run->files);
        }
    }
    return result != FileResult::failed;
}

// Rewrites every file one file argument names; false when anything failed.
bool rewrite_argument(const char *argument, Run *run) {
    if (std::strcmp(argument, kStandardInputName) == 0) {
        return rewrite_standard_input(run);
    }
    // The backups of the files before are names this walk may meet (and must know for
    // what they are), so those files are committed first.
    if (run->queue != nullptr && run->settings.backup.suffix != nullptr) {
        run->queue->drain();
    }
    bool all_converted = true;
    WalkResult walk;
    try {
        walk = walk_argument(argument, run->command.recursive,
                             [&](const std::string &name, const ToolFileIdentity *listed) {
                                 progress_matched(&run->progress, 1);
                                 all_converted =
                                     rewrite_match(name.c_str(), listed, run) && all_converted;
                             });
    } catch (const std::bad_alloc &) {
        report_out_of_memory(); // the names still to visit are lost with the walk
        walk.lost = true;
    }
    // The backups a dry run did not make would have been there for the walk to meet.
    if (run->settings.dry_run && walk.matched == 0 && !walk.lost) {
        walk.matched = unmade_backups_matched(run->files.backups, argument, run->command.recursive);
    }
    if (walk.matched == 0 && !walk.lost) {
        report_no_match(argument,
                        walk.unread_directory.empty() ? nullptr : walk.unread_directory.c_str(),
                        walk.unread_reason);
    }
    return all_converted && walk.matched > 0 && !walk.unreadable && !walk.lost;
}

// Rewrites the files every file argument names; the run's status.
int rewrite_all(const CommandLine &command, Run *run) {
    int status = 0;
    for (int i = 0; i < command.files.count; ++i) {
        if (command.files.items[i] == nullptr || !rewrite_argument(command.files.items[i], run)) {
            status = -1;
        }
    }
    return status;
}

// A real run: its files go through the queue, and what the driver says between them
// keeps its place in their order.
int rewrite_through_queue(const CommandLine &command, Run *run) {
    RunQueue queue(run->settings, &run->files, jobs_of(command.jobs),
                   [run](const FileTask &task, FileResult result) {
                       if (result == FileResult::converted) {
                           report_converted(task.name.c_str(), task.counts, run->command.verbose,
                                            &run->totals);
                       }
                       run->any_failed = run->any_failed || result == FileResult::failed;
                   });
    run->queue = &queue;
    int status = 0;
    {
        const MessageCapture held(queue.notes());
        status = rewrite_all(command, run);
        queue.drain();
    }
    run->queue = nullptr;
    return run->any_failed || run->files.unsynced ? -1 : status;
}

} // namespace

int rewrite_file_arguments(const CommandLine &command) {
    Run run{command, settings_of(command), {}, {}, {}};
    run.files.progress = &run.progress;
    progress_begin(&run.progress, !command.no_progress);
    const int status =
        command.dry_run ? rewrite_all(command, &run) : rewrite_through_queue(command, &run);
    progress_end(&run.progress);
    report_totals(run.totals, command.verbose);
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
