#include "frames/JpegInfo.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace bf {

namespace {

// Larger pictures are refused before decoding, so that a hostile header cannot make the check
// allocate or spin without bound.
constexpr unsigned long kMaxPixels = 8192UL * 8192UL;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr c) {
  auto* e = reinterpret_cast<ErrorManager*>(c->err);
  (*c->err->format_message)(c, e->message);
  std::longjmp(e->jump, 1);
}

// Everything libjpeg touches lives in this frame or in libjpeg's own pools, so the longjmp from
// OnError skips no destructor. Returns false with err.message set on failure.
bool Decode(const uint8_t* data, std::size_t size, ErrorManager& err, JpegInfo& info,
            long& warnings) {
  jpeg_decompress_struct cinfo{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = &OnError;
  err.pub.output_message = [](j_common_ptr) {};
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  if (static_cast<unsigned long>(cinfo.image_width) * cinfo.image_height > kMaxPixels) {
    std::snprintf(err.message, sizeof err.message, "picture too large: %ux%u", cinfo.image_width,
                  cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  const JDIMENSION stride = cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components);
  JSAMPARRAY row =
      (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, stride, 1);
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, row, 1);
  jpeg_finish_decompress(&cinfo);
  info.width = static_cast<int>(cinfo.image_width);
  info.height = static_cast<int>(cinfo.image_height);
  info.components = cinfo.num_components;
  warnings = err.pub.num_warnings;
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

JpegInfo DecodeCheckJpeg(std::span<const uint8_t> jpeg) {
  JpegInfo info;
  ErrorManager err{};
  long warnings = 0;
  if (!Decode(jpeg.data(), jpeg.size(), err, info, warnings)) {
    info = JpegInfo{};
    info.error = err.message;
    return info;
  }
  info.warnings = static_cast<int>(warnings);
  info.ok = true;
  return info;
}

}  // namespace bf
