// SPDX-License-Identifier: MIT
#include "support/environment.h"

#include <cstdlib>

ScopedVariable::ScopedVariable(const std::string &name, const char *value) : name_(name) {
    const char *old = std::getenv(name.c_str());
    had_value_ = old != nullptr;
    old_value_ = had_value_ ? old : "";
    set_variable(name, value);
}

ScopedVariable::~ScopedVariable() {
    set_variable(name_, had_value_ ? old_value_.c_str() : nullptr);
}
