#include "recordings/WrappedPair.h"

#include <filesystem>
#include <system_error>

namespace bf {

namespace {

// A second file that holds nothing (a copy cancelled before it began) adds nothing either.
bool HoldsBytes(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const auto size = std::filesystem::file_size(path, ec);
  return !ec && size > 0;
}

}  // namespace

std::string SecondFileName(const std::string& chosen) {
  const std::size_t slash = chosen.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = chosen.rfind('.');
  const std::string extension =
      dot == std::string::npos || dot < nameStart ? "" : chosen.substr(dot + 1);
  return chosen + "`." + extension;
}

std::optional<WrappedPair> FindWrappedPair(const std::string& path) {
  if (const std::string second = SecondFileName(path); HoldsBytes(second)) {
    return WrappedPair{path, second};
  }
  // Named by its second file: the first is the name up to the last grave accent, and only when
  // that name gives this one back (the extensions agree).
  const std::size_t accent = path.rfind("`.");
  if (accent == std::string::npos) return std::nullopt;
  const std::string first = path.substr(0, accent);
  if (first.empty() || SecondFileName(first) != path || !HoldsBytes(first)) return std::nullopt;
  return WrappedPair{first, path};
}

}  // namespace bf
