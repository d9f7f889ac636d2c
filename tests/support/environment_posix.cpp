// SPDX-License-Identifier: MIT
#include "support/environment.h"

#include <cstdlib>

void set_variable(const std::string &name, const char *value) {
    if (value != nullptr) {
        setenv(name.c_str(), value, 1);
    } else {
        unsetenv(name.c_str());
    }
}
