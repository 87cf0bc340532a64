#pragma once
#include <optional>
#include <string>

namespace bf {

// A range copied past the end of the camera's flash lands in two files: the chosen one holds
// the bytes up to the end of the flash, the second one those from address 0 on, so the frame
// at the seam starts in the first file and ends in the second.

// The second file's name: the chosen path, a grave accent, a full stop and the chosen file's
// extension (the text after the last dot of its name; empty when it has none).
std::string SecondFileName(const std::string& chosen);

// The two files of such a pair when `path` names either of them and the other one is a regular
// file beside it that holds bytes; nothing otherwise.
struct WrappedPair {
  std::string first;
  std::string second;
};
std::optional<WrappedPair> FindWrappedPair(const std::string& path);

}  // namespace bf
