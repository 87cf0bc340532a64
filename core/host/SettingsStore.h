#pragma once
#include <string>

namespace bf {

// The per-user settings store: values by section and name; a missing or unreadable value reads
// as the default given. The empty section is the application key itself ("InstallPath").
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual int ReadInt(const std::string& section, const std::string& name, int defaultValue) = 0;
  virtual bool WriteInt(const std::string& section, const std::string& name, int value) = 0;
  virtual std::string ReadString(const std::string& section, const std::string& name,
                                 const std::string& defaultValue) = 0;
  virtual bool WriteString(const std::string& section, const std::string& name,
                           const std::string& value) = 0;
};

// Names of the settings, as stored.
namespace settings {
inline constexpr const char* kSection = "Settings";
inline constexpr const char* kPlayerFps = "Player fps";
inline constexpr const char* kLikeOriginal = "Like original";
inline constexpr const char* kPath = "Path";
inline constexpr const char* kInstallPath = "InstallPath";  // in the empty section
inline constexpr int kPlayerFpsDefault = 10;
inline constexpr int kLikeOriginalDefault = 1;
}  // namespace settings

}  // namespace bf
