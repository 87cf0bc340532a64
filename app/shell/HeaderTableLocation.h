#pragma once
#include <functional>
#include <string>

namespace bf::ui {

// Where the program looks for "headers.dat". A stored "InstallPath" is used as it stands. An
// empty one means the current directory, as always; when the file is not there, the folder of
// the program itself is tried, where the build and the install put a copy, so a fresh build
// run from anywhere and an installed copy both start without anybody writing "InstallPath".
// Returns the folder to pass to HeaderTablePath ("" = current directory).
std::string HeaderTableFolder(const std::string& installPath, const std::string& programFolder,
                              const std::function<bool(const std::string& path)>& fileExists);

}  // namespace bf::ui
