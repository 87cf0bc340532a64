#pragma once
// Pictures for the picture-control and display tests: JPEGs with sharp, block-aligned colour
// areas, so that colours survive compression and a placement can be read back from pixels.
#include <turbojpeg.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace bf::test {

inline const QColor kTopLeft(220, 0, 0);        // red
inline const QColor kTopRight(0, 200, 0);       // green
inline const QColor kBottomLeft(0, 0, 220);     // blue
inline const QColor kBottomRight(230, 230, 0);  // yellow

// Four solid quadrants; use sizes that are multiples of 16 so the edges fall on block edges.
inline QImage QuadrantImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter painter(&image);
  const int w = width / 2;
  const int h = height / 2;
  painter.fillRect(0, 0, w, h, kTopLeft);
  painter.fillRect(w, 0, width - w, h, kTopRight);
  painter.fillRect(0, h, w, height - h, kBottomLeft);
  painter.fillRect(w, h, width - w, height - h, kBottomRight);
  return image;
}

// Encodes at the highest quality without chroma subsampling (or as one grey component).
inline std::vector<uint8_t> EncodeJpeg(const QImage& source, bool grey = false) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  tjhandle handle = tjInitCompress();
  if (handle == nullptr) throw std::runtime_error("tjInitCompress");
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int result =
      tjCompress2(handle, image.constBits(), image.width(), static_cast<int>(image.bytesPerLine()),
                  image.height(), TJPF_BGRX, &out, &size, grey ? TJSAMP_GRAY : TJSAMP_444, 100, 0);
  std::vector<uint8_t> jpeg;
  if (result == 0) jpeg.assign(out, out + size);
  tjFree(out);
  tjDestroy(handle);
  if (jpeg.empty()) throw std::runtime_error("tjCompress2");
  return jpeg;
}

// Close to the expected colour, allowing for compression and smoothing.
inline bool Near(QColor actual, QColor expected, int tolerance = 24) {
  return std::abs(actual.red() - expected.red()) <= tolerance &&
         std::abs(actual.green() - expected.green()) <= tolerance &&
         std::abs(actual.blue() - expected.blue()) <= tolerance;
}

}  // namespace bf::test
