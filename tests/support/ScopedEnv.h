// Sets or unsets one environment variable for the life of the object and
// restores the earlier state afterwards.
#pragma once

#include <cstdlib>
#include <string>

namespace testing_support {

class ScopedEnv {
public:
  // value null unsets the variable.
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    hadValue_ = old != nullptr;
    if (old)
      old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (hadValue_)
      setenv(name_.c_str(), old_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  std::string name_;
  std::string old_;
  bool hadValue_ = false;
};

} // namespace testing_support
