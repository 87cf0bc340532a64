#pragma once
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bf {

// Decodes a baseline JPEG through libjpeg-turbo straight into a 32-bit QImage buffer
// (Format_RGB32). Black-and-white pictures are decoded to 8-bit grey and widened once here, so
// that painting never converts. One decompressor handle
// per object: an object may move between threads but must not be used by two at once.
class JpegDecoder {
 public:
  JpegDecoder();
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Pictures larger than this in either direction are refused: the size comes from the stream,
  // and a damaged one must not make us allocate gigabytes.
  static constexpr int kMaxDimension = 8192;

  // The decoded picture, or a null image when the data is not a decodable JPEG. Damage that
  // the decoder can work around (a truncated or corrupt scan) still yields a picture, as the
  // platform decoders do.
  QImage Decode(const uint8_t* data, std::size_t size);

  // Hands back a picture that is no longer needed; the next Decode of the same size writes into
  // its buffer instead of allocating (and faulting in) a fresh megabyte per frame. Pictures
  // still shared with someone else are simply dropped.
  void Recycle(QImage&& image);

 private:
  QImage TakeRecycled(int width, int height);
  bool DecodeGrey(const uint8_t* data, unsigned long length, QImage& image);

  void* handle_;  // tjhandle
  QImage recycled_;
  std::vector<uint8_t> grey_;  // 8-bit scratch picture for black-and-white frames
};

}  // namespace bf
