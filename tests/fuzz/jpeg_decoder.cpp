// Arbitrary bytes through the window's JPEG decoder, as every shown frame goes. A picture, when
// one comes out, must be a 32-bit image within the size limit; decoding the same bytes again
// into the recycled buffer of the first picture must give the very same pixels (a row the
// decoder left unwritten would show the previous frame, or uninitialised memory); and nothing
// may read or write outside a buffer (sanitizers).
#include <QImage>
#include <cstdint>
#include <cstdlib>

#include "picture/JpegDecoder.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One decoder for the whole run, as the picture control keeps one: what one input leaves in
  // it (recycled picture, grey scratch buffer) must not change the next input's result.
  static bf::JpegDecoder decoder;
  QImage first = decoder.Decode(data, size);
  if (first.isNull()) return 0;
  Require(first.format() == QImage::Format_RGB32);
  Require(first.width() > 0 && first.width() <= bf::JpegDecoder::kMaxDimension);
  Require(first.height() > 0 && first.height() <= bf::JpegDecoder::kMaxDimension);
  Require(first.bytesPerLine() >= 4 * static_cast<qsizetype>(first.width()));

  const QImage kept = first.copy();
  // A pattern no decode writes, so that any pixel the next decode leaves alone shows up.
  first.fill(0x00123456u);
  decoder.Recycle(std::move(first));
  QImage again = decoder.Decode(data, size);
  Require(!again.isNull());
  Require(again == kept);
  decoder.Recycle(std::move(again));
  return 0;
}
