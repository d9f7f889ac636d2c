#include "rewrite.h"

#include "command_line.h"
#include "file_rewrite.h"
#include "file_walk.h"
#include "messages.h"
#include "units.h"

namespace {

// Rewrites every file one file argument names; false when anything failed.
bool rewrite_argument(const char *argument, const UnitTexts &units, bool recursive,
                      ConvertedFiles *converted) {
    bool all_converted = true;
    const WalkResult walk = walk_argument(argument, recursive, [&](const std::string &name) {
        if (!rewrite_file(name.c_str(), units, converted)) {
            all_converted = false;
        }
    });
    if (walk.matched == 0 && !walk.lost) {
        report_no_match();
    }
    return all_converted && walk.matched > 0 && !walk.unreadable && !walk.lost;
}

} // namespace

int rewrite_file_arguments(const StringList &files, const UnitTexts &units, bool recursive) {
    reset_unit_factors();
    ConvertedFiles converted;
    int status = 0;
    for (int i = 0; i < files.count; ++i) {
        if (files.items[i] != nullptr &&
            !rewrite_argument(files.items[i], units, recursive, &converted)) {
            status = -1;
        }
    }
    return status;
}

int run_converter(int argc, char **argv) {
    CommandLine command;
    const bool accepted = accept_command_line(argc, argv, &command);
    // An argument lost to memory exhaustion stops the run: converting with what is left
    // could convert only some of the lines the user asked for.
    int status = command.complete ? 0 : -1;
    if (accepted && command.complete) {
        const UnitTexts units = {command.force_unit, command.moment_unit};
        status = rewrite_file_arguments(command.files, units, false);
    }
    release_command_line(&command);
    return status;
}
