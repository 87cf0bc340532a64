#include "picture/JpegDecoder.h"

#include <turbojpeg.h>

#include <QtGlobal>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace bf {

namespace {

// Format_RGB32 is 0xffRRGGBB in native byte order; turbojpeg fills the X byte with 0xFF.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr int kRgb32PixelFormat = TJPF_BGRX;
#else
constexpr int kRgb32PixelFormat = TJPF_XRGB;
#endif

// One row of grey levels to 0xffGGGGGG pixels. Sixteen at a time where SSE2 is there: the
// widening is pure memory traffic and the scalar loop costs a third of a decode.
void WidenGreyRow(const uint8_t* in, uint32_t* out, int width) {
  int x = 0;
#ifdef __SSE2__
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; x + 16 <= width; x += 16) {
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
    const __m128i lo = _mm_unpacklo_epi8(g, g);  // g0 g0 g1 g1 ...
    const __m128i hi = _mm_unpackhi_epi8(g, g);
    auto* dst = reinterpret_cast<__m128i*>(out + x);
    _mm_storeu_si128(dst + 0, _mm_or_si128(_mm_unpacklo_epi16(lo, lo), alpha));
    _mm_storeu_si128(dst + 1, _mm_or_si128(_mm_unpackhi_epi16(lo, lo), alpha));
    _mm_storeu_si128(dst + 2, _mm_or_si128(_mm_unpacklo_epi16(hi, hi), alpha));
    _mm_storeu_si128(dst + 3, _mm_or_si128(_mm_unpackhi_epi16(hi, hi), alpha));
  }
#endif
  for (; x < width; ++x) out[x] = 0xFF000000u | in[x] * 0x010101u;
}

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

  QImage image = TakeRecycled(width, height);
  if (image.isNull()) image = QImage(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};  // allocation failed
  if (colourspace == TJCS_GRAY) {
    if (!DecodeGrey(data, length, image)) return {};
  } else {
    const int result =
        tjDecompress2(handle, data, length, image.bits(), width,
                      static_cast<int>(image.bytesPerLine()), height, kRgb32PixelFormat, 0);
    if (!DecodeSucceeded(handle, result)) return {};
  }
  return image;
}

bool JpegDecoder::DecodeGrey(const uint8_t* data, unsigned long length, QImage& image) {
  // Decoding to 8 bits and widening with a plain loop costs far less than letting the decoder
  // convert grey to 32-bit pixels itself.
  auto* handle = static_cast<tjhandle>(handle_);
  const int width = image.width();
  const int height = image.height();
  const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (grey_.size() < pixels) grey_.resize(pixels);
  const int result =
      tjDecompress2(handle, data, length, grey_.data(), width, width, height, TJPF_GRAY, 0);
  if (!DecodeSucceeded(handle, result)) return false;
  for (int y = 0; y < height; ++y) {
    WidenGreyRow(grey_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                 reinterpret_cast<uint32_t*>(image.scanLine(y)), width);
  }
  return true;
}

void JpegDecoder::Recycle(QImage&& image) {
  // Only a buffer nobody else shares can be written into without a copy.
  if (image.format() == QImage::Format_RGB32 && image.isDetached()) {
    recycled_ = std::move(image);
  } else {
    image = QImage();
  }
}

QImage JpegDecoder::TakeRecycled(int width, int height) {
  QImage image = std::move(recycled_);
  recycled_ = QImage();
  if (image.width() != width || image.height() != height) return {};
  return image;
}

}  // namespace bf
