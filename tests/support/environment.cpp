#include "support/environment.h"

#include <cstdlib>

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const char *name, const char *value)
    : name_(name) {
    const char *previous = std::getenv(name);
    was_set_ = previous != nullptr;
    previous_ = was_set_ ? previous : "";
    set_environment_variable(name, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
    set_environment_variable(name_.c_str(), was_set_ ? previous_.c_str() : nullptr);
}
