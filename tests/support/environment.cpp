#include "support/environment.h"

#include <cstdlib>

#ifdef _WIN32
void SetEnvironment(const std::string& name, const std::string& value) { _putenv_s(name.c_str(), value.c_str()); }
#else
void SetEnvironment(const std::string& name, const std::string& value) {
  if (value.empty())
    ::unsetenv(name.c_str());
  else
    ::setenv(name.c_str(), value.c_str(), 1);
}
#endif
