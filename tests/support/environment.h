// Environment variables a test changes for the code it calls (the temporary
// directory, for instance), put back as they were when the test ends.
#ifndef JOINT2SI_TESTS_ENVIRONMENT_H
#define JOINT2SI_TESTS_ENVIRONMENT_H

#include <string>

/// Sets the variable `name` of this process to `value`; null removes it.
void set_environment_variable(const char *name, const char *value);

/// Sets a variable for its lifetime and then restores its earlier value (or absence).
class ScopedEnvironmentVariable {
  public:
    ScopedEnvironmentVariable(const char *name, const char *value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable &) = delete;
    ScopedEnvironmentVariable &operator=(const ScopedEnvironmentVariable &) = delete;

  private:
    std::string name_;
    std::string previous_;
    bool was_set_;
};

#endif
