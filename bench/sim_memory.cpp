// Peak memory of a 1 GiB NAND camera holding 64 MiB of frames, written by autonomous
// recording and then read back completely through the backend. Runs in its own process so
// that the peak (VmHWM) belongs to this measurement alone.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "flash/FlashAddress.h"
#include "host/TickSource.h"
#include "link/CameraCommands.h"
#include "sim/FrameMaker.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"

namespace {

double PeakResidentMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1;
}

void BM_NandFlash64MiBOfFrames(benchmark::State& state) {
  for (auto _ : state) {
    bf::VirtualClock clock;
    bf::sim::SimOptions options;
    options.type = bf::CAMERA_NAND_PAGES;
    bf::sim::SimCamera camera(options, clock);
    bf::FtHandle handle = nullptr;
    camera.Open(0, &handle);
    // Frames as recording writes them (a few encoded pictures under fresh headers).
    bf::sim::FrameMaker maker({320, 240});
    std::vector<std::vector<uint8_t>> records;
    for (uint32_t i = 0; i < 8; ++i) records.push_back(maker.MakeRecord(i, i * 50, i, {}));
    auto& flash = camera.Model().Flash();
    for (std::size_t i = 0; flash.WritePosition() < (64u << 20); ++i) {
      const auto& r = records[i % records.size()];
      flash.Append(r.data(), r.size());
    }
    // Read the whole 1 GiB back in the NAND readout's chunks.
    std::vector<uint8_t> buffer(524'289);
    uint64_t total = 0;
    for (uint64_t cur = 0; cur < bf::kNandFlashBytes; cur += buffer.size()) {
      const uint64_t last = std::min<uint64_t>(bf::kNandFlashBytes - 1, cur + buffer.size() - 1);
      const auto a = bf::EncodeNandAddress(static_cast<uint32_t>(cur));
      const auto b = bf::EncodeNandAddress(static_cast<uint32_t>(last));
      uint8_t request[11] = {bf::CMD_READ_FLASH};
      std::copy(a.begin(), a.end(), request + 1);
      std::copy(b.begin(), b.end(), request + 6);
      uint32_t n = 0;
      camera.Write(handle, request, sizeof request, &n);
      camera.Read(handle, buffer.data(), static_cast<uint32_t>(last - cur + 1), &n);
      total += n;
    }
    benchmark::DoNotOptimize(buffer.data());
    state.counters["flash_allocated_MiB"] =
        static_cast<double>(flash.Store().AllocatedBytes()) / (1 << 20);
    state.counters["bytes_read_GiB"] = static_cast<double>(total) / (1 << 30);
  }
  state.counters["peak_rss_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_NandFlash64MiBOfFrames)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
