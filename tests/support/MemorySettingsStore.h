#pragma once
// The settings store in memory, for tests: what a test wrote is what the code under test reads.
// Any thread (a lock guards the values).
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "host/SettingsStore.h"

namespace bf {

class MemorySettingsStore final : public SettingsStore {
 public:
  int ReadInt(const std::string& section, const std::string& name, int defaultValue) override {
    std::lock_guard lock(mutex_);
    auto it = ints_.find({section, name});
    return it == ints_.end() ? defaultValue : it->second;
  }
  bool WriteInt(const std::string& section, const std::string& name, int value) override {
    std::lock_guard lock(mutex_);
    ints_[{section, name}] = value;
    return true;
  }
  std::string ReadString(const std::string& section, const std::string& name,
                         const std::string& defaultValue) override {
    std::lock_guard lock(mutex_);
    auto it = strings_.find({section, name});
    return it == strings_.end() ? defaultValue : it->second;
  }
  bool WriteString(const std::string& section, const std::string& name,
                   const std::string& value) override {
    std::lock_guard lock(mutex_);
    strings_[{section, name}] = value;
    return true;
  }
  bool Has(const std::string& section, const std::string& name) const {
    std::lock_guard lock(mutex_);
    return ints_.count({section, name}) > 0 || strings_.count({section, name}) > 0;
  }

 private:
  using Key = std::pair<std::string, std::string>;
  mutable std::mutex mutex_;
  std::map<Key, int> ints_;
  std::map<Key, std::string> strings_;
};

}  // namespace bf
