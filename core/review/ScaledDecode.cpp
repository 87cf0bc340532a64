#include "review/ScaledDecode.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace bf {

namespace {

// Hostile headers are refused before anything is allocated for them.
constexpr unsigned long kMaxPixels = 8192UL * 8192UL;

struct ErrorJump {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void OnError(j_common_ptr c) {
  std::longjmp(reinterpret_cast<ErrorJump*>(c->err)->jump, 1);
}

}  // namespace

// Nothing with a destructor lives in this frame, so the longjmp from OnError skips none; `out`
// belongs to the caller.
bool DecodeScaled(std::span<const uint8_t> jpeg, int width, RgbPicture& out) {
  out = RgbPicture{};
  if (jpeg.empty()) return false;
  jpeg_decompress_struct cinfo{};
  ErrorJump err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = &OnError;
  err.pub.output_message = [](j_common_ptr) {};
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (static_cast<unsigned long>(cinfo.image_width) * cinfo.image_height > kMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  unsigned denom = 1;
  while (denom < 8 && (cinfo.image_width + denom * 2 - 1) / (denom * 2) >=
                          static_cast<unsigned>(width > 0 ? width : 1)) {
    denom *= 2;
  }
  cinfo.scale_num = 1;
  cinfo.scale_denom = denom;
  cinfo.out_color_space = JCS_RGB;
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&cinfo);
  const std::size_t stride = std::size_t{cinfo.output_width} * 3;
  out.width = static_cast<int>(cinfo.output_width);
  out.height = static_cast<int>(cinfo.output_height);
  out.rgb.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.rgb.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace bf
