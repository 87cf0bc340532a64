#include "host/SettingsStore.h"

namespace bf {

int MemorySettingsStore::ReadInt(const std::string& section, const std::string& name,
                                 int defaultValue) {
  std::lock_guard lock(mutex_);
  auto it = ints_.find({section, name});
  return it == ints_.end() ? defaultValue : it->second;
}

bool MemorySettingsStore::WriteInt(const std::string& section, const std::string& name, int value) {
  std::lock_guard lock(mutex_);
  ints_[{section, name}] = value;
  return true;
}

std::string MemorySettingsStore::ReadString(const std::string& section, const std::string& name,
                                            const std::string& defaultValue) {
  std::lock_guard lock(mutex_);
  auto it = strings_.find({section, name});
  return it == strings_.end() ? defaultValue : it->second;
}

bool MemorySettingsStore::WriteString(const std::string& section, const std::string& name,
                                      const std::string& value) {
  std::lock_guard lock(mutex_);
  strings_[{section, name}] = value;
  return true;
}

bool MemorySettingsStore::Has(const std::string& section, const std::string& name) const {
  std::lock_guard lock(mutex_);
  return ints_.count({section, name}) > 0 || strings_.count({section, name}) > 0;
}

}  // namespace bf
