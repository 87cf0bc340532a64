#include "picture/JpegDecoder.h"

#include <turbojpeg.h>

#include <QtGlobal>
#include <limits>

namespace bf {

namespace {

// Format_RGB32 is 0xffRRGGBB in native byte order; turbojpeg fills the X byte with 0xFF.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr int kRgb32PixelFormat = TJPF_BGRX;
#else
constexpr int kRgb32PixelFormat = TJPF_XRGB;
#endif

// A warning (premature end of data, corrupt entropy data) still leaves a full picture in the
// buffer; only a real error leaves nothing usable.
bool DecodeSucceeded(tjhandle handle, int result) {
  return result == 0 || tjGetErrorCode(handle) == TJERR_WARNING;
}

}  // namespace

JpegDecoder::JpegDecoder() : handle_(tjInitDecompress()) {}

JpegDecoder::~JpegDecoder() {
  if (handle_ != nullptr) tjDestroy(static_cast<tjhandle>(handle_));
}

QImage JpegDecoder::Decode(const uint8_t* data, std::size_t size) {
  auto* handle = static_cast<tjhandle>(handle_);
  if (handle == nullptr || data == nullptr || size == 0 ||
      size > std::numeric_limits<unsigned long>::max()) {
    return {};
  }
  const auto length = static_cast<unsigned long>(size);
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colourspace = 0;
  if (tjDecompressHeader3(handle, data, length, &width, &height, &subsampling, &colourspace) != 0) {
    return {};
  }
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return {};

  const bool grey = colourspace == TJCS_GRAY;
  QImage image(width, height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
  if (image.isNull()) return {};  // allocation failed
  const int result = tjDecompress2(handle, data, length, image.bits(), width,
                                   static_cast<int>(image.bytesPerLine()), height,
                                   grey ? TJPF_GRAY : kRgb32PixelFormat, 0);
  if (!DecodeSucceeded(handle, result)) return {};
  if (grey) return image.convertToFormat(QImage::Format_RGB32);
  return image;
}

}  // namespace bf
