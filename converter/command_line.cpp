#include "command_line.h"

#include <cstdio>

namespace {

// The smallest argument count (program name included) that can start a conversion.
constexpr int kMinimumArgumentCount = 3;

const char *program_name(int argc, char **argv) {
    return argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "joint2si";
}

} // namespace

void print_usage(const char *program) {
    std::fprintf(stderr,
                 "\nProgram converts force and moment units in joint attribute file(s) to SI "
                 "units.\n\n");
    std::fprintf(stderr, "\tUsage: %s -f force_unit -m moment_unit [-?] file(s)...\n\n", program);
    std::fprintf(stderr, "\t  -f force_unit   = initial force unit "
                         "(kg/T/N/daN/kN/lbf/kip/numerical value)\n");
    std::fprintf(stderr, "\t  -m moment_unit  = initial moment unit "
                         "(kgm/Tm/Nm/daNm/kNm/lbf-in/lbf-ft/\n");
    std::fprintf(stderr, "\t                                         kip-in/kip-ft/numerical "
                         "value)\n");
    std::fprintf(stderr, "\t  -?              = display this help\n");
    std::fprintf(stderr, "\t  file(s)...      = list of input files (wild cards can be used)\n\n");
}

int parse_arguments(int argc, char **argv, char **force_unit, char **moment_unit,
                    StringList *files) {
    int complete = 1;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (tool_strcmp(argument, "-f") == 0 || tool_strcmp(argument, "-m") == 0) {
            char **unit = argument[1] == 'f' ? force_unit : moment_unit;
            if (i + 1 < argc && tool_strcpy(unit, argv[++i]) == nullptr) {
                complete = 0;
            }
        } else if (tool_strcmp(argument, "-?") == 0 || tool_strcmp(argument, "-help") == 0) {
            print_usage(program_name(argc, argv));
        } else if (tool_strlist_append(files, argument) == 0 ||
                   files->items[files->count - 1] == nullptr) {
            complete = 0;
        }
    }
    return complete;
}

bool accept_command_line(int argc, char **argv, CommandLine *command) {
    if (argc < kMinimumArgumentCount) {
        print_usage(program_name(argc, argv));
        return false;
    }
    command->complete = parse_arguments(argc, argv, &command->force_unit, &command->moment_unit,
                                        &command->files) != 0;
    const bool has_unit =
        tool_strlen(command->force_unit) != 0 || tool_strlen(command->moment_unit) != 0;
    if (!has_unit || command->files.count == 0) {
        print_usage(program_name(argc, argv));
        return false;
    }
    return true;
}

void release_command_line(CommandLine *command) {
    tool_strfree(&command->force_unit);
    tool_strfree(&command->moment_unit);
    tool_strlist_free(&command->files);
}
