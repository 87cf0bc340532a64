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

#include <memory>
#include <string>

#include "TimedBackend.h"
#include "UsbBenchRig.h"
#include "flash/CameraKind.h"
#include "flash/FlashAddress.h"
#include "host/PostedCalls.h"
#include "host/TickSource.h"
#include "link/FtdiBackend.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "sim/usb/UsbTestbed.h"

namespace {

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

// Copies sectors 0 to 3 (16 MiB) through the backend and reports the counters; camera measures
// the camera's share.
void CopyAndReport(benchmark::State& state, std::shared_ptr<bf::D2xxBackend> backend,
                   const TimedBackend& camera, bf::TickSource& ticks) {
  SectorsChooser chooser(3);
  const BenchCopy run = RunBenchCopy("usb", std::move(backend), ticks, chooser, camera, nullptr);
  if (!CopyCompleted(state, run)) return;
  const double mib = static_cast<double>(run.summary.bytesReceived) / kMiB;
  state.SetIterationTime(run.seconds);
  state.SetBytesProcessed(static_cast<int64_t>(run.summary.bytesReceived));
  state.counters["MiB"] = mib;
  state.counters["cpu_ms_per_MiB"] = run.cpu / mib * 1e3;
  state.counters["camera_cpu_ms_per_MiB"] = run.cameraCpu / mib * 1e3;
}

// Args: camera type, chip (0 FT232R, 1 FT232H).
void BM_UsbCopy(benchmark::State& state) {
  if (TestbedMissing(state)) return;
  const auto type = static_cast<bf::CameraType>(state.range(0));
  for (auto _ : state) {
    bf::TickSource& ticks = bf::SystemTickSource::Instance();
    TimedBackend camera(MakeCamera(type, ticks));
    bf::sim::usb::UsbTestbed testbed;
    PlugChip(testbed, state.range(1), camera);
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
