#include "shell/StartupHeaderTable.h"

#include "frames/HeaderTableLocation.h"

namespace bf::ui {

bool LoadStartupHeaderTable(SettingsStore& settings, UserPrompts& prompts,
                            const std::string& programFolder,
                            const std::function<bool(const std::string& path)>& fileExists,
                            JpegHeaderTable& out) {
  const std::string folder = HeaderTableFolder(settings.ReadString("", settings::kInstallPath, ""),
                                               programFolder, fileExists);
  const TableLoadResult loaded = LoadJpegHeaderTableFromFile(HeaderTablePath(folder), out);
  if (loaded) return true;
  prompts.ShowMessage(loaded.error, "", MessageIcon::Error, MessageButtons::Ok);
  return loaded.contentRejected;
}

}  // namespace bf::ui
