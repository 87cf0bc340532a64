// Flash copies through an emulated FTDI bridge whose camera link is paced as a real one would be
// (1 MB/s behind the full-speed FT232R, 8 and 40 MB/s behind the high-speed FT232H), reached by
// the program's libftdi backend with a chosen latency timer, read chunk and poll pause; the
// emulated bridge's own ceiling with a camera that always has data; and the live view's frame
// latency. Run under umockdev-wrapper.
// Counters:
// - payload_pct: the achieved copy rate against the link's payload rate;
// - our_cpu_ms_per_MiB: CPU time of this process per MiB copied, without the usbfs handler
//   thread (the emulated chip and camera); umockdev's forwarding of each ioctl from the calling
//   thread to that handler stays in, so this is an upper bound of what the program costs;
// - emul_cpu_ms_per_MiB: the handler thread's CPU time per MiB without the camera's;
// - frame_latency_ms (BM_UsbLiveLatency): from the moment the chip finds a whole new frame in the
//   camera's output to the moment the live loop hands it to the display, mean over the frames.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "CopyBenchHost.h"
#include "TimedBackend.h"
#include "UsbBenchRig.h"
#include "flash/CameraKind.h"
#include "flash/CopySession.h"
#include "flash/FlashAddress.h"
#include "host/TickSource.h"
#include "link/FTD2xx.h"
#include "link/FtdiBackend.h"
#include "live/LiveCapture.h"
#include "sim/SimCamera.h"
#include "sim/usb/UsbTestbed.h"

