#include "review/ScaledDecode.h"

#include <cstddef>

#include "frames/JpegDecompress.h"

namespace bf {

bool DecodeScaled(std::span<const uint8_t> jpeg, int width, RgbPicture& out) {
  out = RgbPicture{};
  if (jpeg.empty()) return false;
  JpegErrorJump err{};
  const auto configure = [width](jpeg_decompress_struct& cinfo) {
    unsigned denom = 1;
    while (denom < 8 && (cinfo.image_width + denom * 2 - 1) / (denom * 2) >=
                            static_cast<unsigned>(width > 0 ? width : 1)) {
      denom *= 2;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = denom;
    cinfo.out_color_space = JCS_RGB;
    cinfo.dct_method = JDCT_ISLOW;
  };
  const auto read = [&out](jpeg_decompress_struct& cinfo) {
    const std::size_t stride = std::size_t{cinfo.output_width} * 3;
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.rgb.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = out.rgb.data() + stride * cinfo.output_scanline;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
  };
  return DecompressJpeg(jpeg, err, configure, read);
}

}  // namespace bf
