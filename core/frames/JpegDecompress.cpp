#include "frames/JpegDecompress.h"

namespace bf {

namespace {

void OnError(j_common_ptr c) {
  auto* e = reinterpret_cast<JpegErrorJump*>(c->err);
  (*c->err->format_message)(c, e->message);
  std::longjmp(e->jump, 1);
}

}  // namespace

void UseErrorJump(jpeg_decompress_struct& cinfo, JpegErrorJump& err) {
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = &OnError;
  err.pub.output_message = [](j_common_ptr) {};
}

}  // namespace bf
