#pragma once
#include <cstdlib>
#include <optional>
#include <string>

namespace bf::test {

// setenv/unsetenv where the C library has them, _putenv_s on Windows (an empty value removes
// the variable there).
inline void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnvironment(const char* name) {
#ifdef _WIN32
  _putenv_s(name, "");
#else
  unsetenv(name);
#endif
}

// Sets (or removes) a variable for the lifetime of the guard and restores it afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value) {
      SetEnvironment(name, *value);
    } else {
      UnsetEnvironment(name);
    }
  }
  ~ScopedEnvironment() {
    if (saved_) {
      SetEnvironment(name_, *saved_);
    } else {
      UnsetEnvironment(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

}  // namespace bf::test
