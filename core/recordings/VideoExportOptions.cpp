#include "recordings/VideoExportOptions.h"

#include <algorithm>
#include <cctype>

namespace bf {

std::optional<VideoContainer> ContainerForPath(const std::string& path) {
  if (path == "-") return VideoContainer::Matroska;
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == "mkv") return VideoContainer::Matroska;
  if (ext == "avi") return VideoContainer::Avi;
  if (ext == "mp4") return VideoContainer::Mp4;
  return std::nullopt;
}

}  // namespace bf
