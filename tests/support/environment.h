#pragma once
#include <string>

// Sets an environment variable of this process for what it runs next; an
// empty value removes it. environment.cpp has one branch per platform.
void SetEnvironment(const std::string& name, const std::string& value);
