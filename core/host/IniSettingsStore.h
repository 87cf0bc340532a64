#pragma once
#include <map>
#include <string>
#include <utility>

#include "host/SettingsStore.h"

namespace bf {

// The window's settings as a program without Qt sees them: a read-only view of the file that
// QSettings("Kelvane", "BrindleFlash 1.1.3") keeps on this platform, an ini file with the
// application key's own values under [General] and percent-encoded key names ("Player%20fps").
// Only what the tools read is understood: plain and quoted values with backslash escapes.
// Writing is refused (false): only the window changes its settings. A missing or unreadable
// file reads as all defaults. Any thread after construction.
class IniSettingsStore final : public SettingsStore {
 public:
  explicit IniSettingsStore(const std::string& path);

  int ReadInt(const std::string& section, const std::string& name, int defaultValue) override;
  bool WriteInt(const std::string&, const std::string&, int) override { return false; }
  std::string ReadString(const std::string& section, const std::string& name,
                         const std::string& defaultValue) override;
  bool WriteString(const std::string&, const std::string&, const std::string&) override {
    return false;
  }

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

// Where QSettings keeps the window's settings for this user: $XDG_CONFIG_HOME (or ~/.config)
// /Kelvane/BrindleFlash 1.1.3.conf. Empty when neither variable names a folder.
std::string WindowSettingsPath();

}  // namespace bf
