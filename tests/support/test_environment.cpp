#include "tests/support/test_environment.h"

#include <cstdlib>

void set_variable(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }

void unset_variable(const std::string& name) { unsetenv(name.c_str()); }
