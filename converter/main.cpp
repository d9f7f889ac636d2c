// SPDX-License-Identifier: MIT
// joint2si: converts the forces and moments of joint attribute files to SI units.
#include "app/driver.h"

#include "libtools/tool_console.h"

int main(int argc, char **argv) {
    // Names are UTF-8 inside the program; where the system passes them otherwise they
    // are read again (without that, names are used as the system passed them).
    tool_utf8_arguments(&argc, &argv);
    return run_converter(argc, argv);
}
