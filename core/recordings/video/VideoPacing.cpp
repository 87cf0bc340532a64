#include "recordings/video/VideoPacing.h"

#include <algorithm>
#include <numeric>

namespace bf::video {

int64_t VideoTickMs(VideoContainer container, const std::vector<uint32_t>& durations) {
  if (container != VideoContainer::Avi) return 1;
  uint32_t g = 0;
  for (uint32_t d : durations) g = std::gcd(g, d);
  return std::max<uint32_t>(g, 1);
}

}  // namespace bf::video
