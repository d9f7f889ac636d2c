#include "rewrite.h"

#include "command_line.h"

int run_converter(int argc, char **argv) {
    CommandLine command;
    if (!accept_command_line(argc, argv, &command)) {
        release_command_line(&command);
        return 0;
    }
    const int status = 0;
    release_command_line(&command);
    return status;
}
