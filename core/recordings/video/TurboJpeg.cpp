#include "recordings/video/TurboJpeg.h"

#include <turbojpeg.h>

#include <memory>

namespace bf::video {

namespace {

struct TjFree {
  void operator()(unsigned char* p) const { tjFree(p); }
};

}  // namespace

TurboJpeg::TurboJpeg()
    : decompressor_(tjInitDecompress()), transformer_(tjInitTransform()), compressor_(nullptr) {}

TurboJpeg::~TurboJpeg() {
  if (decompressor_ != nullptr) tjDestroy(decompressor_);
  if (transformer_ != nullptr) tjDestroy(transformer_);
  if (compressor_ != nullptr) tjDestroy(compressor_);
}

bool TurboJpeg::Probe(std::span<const uint8_t> jpeg, JpegLayout& out) {
  if (decompressor_ == nullptr || jpeg.empty()) return false;
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(decompressor_, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                          &width, &height, &subsampling, &colourspace) != 0) {
    return false;
  }
  if (width <= 0 || height <= 0 || subsampling < 0 || subsampling >= TJ_NUMSAMP) return false;
  if (colourspace != TJCS_YCbCr && colourspace != TJCS_GRAY) return false;
  out = JpegLayout{width, height, subsampling};
  return true;
}

bool TurboJpeg::Rotate(std::span<const uint8_t> jpeg, int degrees, std::vector<uint8_t>& out) {
  if (transformer_ == nullptr || jpeg.empty()) return false;
  tjtransform transform{};
  switch (degrees) {
    case 90:
      transform.op = TJXOP_ROT90;
      break;
    case 180:
      transform.op = TJXOP_ROT180;
      break;
    case 270:
      transform.op = TJXOP_ROT270;
      break;
    default:
      return false;
  }
  transform.options = TJXOPT_TRIM;
  unsigned char* raw = nullptr;
  unsigned long size = 0;
  const int rc = tjTransform(transformer_, jpeg.data(), static_cast<unsigned long>(jpeg.size()), 1,
                             &raw, &size, &transform, 0);
  const std::unique_ptr<unsigned char, TjFree> owned(raw);
  if (rc != 0 || raw == nullptr || size == 0) return false;
  out.assign(raw, raw + size);
  return true;
}

bool TurboJpeg::Decode(std::span<const uint8_t> jpeg, YuvPicture& out) {
  if (!Probe(jpeg, out.layout)) return false;
  const JpegLayout& l = out.layout;
  out.planeCount = l.subsampling == TJSAMP_GRAY ? 1 : 3;
  unsigned char* planes[3] = {};
  int strides[3] = {};
  for (int p = 0; p < out.planeCount; ++p) {
    out.widths[p] = tjPlaneWidth(p, l.width, l.subsampling);
    out.heights[p] = tjPlaneHeight(p, l.height, l.subsampling);
    if (out.widths[p] <= 0 || out.heights[p] <= 0) return false;
    out.planes[p].resize(static_cast<std::size_t>(out.widths[p]) * out.heights[p]);
    planes[p] = out.planes[p].data();
    strides[p] = out.widths[p];
  }
  // Damage that libjpeg-turbo can work around (a cut scan) is decoded as the player shows it;
  // only a hard error counts as a frame that does not decode.
  const int rc =
      tjDecompressToYUVPlanes(decompressor_, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                              planes, l.width, strides, l.height, 0);
  return rc == 0 || tjGetErrorCode(decompressor_) == TJERR_WARNING;
}

bool TurboJpeg::Encode(const YuvPicture& picture, int quality, std::vector<uint8_t>& out) {
  // Made on first use: an export that only copies pictures never needs it.
  if (compressor_ == nullptr) compressor_ = tjInitCompress();
  if (compressor_ == nullptr || picture.planeCount < 1) return false;
  const JpegLayout& l = picture.layout;
  const unsigned char* planes[3] = {};
  int strides[3] = {};
  for (int p = 0; p < picture.planeCount; ++p) {
    planes[p] = picture.planes[p].data();
    strides[p] = picture.widths[p];
  }
  unsigned char* raw = nullptr;
  unsigned long size = 0;
  const int rc = tjCompressFromYUVPlanes(compressor_, planes, l.width, strides, l.height,
                                         l.subsampling, &raw, &size, quality, 0);
  const std::unique_ptr<unsigned char, TjFree> owned(raw);
  if (rc != 0 || raw == nullptr || size == 0) return false;
  out.assign(raw, raw + size);
  return true;
}

}  // namespace bf::video
