// _putenv_s changes the C library's copy and the system's (GetEnvironmentVariable and
// GetTempPath read the latter); an empty value removes the variable.
#include "support/environment.h"

#include <stdlib.h>

void set_environment_variable(const char *name, const char *value) {
    _putenv_s(name, value != nullptr ? value : "");
}
