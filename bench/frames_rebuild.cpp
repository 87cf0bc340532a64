// What the frame path costs per picture: finding records in a buffer, rebuilding a JPEG from a
// payload, and (as the yardstick) decoding the rebuilt JPEG. The rebuild should cost well under
// 1% of the decode.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "frames/FrameHeader.h"
#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"

namespace {

constexpr bf::PictureSize kSize{320, 240};

std::vector<uint8_t> BusyPicture() {
  std::vector<uint8_t> rgb(static_cast<std::size_t>(kSize.width * kSize.height * 3));
  uint32_t noise = 12345;
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    noise = noise * 1103515245u + 12345u;
    const std::size_t x = i / 3 % static_cast<std::size_t>(kSize.width);
    const std::size_t y = i / 3 / static_cast<std::size_t>(kSize.width);
    rgb[i] = static_cast<uint8_t>(x + y + ((x / 4 + y / 4) % 2) * 60 + (noise >> 28));
  }
  return rgb;
}

// A colour frame of about 20 KB, with its header.
struct Frame {
  bf::FrameHeader header;
  std::vector<uint8_t> payload;
};

const Frame& TwentyKilobyteFrame() {
  static const Frame frame = [] {
    const auto picture = BusyPicture();
    bf::FramePayloadEncoder encoder(kSize);
    Frame f;
    for (uint8_t c = 0; c < 5; ++c) {
      f.payload = encoder.Encode(picture.data(), false, c);
      f.header = bf::FrameHeader::Make(static_cast<uint16_t>(f.payload.size() + 16), 0, c, 0, 6, 0);
      if (f.payload.size() >= 20000) break;
    }
    return f;
  }();
  return frame;
}

const bf::JpegHeaderTable& Table() {
  static const bf::JpegHeaderTable table = bf::GenerateHeaderTable(kSize);
  return table;
}

void BM_WalkRecords(benchmark::State& state) {
  // Back-to-back records of varying length, as in a recording file.
  std::vector<uint8_t> buffer;
  std::size_t records = 0;
  for (uint16_t payload = 500; buffer.size() < (8u << 20);
       payload = static_cast<uint16_t>(payload * 7 % 30000 + 500)) {
    const auto h = bf::FrameHeader::Make(static_cast<uint16_t>(payload + 16), 0, 2, 0, 6, 0);
    buffer.insert(buffer.end(), h.bytes.begin(), h.bytes.end());
    buffer.resize(buffer.size() + payload, 0x55);
    ++records;
  }
  for (auto _ : state) {
    std::size_t pos = 0;
    std::size_t found = 0;
    while (pos + bf::kFrameHeaderSize <= buffer.size() && bf::IsFrameHeader(buffer.data() + pos)) {
      pos +=
          bf::kFrameHeaderSize + bf::PayloadLength(bf::FrameHeader::FromBytes(buffer.data() + pos));
      ++found;
    }
    benchmark::DoNotOptimize(found);
    if (found != records) state.SkipWithError("walk lost records");
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * records));
}
BENCHMARK(BM_WalkRecords);

void BM_RebuildJpeg(benchmark::State& state) {
  const Frame& frame = TwentyKilobyteFrame();
  for (auto _ : state) {
    auto jpeg = bf::RebuildJpeg(Table(), frame.header, frame.payload);
    benchmark::DoNotOptimize(jpeg.data());
  }
  state.counters["payload_bytes"] = static_cast<double>(frame.payload.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.payload.size()));
}
BENCHMARK(BM_RebuildJpeg);

void BM_DecodeRebuilt(benchmark::State& state) {
  const Frame& frame = TwentyKilobyteFrame();
  const auto jpeg = bf::RebuildJpeg(Table(), frame.header, frame.payload);
  for (auto _ : state) {
    auto info = bf::DecodeCheckJpeg(jpeg);
    if (!info.ok) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(info.width);
  }
}
BENCHMARK(BM_DecodeRebuilt);

void BM_EncodePayload(benchmark::State& state) {
  const auto picture = BusyPicture();
  bf::FramePayloadEncoder encoder(kSize);
  for (auto _ : state) {
    auto payload = encoder.Encode(picture.data(), false, 4);
    benchmark::DoNotOptimize(payload.data());
  }
}
BENCHMARK(BM_EncodePayload);

}  // namespace

BENCHMARK_MAIN();
