// A flash copy of each camera type through an emulated FTDI bridge (FT232R and FT232H) in a
// umockdev test bed, reached by the program's libftdi backend through the real libftdi1 and
// libusb, against the same copy straight from the in-process simulated camera. Run it under
// umockdev-wrapper (scripts/with-usb-bridge.sh is not needed: the test bed is built here).
// Counters:
// - bytes_per_second: the achieved copy rate (real time; the machine is shared);
// - cpu_ms_per_MiB: CPU time of the whole process per MiB copied. Over the bridge this holds
//   the emulation too (umockdev answers the usbfs calls on a thread of this process);
// - camera_cpu_ms_per_MiB: of that, the simulated camera's own work;
// BM_SimCopy's cpu_ms_per_MiB is the copy without USB at all: what the emulated bridge, libusb
// and libftdi add is the difference.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "CopyBenchHost.h"
#include "TimedBackend.h"
#include "flash/CameraKind.h"
#include "flash/CopySession.h"
#include "flash/FlashAddress.h"
#include "host/PostedCalls.h"
#include "host/TickSource.h"
#include "link/FTD2xx.h"
#include "link/FtdiBackend.h"
#include "sim/SimCamera.h"
#include "sim/usb/UsbTestbed.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kMiB = 1024 * 1024;

// Sectors 0 to 3 of a type 2 camera: 16 MiB.
class FirstSectorsChooser final : public bf::RangeChooser {
 public:
  uint8_t ChooseRange(uint8_t, uint8_t, uint8_t* start, uint8_t* end, void*, void*,
                      bf::SectorHeaderCallback) override {
    *start = 0;
    *end = 3;
    return 1;
  }
};

// A camera with a few frames and its write pointer about 16 MiB in.
std::shared_ptr<bf::sim::SimCamera> MakeCamera(bf::CameraType type, bf::TickSource& ticks) {
  bf::sim::SimOptions options;
  options.type = type;
  options.prefillFrames = 8;
  auto camera = std::make_shared<bf::sim::SimCamera>(options, ticks);
  auto& flash = camera->Model().Flash();
  switch (type) {
    case bf::CAMERA_SECTORS:
      flash.SetWritePosition((32'000 - 1) * uint64_t{bf::kSectorSize});
      break;
    case bf::CAMERA_PACKED_PAGES:
      flash.SetWritePosition(16 * kMiB - 2048);
      break;
    case bf::CAMERA_NAND_PAGES:
      flash.SetWritePosition(16 * kMiB);
      break;
  }
  return camera;
}

// Copies through the backend and reports the counters; camera measures the camera's share.
void CopyAndReport(benchmark::State& state, std::shared_ptr<bf::D2xxBackend> backend,
                   const TimedBackend& camera, bf::TickSource& ticks) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("bf_bench_usb_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  bf::CopySummary summary;
  std::string messages;
  double seconds = 0;
  double cpu = 0;
  double cameraCpu = 0;
  {
    bf::FTD2xx link(std::move(backend), ticks);
    link.Open(0);
    BenchHost host;
    BenchPrompts prompts((dir / "copy.bfk").string(), host);
    FirstSectorsChooser chooser;
    const double camera0 = camera.InsideCpuSeconds();
    const auto t0 = Clock::now();
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    {
      bf::CopyServices services{link, prompts, host, chooser, nullptr};
      services.requests = &prompts;
      bf::CopySession session(services);
      session.OnFirstPaint();
      host.RunUntilClosed();
      summary = session.Summary();
    }
    seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    cameraCpu = camera.InsideCpuSeconds() - camera0;
    messages = prompts.messages;
  }
  std::filesystem::remove_all(dir);
  if (!summary.Complete()) {
    state.SkipWithError(("copy not complete: " + messages).c_str());
    return;
  }
  const double mib = static_cast<double>(summary.bytesReceived) / kMiB;
  state.SetIterationTime(seconds);
  state.SetBytesProcessed(static_cast<int64_t>(summary.bytesReceived));
  state.counters["MiB"] = mib;
  state.counters["cpu_ms_per_MiB"] = cpu / mib * 1e3;
  state.counters["camera_cpu_ms_per_MiB"] = cameraCpu / mib * 1e3;
}

// Args: camera type, chip (0 FT232R, 1 FT232H).
void BM_UsbCopy(benchmark::State& state) {
  std::string why;
  if (!bf::sim::usb::UsbTestbed::Available(&why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  const auto type = static_cast<bf::CameraType>(state.range(0));
  for (auto _ : state) {
    bf::TickSource& ticks = bf::SystemTickSource::Instance();
    TimedBackend camera(MakeCamera(type, ticks));
    bf::sim::usb::UsbTestbed testbed;
    bf::sim::usb::ChipIdentity identity;
    identity.kind =
        state.range(1) == 0 ? bf::sim::usb::ChipKind::FT232R : bf::sim::usb::ChipKind::FT232H;
    testbed.Plug(identity, camera);
    CopyAndReport(state, std::make_shared<bf::FtdiBackend>(), camera, ticks);
  }
}
BENCHMARK(BM_UsbCopy)
    ->ArgNames({"type", "ft232h"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Args: camera type. The same copy from the simulated camera in this process, no USB.
void BM_SimCopy(benchmark::State& state) {
  const auto type = static_cast<bf::CameraType>(state.range(0));
  for (auto _ : state) {
    bf::VirtualClock clock;
    auto camera = std::make_shared<TimedBackend>(MakeCamera(type, clock));
    CopyAndReport(state, camera, *camera, clock);
  }
}
BENCHMARK(BM_SimCopy)
    ->ArgNames({"type"})
    ->DenseRange(0, 2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
