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
JpegInfo DecodeCheckJpeg(std::span<const uint8_t> jpeg);

}  // namespace bf
