// SPDX-License-Identifier: MIT
#include "app/command_line.h"

#include "app/backup_options.h"
#include "terminal/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The smallest argument count (program name included) that can start a conversion.
constexpr int kMinimumArgumentCount = 3;

// What the scan found besides the record's own fields.
struct Scan {
    CommandLine *command;
    const char *program;
    bool help_printed = false;      // "-?" or "-help": the usage text is already out
    bool help_asked = false;        // "--help"
    bool version_asked = false;     // "--version"
    bool options_ended = false;     // after "--"
    const char *unknown = nullptr;  // the first unknown long option
    BackupRequest backup{};         // --backup[=CONTROL], --suffix
    const char *bad_jobs = nullptr; // a value of --jobs that is no count of jobs
};

enum class Value {
    none,     // the option stands alone
    next,     // the next argument, if there is one, is the value and is skipped
    attached, // an optional value after "=" in the same argument
    required, // a value after "=", else the next argument (null when there is none)
};

struct Option {
    const char *name;
    Value value;
    void (*handle)(Scan *scan, const char *value);
};

const char *program_name(int argc, char **argv) {
    return argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "joint2si";
}

void store(Scan *scan, char **slot, const char *text) {
    if (tool_strcpy(slot, text) == nullptr) {
        scan->command->complete = false;
    }
}

void set_backup(Scan *scan, const char *control) {
    scan->backup.asked = true;
    scan->backup.control = control; // null: VERSION_CONTROL or existing
}

// --jobs N: a whole number from 1 up; a larger one than the run can use is cut to that.
void set_jobs(Scan *scan, const char *value) {
    const char *text = value != nullptr ? value : "";
    long jobs = 0;
    for (const char *c = text; *c >= '0' && *c <= '9'; ++c) {
        jobs = std::min(jobs * 10 + (*c - '0'), 1000000L);
    }
    const bool digits_only = *text != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
    if (!digits_only || jobs < 1) {
        scan->bad_jobs = text;
        return;
    }
    scan->command->jobs = static_cast<int>(jobs);
}

void set_suffix(Scan *scan, const char *suffix) {
    scan->backup.suffix_given = true;
    scan->backup.suffix = suffix != nullptr ? suffix : ""; // refused as empty
}

void set_force_unit(Scan *scan, const char *unit) {
    if (unit != nullptr) { // "-f" as the last argument stores nothing
        store(scan, &scan->command->force_unit, unit);
    }
}

void set_moment_unit(Scan *scan, const char *unit) {
    if (unit != nullptr) {
        store(scan, &scan->command->moment_unit, unit);
    }
}

void print_help(Scan *scan, const char *) {
    print_usage(scan->program);
    scan->help_printed = true;
}

const Option kOptions[] = {
    {"-f", Value::next, set_force_unit},
    {"-m", Value::next, set_moment_unit},
    {"-?", Value::none, print_help},
    {"-help", Value::none, print_help},
    {"--recursive", Value::none, [](Scan *scan, const char *) { scan->command->recursive = true; }},
    {"--dry-run", Value::none, [](Scan *scan, const char *) { scan->command->dry_run = true; }},
    {"--backup", Value::attached, set_backup},
    {"--suffix", Value::required, set_suffix},
    {"--force", Value::none, [](Scan *scan, const char *) { scan->command->force = true; }},
    {"--allow-dropped-digits", Value::none,
     [](Scan *scan, const char *) { scan->command->allow_dropped_digits = true; }},
    {"--verbose", Value::none, [](Scan *scan, const char *) { scan->command->verbose = true; }},
    {"--no-progress", Value::none,
     [](Scan *scan, const char *) { scan->command->no_progress = true; }},
    {"--jobs", Value::required, set_jobs},
    {"--exact", Value::none,
     [](Scan *scan, const char *) { scan->command->factors = UnitFactors::exact; }},
    {"--help", Value::none, [](Scan *scan, const char *) { scan->help_asked = true; }},
    {"--version", Value::none, [](Scan *scan, const char *) { scan->version_asked = true; }},
    {"--", Value::none, [](Scan *scan, const char *) { scan->options_ended = true; }},
};

