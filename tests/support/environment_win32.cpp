// SPDX-License-Identifier: MIT
#include "support/environment.h"

#include <cstdlib>

// _putenv_s changes the process's environment block too, which child processes inherit;
// an empty value removes the variable, so an empty one cannot be set here.
void set_variable(const std::string &name, const char *value) {
    _putenv_s(name.c_str(), value != nullptr ? value : "");
}
