#include "frames/JpegInfo.h"

#include <cstdio>
#include <string>
#include <utility>

#include "frames/JpegDecompress.h"

namespace bf {

namespace {

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
  JpegErrorJump err{};
  const auto configure = [quick](jpeg_decompress_struct& cinfo) {
    if (quick) {
      cinfo.scale_num = 1;
      cinfo.scale_denom = 8;
      cinfo.dct_method = JDCT_IFAST;
      cinfo.do_fancy_upsampling = FALSE;
    }
  };
  // Every row is read, into one row of libjpeg's own pool, so that the whole scan is checked.
  const auto read = [&info](jpeg_decompress_struct& cinfo) {
    const JDIMENSION stride = cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components);
    JSAMPARRAY row =
        (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, stride, 1);
    while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, row, 1);
    info.width = static_cast<int>(cinfo.image_width);
    info.height = static_cast<int>(cinfo.image_height);
    info.components = cinfo.num_components;
  };
  if (!DecompressJpeg(jpeg, err, configure, read)) {
    info = JpegInfo{};
    info.error = err.message;
    return info;
  }
  info.warnings = static_cast<int>(err.pub.num_warnings);
  info.ok = true;
  return info;
}

}  // namespace bf
