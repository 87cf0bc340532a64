#include "shell/HeaderTableLocation.h"

#include "frames/JpegHeaderTable.h"

namespace bf::ui {

std::string HeaderTableFolder(const std::string& installPath, const std::string& programFolder,
                              const std::function<bool(const std::string& path)>& fileExists) {
  if (!installPath.empty()) return installPath;
  if (fileExists(HeaderTablePath(""))) return "";
  if (!programFolder.empty() && fileExists(HeaderTablePath(programFolder))) return programFolder;
  // Nowhere: the error names the file in the current directory, where the rule looks.
  return "";
}

}  // namespace bf::ui
