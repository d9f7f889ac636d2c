#include "support/environment.h"

#include <stdlib.h>

void set_environment_variable(const char *name, const char *value) {
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}
