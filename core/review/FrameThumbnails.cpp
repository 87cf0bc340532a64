#include "review/FrameThumbnails.h"

#include <algorithm>
#include <vector>

#include "frames/RebuildJpeg.h"

namespace bf {

FrameThumbnails::FrameThumbnails(const Recording& recording, const JpegHeaderTable& table,
                                 int width, std::size_t capacity)
    : recording_(recording),
      table_(table),
      width_(width),
      capacity_(std::max<std::size_t>(capacity, 1)) {}

std::shared_ptr<const RgbPicture> FrameThumbnails::Get(std::size_t frame) {
  if (const auto found = where_.find(frame); found != where_.end()) {
    order_.splice(order_.begin(), order_, found->second);
    return found->second->second;
  }
  std::shared_ptr<const RgbPicture> thumbnail;
  std::vector<uint8_t> payload;
  if (frame < recording_.Count() && recording_.ReadPayload(frame, payload)) {
    ++decodes_;
    auto picture = std::make_shared<RgbPicture>();
    const std::vector<uint8_t> jpeg =
        RebuildJpeg(table_, recording_.Index()[frame].header, payload);
    if (DecodeScaled(jpeg, width_, *picture)) thumbnail = std::move(picture);
  }
  if (order_.size() >= capacity_) {
    where_.erase(order_.back().first);
    order_.pop_back();
  }
  order_.emplace_front(frame, thumbnail);
  where_[frame] = order_.begin();
  return thumbnail;
}

void FrameThumbnails::Clear() {
  order_.clear();
  where_.clear();
}

}  // namespace bf
