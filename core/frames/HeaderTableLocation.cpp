#include "frames/HeaderTableLocation.h"

#include <filesystem>

#include "frames/JpegHeaderTable.h"

#ifndef BF_DATA_FROM_BIN
#define BF_DATA_FROM_BIN "../share/brindleflash"
#endif

namespace bf {

std::string InstalledDataFolder(const std::string& programFolder) {
  if (programFolder.empty()) return "";
  return (std::filesystem::path(programFolder) / BF_DATA_FROM_BIN).lexically_normal().string();
}

std::string HeaderTableFolder(const std::string& installPath, const std::string& programFolder,
                              const std::function<bool(const std::string& path)>& fileExists) {
  if (!installPath.empty()) return installPath;
  if (fileExists(HeaderTablePath(""))) return "";
  if (!programFolder.empty()) {
    if (fileExists(HeaderTablePath(programFolder))) return programFolder;
    const std::string data = InstalledDataFolder(programFolder);
    if (fileExists(HeaderTablePath(data))) return data;
  }
  return "";
}

std::string RunningProgramFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

}  // namespace bf
