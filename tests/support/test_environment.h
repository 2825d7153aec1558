#pragma once
// The process's environment variables, set and removed the same way on every platform, for
// tests that configure the program under test through its variables.
#include <string>

// Sets `name` to `value` (UTF-8), replacing any earlier value. On Windows an empty value
// removes the variable, so tests give every variable they set a value.
void set_variable(const std::string& name, const std::string& value);
// Removes `name`; nothing happens when it is not set.
void unset_variable(const std::string& name);
