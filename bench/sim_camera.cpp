// The simulated camera must never be the bottleneck of a measurement of the tool: picture
// encoding, the live stream at maximum rate and flash reads through the backend, with no link
// speed limit.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "flash/FlashAddress.h"
#include "frames/FrameHeader.h"
#include "host/TickSource.h"
#include "link/CameraCommands.h"
#include "sim/FrameMaker.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"

namespace {

// Opened backend on a virtual clock.
struct Camera {
  explicit Camera(const bf::sim::SimOptions& options) : camera(options, clock) {
    camera.Open(0, &handle);
  }
  void Send(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> b(bytes);
    uint32_t written = 0;
    camera.Write(handle, b.data(), static_cast<uint32_t>(b.size()), &written);
  }
  uint32_t Read(uint8_t* dst, uint32_t n) {
    uint32_t got = 0;
    uint32_t total = 0;
    do {
      camera.Read(handle, dst + total, n - total, &got);
      total += got;
    } while (got > 0 && total < n);
    return total;
  }
  bf::VirtualClock clock;
  bf::sim::SimCamera camera;
  bf::FtHandle handle = nullptr;
};

void BM_EncodeFrame320x240(benchmark::State& state) {
  bf::sim::FrameMaker maker({320, 240});
  bf::sim::FrameSettings settings;
  settings.compression = static_cast<uint8_t>(state.range(0));
  uint32_t n = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto record = maker.MakeRecord(n, n * 50, 1'245'067'200 + n / 20, settings);
    bytes += record.size();
    ++n;
    benchmark::DoNotOptimize(record.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_EncodeFrame320x240)->Arg(0)->Arg(2)->Arg(4);

void BM_StreamMaximumRate(benchmark::State& state) {
  bf::sim::SimOptions options;
  options.frameRateIndex = 7;
  options.maxFps = 1000;  // the picture rate, not the clock, is what is measured here
  Camera c(options);
  c.Send({bf::CMD_START_STREAM});
  std::vector<uint8_t> buffer(65'536);
  std::size_t bytes = 0;
  for (auto _ : state) {
    if (c.Read(buffer.data(), 16) != 16 || !bf::IsFrameHeader(buffer.data())) {
      state.SkipWithError("stream lost its frame sync");
      break;
    }
    const auto h = bf::FrameHeader::FromBytes(buffer.data());
    bytes += 16 + c.Read(buffer.data(), bf::PayloadLength(h));
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_StreamMaximumRate)->Unit(benchmark::kMicrosecond);

// 128 MiB of recorded (random) flash read back with the request sizes of the readouts:
// 124 sectors per request for type 0, 524,289 bytes for type 1.
void BM_ReadFlash128MiB(benchmark::State& state) {
  const auto type = static_cast<bf::CameraType>(state.range(0));
  bf::sim::SimOptions options;
  options.type = type;
  Camera c(options);
  auto& flash = c.camera.Model().Flash();
  std::vector<uint8_t> noise(1 << 20);
  std::mt19937 random(1);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  while (!flash.Wrapped()) flash.Append(noise.data(), noise.size());
  std::vector<uint8_t> buffer(524'289);
  for (auto _ : state) {
    uint64_t total = 0;
    if (type == bf::CAMERA_SECTORS) {
      for (uint32_t zone = 0; zone < bf::kZoneCount; ++zone) {
        const auto z = bf::DataZoneBounds(zone);
        for (uint32_t s = z.first; s < z.end; s += 124) {
          const uint32_t e = std::min(z.end, s + 124);
          c.Send({bf::CMD_READ_FLASH, static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8),
                  static_cast<uint8_t>(s >> 16), static_cast<uint8_t>(e),
                  static_cast<uint8_t>(e >> 8), static_cast<uint8_t>(e >> 16)});
          total += c.Read(buffer.data(), (e - s) * bf::kSectorSize);
        }
      }
    } else {
      for (uint32_t cur = 0; cur < bf::kPackedFlashBytes; cur += 524'289) {
        const uint32_t last = std::min(bf::kPackedFlashBytes - 1, cur + 524'288);
        const uint32_t a = bf::LinearToPacked(cur);
        const uint32_t b = bf::LinearToPacked(last);
        c.Send({bf::CMD_READ_FLASH, static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8),
                static_cast<uint8_t>(a >> 16), static_cast<uint8_t>(a >> 24),
                static_cast<uint8_t>(b), static_cast<uint8_t>(b >> 8),
                static_cast<uint8_t>(b >> 16), static_cast<uint8_t>(b >> 24)});
        total += c.Read(buffer.data(), last - cur + 1);
      }
    }
    benchmark::DoNotOptimize(buffer.data());
    state.SetBytesProcessed(state.bytes_processed() + static_cast<int64_t>(total));
  }
}
BENCHMARK(BM_ReadFlash128MiB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
