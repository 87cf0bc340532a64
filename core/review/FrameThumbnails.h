#pragma once
#include <cstddef>
#include <list>
#include <memory>
#include <unordered_map>

#include "frames/JpegHeaderTable.h"
#include "recordings/Recording.h"
#include "review/ScaledDecode.h"

namespace bf {

// Thumbnails of a recording's frames for hovering over the timeline: each frame read, rebuilt
// and decoded at a reduced scale once, the most recently used ones kept, at most `capacity`.
// A frame that cannot be read or decoded is remembered as having no thumbnail. The recording
// and the table are borrowed; Clear when the recording is opened again. One thread (the GUI's).
class FrameThumbnails {
 public:
  FrameThumbnails(const Recording& recording, const JpegHeaderTable& table, int width,
                  std::size_t capacity);

  // The thumbnail of the frame at that position of the frame index, or nullptr.
  std::shared_ptr<const RgbPicture> Get(std::size_t frame);
  void Clear();

  std::size_t Size() const { return order_.size(); }
  // How many frames have been decoded since construction.
  std::size_t Decodes() const { return decodes_; }

 private:
  using Entry = std::pair<std::size_t, std::shared_ptr<const RgbPicture>>;

  const Recording& recording_;
  const JpegHeaderTable& table_;
  int width_;
  std::size_t capacity_;
  std::list<Entry> order_;  // most recently used first
  std::unordered_map<std::size_t, std::list<Entry>::iterator> where_;
  std::size_t decodes_ = 0;
};

}  // namespace bf
