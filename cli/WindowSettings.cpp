#include "cli/WindowSettings.h"

#include "host/SettingsStore.h"

#ifdef BF_BFK_QT_SETTINGS
#include "settings/QtSettingsStore.h"
#endif

namespace bf::cli {

#ifdef BF_BFK_QT_SETTINGS

int WindowPlayerFps() {
  QtSettingsStore settings;
  return settings.ReadInt(settings::kSection, settings::kPlayerFps, settings::kPlayerFpsDefault);
}

std::string WindowInstallPath() {
  QtSettingsStore settings;
  return settings.ReadString("", settings::kInstallPath, "");
}

#else

int WindowPlayerFps() {
  return settings::kPlayerFpsDefault;
}

std::string WindowInstallPath() {
  return {};
}

#endif

}  // namespace bf::cli
