#pragma once
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/JpegDecoder.h"

class QPainter;

namespace bf {

// Quarter turns applied to a newly loaded picture, clockwise; the values are those the
// rotation radio buttons store (0, 1, 2, 3).
enum class Rotation : int { None = 0, Cw90 = 1, Cw180 = 2, Cw270 = 3 };

// One decoded picture and the private copy of the encoded bytes it was decoded from; the two
// live and go together. Not thread-safe: the owner serialises every call (the picture control
// guards it with its mutex).
class CPicture {
 public:
  // Drops the decoded image and the encoded bytes.
  void Release();
  // Release, keep a private copy of the bytes (the caller's buffer may go right away), decode.
  // False when the bytes are not a decodable picture; no image is held then.
  bool LoadFromMemory(const uint8_t* data, std::size_t length);
  // The embedded picture ":/images/<id>", loaded like LoadFromMemory. With none embedded
  // returns false and keeps the current picture.
  bool LoadFromResource(int id);
  // Turns the held image in place; nothing without an image.
  void RotateFlip(Rotation type);
  // Pixel width and height; (0, 0) with no image.
  QSize GetSize() const { return image_.size(); }
  bool HasImage() const { return !image_.isNull(); }
  // Draws the image scaled into (left, top)-(right, bottom); all four 0 means natural size at
  // the origin. Always true: QPainter reports no failures (there is no counterpart of the
  // system-error case of the platform imaging library).
  bool Draw(QPainter& painter, int left, int top, int right, int bottom) const;

  const QImage& Image() const { return image_; }
  const std::vector<uint8_t>& Memory() const { return memory_; }

 private:
  QImage image_;
  std::vector<uint8_t> memory_;
  JpegDecoder decoder_;
};

}  // namespace bf
