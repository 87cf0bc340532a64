// Arbitrary bytes as a headers.dat candidate and as a run of frame records rebuilt against the
// generated table: loading must refuse short input, rebuilding must stay inside the table and
// the payload, and decoding whatever comes out must never end the process.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "frames/FrameHeader.h"
#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/OverlayText.h"
#include "frames/RebuildJpeg.h"

namespace {

constexpr int kMaxRecordsDecoded = 4;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bf::JpegHeaderTable generated = bf::GenerateHeaderTable({320, 240});
  const std::span<const uint8_t> input(data, size);

  bf::JpegHeaderTable candidate;
  const auto loaded = bf::LoadJpegHeaderTableFromBytes(input, "input", candidate);
  // Only ten whole leading parts for one picture size make a table.
  Require(!loaded.ok || size >= bf::JpegHeaderTable::kFileSize);
  Require(loaded.ok || !loaded.error.empty());
  if (loaded.ok) {
    const bf::JpegInfo first = bf::ReadLeadingPart(candidate.SelectHeaderEntry(0, 1));
    for (uint8_t monochrome : {uint8_t{0}, uint8_t{1}}) {
      for (uint8_t c = 0; c < 5; ++c) {
        const bf::JpegInfo part = bf::ReadLeadingPart(candidate.SelectHeaderEntry(c, monochrome));
        Require(part.ok && part.width == first.width && part.height == first.height);
      }
    }
  }

  std::size_t pos = 0;
  int decoded = 0;
  while (pos + bf::kFrameHeaderSize <= size && decoded < kMaxRecordsDecoded) {
    const auto header = bf::FrameHeader::FromBytes(data + pos);
    const auto payload = input.subspan(pos + bf::kFrameHeaderSize);
    const auto jpeg = bf::RebuildJpeg(generated, header, payload);
    const auto entry = generated.SelectHeaderEntry(header.Compression(), header.Monochrome());
    if (header.Compression() > 4) {
      Require(jpeg.empty());
    } else {
      const std::size_t present = std::min<std::size_t>(bf::PayloadLength(header), payload.size());
      Require(jpeg.size() == entry.size() + present);
      bf::DecodeCheckJpeg(jpeg);
      ++decoded;
    }
    (void)bf::BuildOverlayText(header);
    // Records follow each other back to back; garbage is skipped a byte at a time.
    pos += bf::IsFrameHeader(header) ? bf::kFrameHeaderSize + bf::PayloadLength(header) : 1;
  }
  return 0;
}