// The option `argument` names, with its attached value in `*attached` (null when none).
const Option *find_option(const char *argument, const char **attached) {
    *attached = nullptr;
    for (const Option &option : kOptions) {
        const std::size_t length = std::strlen(option.name);
        if (std::strcmp(argument, option.name) == 0) {
            return &option;
        }
        const bool takes_attached =
            option.value == Value::attached || option.value == Value::required;
        if (takes_attached && std::strncmp(argument, option.name, length) == 0 &&
            argument[length] == '=') {
            *attached = argument + length + 1;
            return &option;
        }
    }
    return nullptr;
}

bool is_long_option(const char *argument) {
    return argument[0] == '-' && argument[1] == '-';
}

void add_file(Scan *scan, const char *argument) {
    StringList *files = &scan->command->files;
    if (tool_strlist_append(files, argument) == 0 || files->items[files->count - 1] == nullptr) {
        scan->command->complete = false;
    }
}

// Takes argv[*index] (and its value); false when the scan must stop there.
bool scan_one(Scan *scan, int argc, char **argv, int *index) {
    const char *argument = argv[*index];
    const char *value = nullptr;
    const Option *option = scan->options_ended ? nullptr : find_option(argument, &value);
    if (option == nullptr) {
        if (!scan->options_ended && is_long_option(argument)) {
            scan->unknown = argument;
            return false;
        }
        add_file(scan, argument);
        return true;
    }
    const bool wants_next =
        option->value == Value::next || (option->value == Value::required && value == nullptr);
    if (wants_next && *index + 1 < argc) {
        value = argv[++*index];
    }
    option->handle(scan, value);
    return true;
}

void scan_arguments(int argc, char **argv, Scan *scan) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr && !scan_one(scan, argc, argv, &i)) {
            return;
        }
    }
}

void write_usage(std::FILE *out, const char *program) {
    std::fprintf(out, "\nProgram converts force and moment units in joint attribute file(s) to SI "
                      "units.\n\n");
    std::fprintf(out, "\tUsage: %s -f force_unit -m moment_unit [-?] file(s)...\n\n", program);
    std::fprintf(out, "\t  -f force_unit   = initial force unit "
                      "(kg/T/N/daN/kN/lbf/kip/numerical value)\n");
    std::fprintf(out, "\t  -m moment_unit  = initial moment unit "
                      "(kgm/Tm/Nm/daNm/kNm/lbf-in/lbf-ft/\n");
    std::fprintf(out, "\t                                         kip-in/kip-ft/numerical "
                      "value)\n");
    std::fprintf(out, "\t  -?              = display this help\n");
    std::fprintf(out, "\t  file(s)...      = list of input files (wild cards can be used)\n\n");
    std::fputs("\t  -help           = display this help, as -? does\n\n"
               "\tLong options:\n"
               "\t  --recursive        = also look in every subdirectory\n"
               "\t  --dry-run          = change nothing; show the changes as a unified diff\n"
               "\t  --backup[=CONTROL] = keep the old content: CONTROL none/off, numbered/t,\n"
               "\t                       existing/nil (default, or $VERSION_CONTROL),\n"
               "\t                       simple/never (file + SUFFIX)\n"
               "\t  --suffix=SUFFIX    = suffix of simple backups (default ~, or\n"
               "\t                       $SIMPLE_BACKUP_SUFFIX)\n"
               "\t  --force            = convert files again even when they carry the record\n"
               "\t                       of an earlier conversion\n"
               "\t  --allow-dropped-digits = convert lines whose value is followed by more\n"
               "\t                       digits (12,5 or 1.0 2.0) by their first number only,\n"
               "\t                       with a warning, instead of refusing the file\n"
               "\t  --verbose          = count the converted values per file and in total\n"
               "\t  --no-progress      = never show the progress line on a terminal\n"
               "\t  --jobs=N           = convert N files at once (default: one per core)\n"
               "\t  --exact            = exact imperial factors (1 lbf = 4.4482216152605 N)\n"
               "\t  --help             = display this help on standard output\n"
               "\t  --version          = display the version and the licence\n"
               "\t  --                 = every later argument is a file argument\n"
               "\t  -                  = as a file: standard input to standard output\n\n"
               "\tOne of -f and -m is enough. A unit is a name above or a number alone\n"
               "\t(2.5, 1e3). A file argument that names an existing file is that file;\n"
               "\tany other is a wildcard pattern.\n\n",
               out);
    std::fprintf(out, "\tExample: %s -f kip -m kip-ft --dry-run data/*.jnt\n\n", program);
}

