#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace bf {

struct JpegInfo {
  bool ok = false;
  int width = 0;
  int height = 0;
  int components = 0;
  int warnings = 0;   // corrupt-data warnings (e.g. premature end of data) of a decoded picture
  std::string error;  // libjpeg's message when !ok
};

// Fully decodes a JPEG held in memory with libjpeg and reports its size and component count.
// A libjpeg error never ends the process: it comes back as ok == false. Data libjpeg can still
// decode with substitutions (a truncated scan) gives ok with warnings > 0. Threads: any.
// quick: decodes at an eighth of the size, which still reads every bit of the scan (so a scan
// that does not fit the picture still shows as an error or a warning) at a fraction of the cost.
JpegInfo DecodeCheckJpeg(std::span<const uint8_t> jpeg, bool quick = false);

// Checks that `part` is the leading part of a baseline or progressive JPEG up to and including
// its scan header: the start marker, then complete marker segments that give quantisation
// tables, a frame header with a picture size, Huffman tables and a scan header, in an order a
// decoder accepts. Bytes after the scan header are not looked at. On success width, height and
// components come from the frame header; otherwise error says what is wrong, for a message.
// Nothing is decoded. Threads: any.
JpegInfo ReadLeadingPart(std::span<const uint8_t> part);

}  // namespace bf
