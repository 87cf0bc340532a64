#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace bf {

struct PictureSize {
  int width = 320;
  int height = 240;
};

// The libjpeg quality used for each compression level of the camera: 0 compresses most
// (lowest quality), 4 least. Levels above 4 use the level-4 quality.
int QualityForCompression(uint8_t compression);

// Encodes pictures the way the camera does, returning only the frame payload: the bytes after
// the start-of-scan header through the closing FF D9. The leading part that goes with it comes
// from the header table generated with the same settings (HeaderGenerator.h).
//
// Settings: baseline, standard Huffman tables, no restart markers, JFIF APP0 without thumbnail;
// black-and-white pictures are converted to one grey component inside the encoder.
//
// Threads: not thread-safe; keep one encoder per thread. It keeps its libjpeg state between
// calls so that encoding many frames costs no set-up.
class FramePayloadEncoder {
 public:
  explicit FramePayloadEncoder(PictureSize size);
  ~FramePayloadEncoder();
  FramePayloadEncoder(const FramePayloadEncoder&) = delete;
  FramePayloadEncoder& operator=(const FramePayloadEncoder&) = delete;

  PictureSize Size() const { return size_; }

  // rgb24: width * height * 3 bytes, rows top to bottom. Throws std::runtime_error if libjpeg
  // reports an error.
  std::vector<uint8_t> Encode(const uint8_t* rgb24, bool monochrome, uint8_t compression);

  // The whole JPEG file as libjpeg writes it (leading part + payload), for the generator.
  std::vector<uint8_t> EncodeFile(const uint8_t* rgb24, bool monochrome, uint8_t compression);

 private:
  struct State;
  void Compress(const uint8_t* rgb24, bool monochrome, uint8_t compression);
  PictureSize size_;
  std::unique_ptr<State> state_;
};

// Offset of the first byte after the start-of-scan header of a JPEG file, or 0 when the file
// has no well-formed start-of-scan segment.
std::size_t ScanDataOffset(std::span<const uint8_t> jpeg);

}  // namespace bf
