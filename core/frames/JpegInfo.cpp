#include "frames/JpegInfo.h"

#include <csetjmp>
#include <cstdio>
#include <string>
#include <utility>

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
bool Decode(const uint8_t* data, std::size_t size, bool quick, ErrorManager& err, JpegInfo& info,
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
  if (quick) {
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
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

constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kDefineHuffman = 0xC4;
constexpr uint8_t kDefineArithmetic = 0xCC;
constexpr uint8_t kDefineQuantisation = 0xDB;
constexpr uint8_t kStartOfScan = 0xDA;

std::string Hex(std::size_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%zX", value);
  return text;
}

// Frame headers: SOF0..SOF15 less DHT, JPG and DAC, which share the range.
bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != kDefineHuffman && marker != 0xC8 &&
         marker != kDefineArithmetic;
}

}  // namespace

JpegInfo ReadLeadingPart(std::span<const uint8_t> part) {
  JpegInfo info;
  const auto fail = [&info](std::string why) {
    info = JpegInfo{};
    info.error = std::move(why);
    return info;
  };
  if (part.size() < 2 || part[0] != 0xFF || part[1] != kStartOfImage)
    return fail("it does not begin with a JPEG start marker (FF D8)");
  bool quantisation = false, frame = false, huffman = false;
  std::size_t at = 2;
  while (at < part.size()) {
    if (part[at] != 0xFF) return fail("no JPEG marker at offset " + Hex(at));
    std::size_t m = at + 1;
    while (m < part.size() && part[m] == 0xFF) ++m;  // fill bytes
    if (m >= part.size()) break;
    const uint8_t marker = part[m];
    if (marker == 0x00 || marker == kStartOfImage || marker == kEndOfImage ||
        (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      return fail("an unexpected marker FF " + Hex(marker).substr(2) + " at offset " + Hex(m - 1));
    }
    if (m + 2 >= part.size()) break;
    const std::size_t length = std::size_t{part[m + 1]} << 8 | part[m + 2];
    if (length < 2 || m + 1 + length > part.size()) {
      return fail("the segment FF " + Hex(marker).substr(2) + " at offset " + Hex(m - 1) +
                  " runs past its end");
    }
    const uint8_t* body = part.data() + m + 3;
    const std::size_t bodySize = length - 2;
    if (marker == kDefineQuantisation) {
      quantisation = true;
    } else if (marker == kDefineHuffman) {
      huffman = true;
    } else if (IsFrameHeader(marker)) {
      if (frame) return fail("it has two frame headers");
      if (bodySize < 6) return fail("its frame header is too short");
      info.height = body[1] << 8 | body[2];
      info.width = body[3] << 8 | body[4];
      info.components = body[5];
      if (info.width == 0 || info.height == 0)
        return fail("its frame header gives no picture size");
      if (info.components == 0 || bodySize != 6 + 3 * std::size_t{body[5]})
        return fail("its frame header lists its colour components wrongly");
      frame = true;
    } else if (marker == kStartOfScan) {
      if (!quantisation) return fail("it has no quantisation tables before its scan header");
      if (!frame) return fail("it has no frame header before its scan header");
      if (!huffman) return fail("it has no Huffman tables before its scan header");
      info.ok = true;
      return info;
    }
    at = m + 1 + length;
  }
  if (!quantisation) return fail("it has no quantisation tables");
  if (!frame) return fail("it has no frame header");
  if (!huffman) return fail("it has no Huffman tables");
  return fail("it ends before a scan header");
}

JpegInfo DecodeCheckJpeg(std::span<const uint8_t> jpeg, bool quick) {
  JpegInfo info;
  ErrorManager err{};
  long warnings = 0;
  if (!Decode(jpeg.data(), jpeg.size(), quick, err, info, warnings)) {
    info = JpegInfo{};
    info.error = err.message;
    return info;
  }
  info.warnings = static_cast<int>(warnings);
  info.ok = true;
  return info;
}

}  // namespace bf
