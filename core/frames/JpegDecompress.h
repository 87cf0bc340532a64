#pragma once
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include <jpeglib.h>

namespace bf {

// Larger pictures are refused before decoding, so that a hostile header cannot make a decoder
// allocate or spin without bound.
constexpr unsigned long kMaxJpegPixels = 8192UL * 8192UL;

// libjpeg's error handler must not return: this one keeps libjpeg's message and jumps back into
// DecompressJpeg, which then fails instead of ending the process. Warnings print nothing; their
// count stays in pub.num_warnings.
struct JpegErrorJump {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// Makes `err` the error manager of `cinfo`.
void UseErrorJump(jpeg_decompress_struct& cinfo, JpegErrorJump& err);

// Decompresses the JPEG held in `jpeg` with libjpeg: reads its header, refuses a picture of more
// than kMaxJpegPixels, lets configure(cinfo) choose the output (scale, colour space, DCT), starts
// the decompression, lets read(cinfo) read the scanlines and finishes. Returns false with
// err.message set when libjpeg fails or the picture is too large. Threads: any.
// configure and read run under the error jump, so nothing with a destructor may live in their
// own frames across a libjpeg call; what they fill belongs to the caller.
template <typename Configure, typename Read>
bool DecompressJpeg(std::span<const uint8_t> jpeg, JpegErrorJump& err, Configure&& configure,
                    Read&& read) {
  jpeg_decompress_struct cinfo{};
  UseErrorJump(cinfo, err);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (static_cast<unsigned long>(cinfo.image_width) * cinfo.image_height > kMaxJpegPixels) {
    std::snprintf(err.message, sizeof err.message, "picture too large: %ux%u", cinfo.image_width,
                  cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  configure(cinfo);
  jpeg_start_decompress(&cinfo);
  read(cinfo);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace bf
