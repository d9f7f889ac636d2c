#include "rewrite.h"

#include "command_line.h"
#include "file_options.h"
#include "file_rewrite.h"
#include "messages.h"

namespace {

// Releases a match list when it goes out of scope.
class MatchList {
  public:
    MatchList() = default;
    ~MatchList() { tool_strlist_free(&list_); }
    MatchList(const MatchList &) = delete;
    MatchList &operator=(const MatchList &) = delete;
    StringList *get() { return &list_; }

  private:
    StringList list_ = {0, nullptr};
};

// Expands one file argument and rewrites every file it matches; false when anything
// failed.
bool rewrite_argument(const char *argument, const CommandLine &options, RunState *run) {
    MatchList matches;
    if (tool_expand_pattern(matches.get(), argument, ".") == 0) {
        progress_erase();
        report_no_match();
        return false;
    }
    progress_matched(&run->progress, matches.get()->count);
    bool all_converted = true;
    for (int i = 0; i < matches.get()->count; ++i) {
        const char *name = matches.get()->items[i];
        if (name == nullptr || !rewrite_file(name, options, run)) {
            all_converted = false;
        }
    }
    return all_converted;
}

// Rewrites the files of every file argument; the exit status of the run.
int rewrite_arguments(const CommandLine &command) {
    RunState run;
    progress_begin(&run.progress, !command.no_progress);
    int status = 0;
    for (int i = 0; i < command.files.count; ++i) {
        if (!rewrite_argument(command.files.items[i], command, &run)) {
            status = -1;
        }
    }
    progress_end(&run.progress);
    report_run(command, run.totals);
    return status;
}

} // namespace

int run_converter(int argc, char **argv) {
    CommandLine command;
    const bool accepted = accept_command_line(argc, argv, &command);
    // An argument lost to memory exhaustion stops the run: converting with what is left
    // could convert only some of the lines the user asked for.
    int status = command.complete ? command.status : -1;
    if (accepted && command.complete) {
        status = rewrite_arguments(command);
    }
    release_command_line(&command);
    return status;
}