namespace {

std::shared_ptr<bf::sim::SimCamera> MakeCamera(bf::CameraType type, uint64_t mib,
                                               uint64_t bytesPerSecond, bf::TickSource& ticks) {
  bf::sim::SimOptions options;
  options.type = type;
  options.prefillFrames = 8;
  options.bytesPerSecond = bytesPerSecond;
  auto camera = std::make_shared<bf::sim::SimCamera>(options, ticks);
  auto& flash = camera->Model().Flash();
  if (type == bf::CAMERA_SECTORS) {
    flash.SetWritePosition(uint64_t{bf::kFirstDataSector} * bf::kSectorSize + mib * kMiB);
  } else {
    flash.SetWritePosition(mib * kMiB);
  }
  return camera;
}

bf::FtdiBackend::Tuning TuningOf(const benchmark::State& state) {
  bf::FtdiBackend::Tuning tuning;
  tuning.latencyMs = static_cast<uint8_t>(state.range(2));
  tuning.readChunk = static_cast<uint32_t>(state.range(3));
  tuning.pollPauseUs = static_cast<uint32_t>(state.range(4));
  return tuning;
}

// Args: link rate in kB/s (1000 = 1 MB/s), chip (0 FT232R, 1 FT232H), latency ms, read chunk,
// poll pause us, camera type, MiB.
void BM_UsbPacedCopy(benchmark::State& state) {
  if (TestbedMissing(state)) return;
  const uint64_t rate = static_cast<uint64_t>(state.range(0)) * 1000;
  const auto type = static_cast<bf::CameraType>(state.range(5));
  const auto mib = static_cast<uint64_t>(state.range(6));
  for (auto _ : state) {
    bf::TickSource& ticks = bf::SystemTickSource::Instance();
    TimedBackend camera(MakeCamera(type, mib, rate, ticks));
    bf::sim::usb::UsbTestbed testbed;
    PlugChip(testbed, state.range(1), camera);
    auto backend = std::make_shared<bf::FtdiBackend>();
    backend->SetTuning(TuningOf(state));
    SectorsChooser chooser(static_cast<uint8_t>(std::max<uint64_t>(mib / 4, 1) - 1));
    const BenchCopy run = RunBenchCopy("paced", backend, ticks, chooser, camera, &testbed);
    if (!CopyCompleted(state, run)) return;
    const double copied = static_cast<double>(run.summary.bytesReceived);
    const double copiedMiB = copied / kMiB;
    state.SetIterationTime(run.seconds);
    state.SetBytesProcessed(static_cast<int64_t>(run.summary.bytesReceived));
    state.counters["MiB"] = copiedMiB;
    state.counters["payload_pct"] = copied / run.seconds / static_cast<double>(rate) * 100;
    state.counters["our_cpu_ms_per_MiB"] = (run.cpu - run.handlerCpu) / copiedMiB * 1e3;
    state.counters["emul_cpu_ms_per_MiB"] = (run.handlerCpu - run.cameraCpu) / copiedMiB * 1e3;
  }
}

// The sweep at each link rate over latency timer, read chunk and poll pause (4 MiB of a type 1
// camera), then the chosen values over every camera type with more bytes.
BENCHMARK(BM_UsbPacedCopy)
    ->ArgNames({"kBps", "ft232h", "lat", "chunk", "pause", "type", "MiB"})
    ->ArgsProduct({{1000}, {0}, {1, 2, 4, 16}, {512, 4096, 16384}, {0, 1000}, {1}, {4}})
    ->ArgsProduct({{8000, 40000}, {1}, {1, 2, 16}, {4096, 16384, 65536}, {0, 1000}, {1}, {16}})
    ->ArgsProduct({{1000}, {0}, {1, 2}, {16384}, {1000}, {0, 1, 2}, {16}})
    ->ArgsProduct({{8000, 40000}, {1}, {2}, {16384}, {1000}, {0, 1, 2}, {64}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// A camera that always has as much to send as asked: what the emulated bridge can move at most.
class EndlessCamera final : public bf::D2xxBackend {
 public:
  bf::FtStatus Open(uint32_t, bf::FtHandle* h) override {
    *h = this;
    return bf::ftstatus::kOk;
  }
  bf::FtStatus Close(bf::FtHandle) override { return bf::ftstatus::kOk; }
  bf::FtStatus Read(bf::FtHandle, void* b, uint32_t n, uint32_t* r) override {
    std::fill_n(static_cast<uint8_t*>(b), n, uint8_t{0x5A});
    *r = n;
    return bf::ftstatus::kOk;
  }
  bf::FtStatus Write(bf::FtHandle, const void*, uint32_t n, uint32_t* w) override {
    *w = n;
    return bf::ftstatus::kOk;
  }
  bf::FtStatus ResetDevice(bf::FtHandle) override { return bf::ftstatus::kOk; }
  bf::FtStatus Purge(bf::FtHandle, uint32_t) override { return bf::ftstatus::kOk; }
  bf::FtStatus SetTimeouts(bf::FtHandle, uint32_t, uint32_t) override { return bf::ftstatus::kOk; }
  bf::FtStatus GetQueueStatus(bf::FtHandle, uint32_t* r) override {
    *r = 1u << 30;
    return bf::ftstatus::kOk;
  }
  bf::FtStatus SetEventNotification(bf::FtHandle, uint32_t, void*) override {
    return bf::ftstatus::kOk;
  }
  bf::FtStatus GetStatus(bf::FtHandle, uint32_t* r, uint32_t* t, uint32_t* e) override {
    *r = 1u << 30;
    *t = 0;
    *e = 0;
    return bf::ftstatus::kOk;
  }
};

// Args: chip, read chunk. Reads of 64 KiB through the backend until 32 MiB have come.
void BM_UsbBridgeCeiling(benchmark::State& state) {
  if (TestbedMissing(state)) return;
  for (auto _ : state) {
    EndlessCamera camera;
    bf::sim::usb::UsbTestbed testbed;
    PlugChip(testbed, state.range(0), camera);
    auto backend = std::make_shared<bf::FtdiBackend>();
    bf::FtdiBackend::Tuning tuning;
    tuning.readChunk = static_cast<uint32_t>(state.range(1));
    backend->SetTuning(tuning);
    bf::FTD2xx link(backend, bf::SystemTickSource::Instance());
    link.Open(0);
    std::vector<uint8_t> buffer(64 * 1024);
    uint64_t total = 0;
    const double handler0 = testbed.HandlerCpuSeconds();
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto t0 = BenchClock::now();
    while (total < 32 * kMiB)
      total += link.Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
    const double seconds = std::chrono::duration<double>(BenchClock::now() - t0).count();
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const double handler = testbed.HandlerCpuSeconds() - handler0;
    const double mib = static_cast<double>(total) / kMiB;
    state.SetIterationTime(seconds);
    state.SetBytesProcessed(static_cast<int64_t>(total));
    state.counters["our_cpu_ms_per_MiB"] = (cpu - handler) / mib * 1e3;
    state.counters["emul_cpu_ms_per_MiB"] = handler / mib * 1e3;
  }
}
BENCHMARK(BM_UsbBridgeCeiling)
    ->ArgNames({"ft232h", "chunk"})
    ->ArgsProduct({{0, 1}, {4096, 16384, 65536}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The simulated camera, noting when the chip (polling its output) first finds bytes after
// none: with an unpaced link a whole frame is there at that moment.
class WatchedCamera final : public bf::D2xxBackend {
 public:
  explicit WatchedCamera(std::shared_ptr<bf::D2xxBackend> inner) : inner_(std::move(inner)) {}
  std::vector<BenchClock::time_point> arrivals;

  bf::FtStatus Open(uint32_t i, bf::FtHandle* h) override { return inner_->Open(i, h); }
  bf::FtStatus Close(bf::FtHandle h) override { return inner_->Close(h); }
  bf::FtStatus Read(bf::FtHandle h, void* b, uint32_t n, uint32_t* r) override {
    return inner_->Read(h, b, n, r);
  }
  bf::FtStatus Write(bf::FtHandle h, const void* b, uint32_t n, uint32_t* w) override {
    return inner_->Write(h, b, n, w);
  }
  bf::FtStatus ResetDevice(bf::FtHandle h) override { return inner_->ResetDevice(h); }
  bf::FtStatus Purge(bf::FtHandle h, uint32_t m) override { return inner_->Purge(h, m); }
  bf::FtStatus SetTimeouts(bf::FtHandle h, uint32_t r, uint32_t w) override {
    return inner_->SetTimeouts(h, r, w);
  }
  bf::FtStatus GetQueueStatus(bf::FtHandle h, uint32_t* r) override {
    const bf::FtStatus status = inner_->GetQueueStatus(h, r);
    if (status == bf::ftstatus::kOk) {
      if (*r > 0 && last_ == 0) arrivals.push_back(BenchClock::now());
      last_ = *r;
    }
    return status;
  }
  bf::FtStatus SetEventNotification(bf::FtHandle h, uint32_t m, void* p) override {
    return inner_->SetEventNotification(h, m, p);
  }
  bf::FtStatus GetStatus(bf::FtHandle h, uint32_t* r, uint32_t* t, uint32_t* e) override {
    return inner_->GetStatus(h, r, t, e);
  }

 private:
  std::shared_ptr<bf::D2xxBackend> inner_;
  uint32_t last_ = 0;
};

// The main window as the live loop sees it: frames are timed, the view stops after kFrames.
class LatencyHost final : public bf::LiveViewHost {
 public:
  static constexpr size_t kFrames = 12;
  std::vector<BenchClock::time_point> shown;
  bf::LiveCapture* capture = nullptr;

  bf::LiveState& State() override { return state_; }
  void ReadControls() override { state_.streamingFlag = pushed_ ? 1 : 0; }
  void WriteControls() override { pushed_ = state_.streamingFlag != 0; }
  bf::LiveViewState ButtonState() override { return button_; }
  void SetButtonState(bf::LiveViewState state) override { button_ = state; }
  void EnableLiveLockedControls(bool) override {}
  bool ShowFrame(const bf::FrameHeader&, std::span<const uint8_t>) override {
    shown.push_back(BenchClock::now());
    if (shown.size() == kFrames) Click();
    return true;
  }
  void ClearDisplay() override {}
  void InvalidatePictureArea() override {}
  void Click() {
    pushed_ = !pushed_;
    capture->OnStartStopClicked();
  }

 private:
  bf::LiveState state_{0, 0, bf::kFrameTimeoutDetectorOff, 0};
  bool pushed_ = false;
  bf::LiveViewState button_ = bf::LiveViewState::Off;
};

// Args: chip. Frames at 4 a second on an unpaced link, default tuning.
void BM_UsbLiveLatency(benchmark::State& state) {
  if (TestbedMissing(state)) return;
  for (auto _ : state) {
    bf::TickSource& ticks = bf::SystemTickSource::Instance();
    bf::sim::SimOptions options;
    options.frameRateIndex = 6;
    WatchedCamera camera(std::make_shared<bf::sim::SimCamera>(options, ticks));
    bf::sim::usb::UsbTestbed testbed;
    PlugChip(testbed, state.range(0), camera);
    bf::FTD2xx link(std::make_shared<bf::FtdiBackend>(), ticks);
    link.Open(0);
    BenchHost copyHost;
    BenchPrompts prompts("", copyHost);
    LatencyHost host;
    bf::LiveCapture capture(link, host, prompts, prompts, ticks);
    host.capture = &capture;
    const auto t0 = BenchClock::now();
    host.Click();
    state.SetIterationTime(std::chrono::duration<double>(BenchClock::now() - t0).count());
    // The first frame may have waited in the camera since before the start; it is left out.
    const size_t n = std::min(host.shown.size(), camera.arrivals.size());
    double sum = 0;
    double worst = 0;
    for (size_t i = 1; i < n; ++i) {
      const double ms =
          std::chrono::duration<double, std::milli>(host.shown[i] - camera.arrivals[i]).count();
      sum += ms;
      worst = std::max(worst, ms);
    }
    state.counters["frames"] = static_cast<double>(host.shown.size());
    state.counters["frame_latency_ms"] = n > 1 ? sum / static_cast<double>(n - 1) : 0;
    state.counters["worst_ms"] = worst;
  }
}
BENCHMARK(BM_UsbLiveLatency)
    ->ArgNames({"ft232h"})
    ->DenseRange(0, 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
