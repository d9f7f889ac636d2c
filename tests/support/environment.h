// SPDX-License-Identifier: MIT
// Environment variables set for one test, and for the programs it starts, and put back
// as they were when the test ends.
#ifndef JOINT2SI_TESTS_ENVIRONMENT_H
#define JOINT2SI_TESTS_ENVIRONMENT_H

#include <string>

class ScopedVariable {
  public:
    /// Sets `name` to `value` (null: unsets it) until the object goes out of scope.
    ScopedVariable(const std::string &name, const char *value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

  private:
    std::string name_;
    bool had_value_ = false;
    std::string old_value_;
};

/// Sets (value not null) or unsets the variable `name` of this process.
void set_variable(const std::string &name, const char *value);

#endif