// Resolves both unit texts into the run's conversion; false, after naming every unknown
// unit, when one is none of the table's names, not "false" and not a number. An empty
// text counts as not given.
bool resolve_units(CommandLine *command) {
    bool known = true;
    if (tool_strlen(command->force_unit) != 0 &&
        !resolve_unit(command->force_unit, KIND_FORCE, command->factors,
                      &command->conversion.force)) {
        report_unknown_unit("force", command->force_unit);
        known = false;
    }
    if (tool_strlen(command->moment_unit) != 0 &&
        !resolve_unit(command->moment_unit, KIND_MOMENT, command->factors,
                      &command->conversion.moment)) {
        report_unknown_unit("moment", command->moment_unit);
        known = false;
    }
    return known;
}

bool can_start(int argc, const CommandLine &command) {
    const bool has_unit =
        tool_strlen(command.force_unit) != 0 || tool_strlen(command.moment_unit) != 0;
    return argc >= kMinimumArgumentCount && has_unit && command.files.count != 0;
}

// The steps after the scan; false, with the status set, when the run ends here.
bool accept_scan(const Scan &scan, int argc, CommandLine *command) {
    command->status = -1;
    if (scan.unknown != nullptr) {
        report_unknown_option(scan.unknown);
        return false;
    }
    if (!resolve_backup_request(scan.backup, command)) {
        return false;
    }
    if (scan.bad_jobs != nullptr) {
        report_bad_jobs(scan.bad_jobs);
        return false;
    }
    if (scan.help_asked || scan.version_asked) {
        if (scan.help_asked) {
            write_usage(stdout, scan.program);
        } else {
            std::fputs("joint2si " JOINT2SI_VERSION "\nLicense: MIT\n", stdout);
        }
        command->status = 0;
        return false;
    }
    if (!can_start(argc, *command)) {
        // "-?" alone has printed the usage text already; asked-for help ends with 0.
        if (argc >= kMinimumArgumentCount || !scan.help_printed) {
            print_usage(scan.program);
        }
        command->status = scan.help_printed ? 0 : -1;
        return false;
    }
    if (!resolve_units(command)) {
        return false;
    }
    command->status = 0;
    return true;
}

} // namespace

void print_usage(const char *program) {
    write_usage(stderr, program);
}

int parse_arguments(int argc, char **argv, char **force_unit, char **moment_unit,
                    StringList *files) {
    CommandLine command;
    Scan scan{&command, program_name(argc, argv)};
    for (int i = 1; i < argc; ++i) {
        // The original scan knows no long options and no end of options.
        const char *ignored = nullptr;
        const Option *option = find_option(argv[i], &ignored);
        if (option == nullptr || is_long_option(option->name)) {
            add_file(&scan, argv[i]);
        } else {
            scan_one(&scan, argc, argv, &i);
        }
    }
    *force_unit = command.force_unit;
    *moment_unit = command.moment_unit;
    *files = command.files;
    command.force_unit = command.moment_unit = nullptr;
    command.files = {0, nullptr};
    release_command_line(&command);
    return command.complete ? 1 : 0;
}

bool accept_command_line(int argc, char **argv, CommandLine *command) {
    const char *program = program_name(argc, argv);
    if (argc < 2) {
        print_usage(program);
        command->status = 0;
        return false;
    }
    Scan scan{command, program};
    scan_arguments(argc, argv, &scan);
    return accept_scan(scan, argc, command);
}

void release_command_line(CommandLine *command) {
    tool_strfree(&command->force_unit);
    tool_strfree(&command->moment_unit);
    tool_strfree(&command->backup);
    tool_strlist_free(&command->files);
}
