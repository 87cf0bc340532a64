#pragma once
#include <QImage>
#include <cstddef>
#include <cstdint>

namespace bf {

// Decodes a baseline JPEG through libjpeg-turbo straight into a 32-bit QImage buffer (colour as
// Format_RGB32; black-and-white pictures decoded to 8-bit grey and widened to 32 bits once, so
// that painting never converts). One decompressor handle per object: an object may move
// between threads but must not be used by two at once.
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

 private:
  void* handle_;  // tjhandle
};

}  // namespace bf
