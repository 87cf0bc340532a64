#include "frames/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

namespace bf {

namespace {

constexpr int kQualities[] = {25, 40, 55, 75, 90};
constexpr std::size_t kInitialOutput = 64 * 1024;

}  // namespace

int QualityForCompression(uint8_t compression) {
  return kQualities[compression < 5 ? compression : 4];
}

// libjpeg state kept across frames. Errors leave libjpeg through longjmp, never exit(); the
// jump lands in Compress(), whose frame holds nothing that needs a destructor.
struct FramePayloadEncoder::State {
  struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
  };
  struct Destination {
    jpeg_destination_mgr pub;
    std::vector<uint8_t>* out;
  };

  jpeg_compress_struct cinfo{};
  ErrorManager error{};
  Destination destination{};
  std::vector<uint8_t> output;
  std::vector<JSAMPROW> rows;

  State() {
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = &OnError;
    error.pub.output_message = [](j_common_ptr) {};
    // jpeg_create_compress only allocates; its failure would jump, so set up the jump first.
    if (setjmp(error.jump)) throw std::runtime_error("libjpeg: cannot create the compressor");
    jpeg_create_compress(&cinfo);
    destination.pub.init_destination = &InitDestination;
    destination.pub.empty_output_buffer = &EmptyOutputBuffer;
    destination.pub.term_destination = &TermDestination;
    destination.out = &output;
    cinfo.dest = &destination.pub;
  }
  ~State() { jpeg_destroy_compress(&cinfo); }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  static void OnError(j_common_ptr c) {
    auto* e = reinterpret_cast<ErrorManager*>(c->err);
    (*c->err->format_message)(c, e->message);
    std::longjmp(e->jump, 1);
  }
  static Destination* Dest(j_compress_ptr c) { return reinterpret_cast<Destination*>(c->dest); }
  static void Grow(j_compress_ptr c, std::size_t newSize) {
    bool failed = false;
    try {
      Dest(c)->out->resize(newSize);
    } catch (...) {
      failed = true;
    }
    if (failed) {
      c->err->msg_code = JERR_OUT_OF_MEMORY;
      (*c->err->error_exit)(reinterpret_cast<j_common_ptr>(c));
    }
  }
  static void InitDestination(j_compress_ptr c) {
    Grow(c, kInitialOutput);
    c->dest->next_output_byte = Dest(c)->out->data();
    c->dest->free_in_buffer = Dest(c)->out->size();
  }
  static boolean EmptyOutputBuffer(j_compress_ptr c) {
    auto& out = *Dest(c)->out;
    const std::size_t used = out.size();
    Grow(c, used * 2);
    c->dest->next_output_byte = out.data() + used;
    c->dest->free_in_buffer = out.size() - used;
    return TRUE;
  }
  static void TermDestination(j_compress_ptr c) {
    auto& out = *Dest(c)->out;
    out.resize(out.size() - c->dest->free_in_buffer);
  }

  // Returns false with error.message filled when libjpeg fails.
  bool Compress(PictureSize size, bool monochrome, uint8_t compression) {
    if (setjmp(error.jump)) {
      jpeg_abort_compress(&cinfo);
      return false;
    }
    cinfo.image_width = static_cast<JDIMENSION>(size.width);
    cinfo.image_height = static_cast<JDIMENSION>(size.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (monochrome) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(&cinfo, QualityForCompression(compression), TRUE);
    cinfo.optimize_coding = FALSE;
    cinfo.restart_interval = 0;
    cinfo.restart_in_rows = 0;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      const JDIMENSION line = cinfo.next_scanline;
      jpeg_write_scanlines(&cinfo, rows.data() + line, cinfo.image_height - line);
    }
    jpeg_finish_compress(&cinfo);
    return true;
  }
};

FramePayloadEncoder::FramePayloadEncoder(PictureSize size)
    : size_(size), state_(std::make_unique<State>()) {
  if (size.width <= 0 || size.height <= 0 || size.width > 0xFFFF || size.height > 0xFFFF) {
    throw std::invalid_argument("picture size out of range: " + std::to_string(size.width) + "x" +
                                std::to_string(size.height));
  }
  state_->rows.resize(static_cast<std::size_t>(size.height));
}

FramePayloadEncoder::~FramePayloadEncoder() = default;

void FramePayloadEncoder::Compress(const uint8_t* rgb24, bool monochrome, uint8_t compression) {
  const std::size_t stride = static_cast<std::size_t>(size_.width) * 3;
  for (std::size_t y = 0; y < state_->rows.size(); ++y) {
    // libjpeg's row type is non-const but the compressor only reads the rows.
    state_->rows[y] = const_cast<JSAMPROW>(rgb24 + y * stride);
  }
  if (!state_->Compress(size_, monochrome, compression)) {
    throw std::runtime_error(std::string("libjpeg: ") + state_->error.message);
  }
}

std::vector<uint8_t> FramePayloadEncoder::EncodeFile(const uint8_t* rgb24, bool monochrome,
                                                     uint8_t compression) {
  Compress(rgb24, monochrome, compression);
  return state_->output;
}

std::vector<uint8_t> FramePayloadEncoder::Encode(const uint8_t* rgb24, bool monochrome,
                                                 uint8_t compression) {
  Compress(rgb24, monochrome, compression);
  const std::vector<uint8_t>& file = state_->output;
  const std::size_t start = ScanDataOffset(file);
  if (start == 0) throw std::runtime_error("libjpeg wrote no start-of-scan header");
  return {file.begin() + static_cast<std::ptrdiff_t>(start), file.end()};
}

std::size_t ScanDataOffset(std::span<const uint8_t> jpeg) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return 0;
  std::size_t pos = 2;
  while (pos + 4 <= jpeg.size()) {
    if (jpeg[pos] != 0xFF) return 0;
    const uint8_t marker = jpeg[pos + 1];
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xD8 || marker == 0xD9 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      return 0;  // no scan header before the image ends or restarts
    }
    const std::size_t length = static_cast<std::size_t>(jpeg[pos + 2] << 8 | jpeg[pos + 3]);
    if (length < 2 || pos + 2 + length > jpeg.size()) return 0;
    pos += 2 + length;
    if (marker == 0xDA) return pos;
  }
  return 0;
}

}  // namespace bf
