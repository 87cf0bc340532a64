#pragma once
#include <functional>
#include <string>

namespace bf {

// Where the window and bfk look for "headers.dat", in this order:
//   1. a stored "InstallPath", used as it stands (even when the file is not there, so that the
//      error names the folder the operator set);
//   2. the current directory (what an empty "InstallPath" always meant);
//   3. the folder of the program itself, where the build puts a copy;
//   4. the installed data folder, share/brindleflash beside the program's bin folder.
// So a fresh build run from anywhere and an installed package both start without anybody
// writing "InstallPath". Returns the folder to pass to HeaderTablePath ("" = current
// directory, also when the file is nowhere: the error then names the file where the rule looks).
std::string HeaderTableFolder(const std::string& installPath, const std::string& programFolder,
                              const std::function<bool(const std::string& path)>& fileExists);

// The installed data folder for a program in `programFolder` (empty when that is empty).
std::string InstalledDataFolder(const std::string& programFolder);

// The folder of the running executable, or empty when the system does not say.
std::string RunningProgramFolder();

}  // namespace bf
