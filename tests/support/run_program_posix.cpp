// SPDX-License-Identifier: MIT
#include "support/process_control.h"
#include "support/run_program.h"

ProgramResult run_program(const std::string &program, const std::vector<std::string> &arguments,
                          const std::string &working_directory) {
    return run_program_under(program, arguments, working_directory, ChildConditions{});
}

ProgramResult run_program_with_input(const std::string &program,
                                     const std::vector<std::string> &arguments,
                                     const std::string &working_directory,
                                     const std::string &input_path) {
    ChildConditions conditions;
    conditions.input_path = input_path;
    return run_program_under(program, arguments, working_directory, conditions);
}

int exit_status_of_minus_one() {
    return 255;
}
