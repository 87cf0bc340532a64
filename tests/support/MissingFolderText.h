#pragma once
#include <string>

namespace bf::test {

// What the user is told about a file whose folder does not exist: Windows calls the name a
// wrong path, POSIX systems say the file was not found.
inline std::string MissingFolderText(const std::string& path) {
#ifdef _WIN32
  return path + " contains an incorrect path.";
#else
  return path + " was not found.";
#endif
}

}  // namespace bf::test
