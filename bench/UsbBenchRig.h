#pragma once
// What the benchmarks through the emulated FTDI bridge share: skipping where no umockdev test bed
// can run, plugging a camera in behind the chip a benchmark argument names, and one timed flash
// copy. Everything here runs on the benchmark's thread; the test bed answers on its own.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "CopyBenchHost.h"
#include "TimedBackend.h"
#include "flash/CopySession.h"
#include "host/TickSource.h"
#include "link/FTD2xx.h"
#include "sim/usb/UsbTestbed.h"

using BenchClock = std::chrono::steady_clock;
inline constexpr uint64_t kMiB = 1024 * 1024;

// True, with the benchmark skipped and the reason given, where the test bed cannot run.
inline bool TestbedMissing(benchmark::State& state) {
  std::string why;
  if (bf::sim::usb::UsbTestbed::Available(&why)) return false;
  state.SkipWithError(why.c_str());
  return true;
}

// Plugs the camera in behind the chip the argument names: 0 an FT232R, else an FT232H.
inline void PlugChip(bf::sim::usb::UsbTestbed& testbed, int64_t chip, bf::D2xxBackend& camera) {
  bf::sim::usb::ChipIdentity identity;
  identity.kind = chip == 0 ? bf::sim::usb::ChipKind::FT232R : bf::sim::usb::ChipKind::FT232H;
  testbed.Plug(identity, camera);
}

// Sectors 0 to last of a type 2 camera (4 MiB each).
class SectorsChooser final : public bf::RangeChooser {
 public:
  explicit SectorsChooser(uint8_t last) : last_(last) {}
  std::optional<bf::SectorRange> ChooseRange(uint8_t, bool,
                                             const bf::SectorHeaderLookup&) override {
    return bf::SectorRange{0, last_};
  }

 private:
  uint8_t last_;
};

// One copy and what it cost: real seconds, the process's CPU seconds, of those the test bed's
// handler thread's (0 without a test bed) and the camera's own.
struct BenchCopy {
  bf::CopySummary summary;
  std::string messages;  // what the copy told the operator
  double seconds = 0;
  double cpu = 0;
  double handlerCpu = 0;
  double cameraCpu = 0;
};

// Copies the chosen range through the backend into a folder of this process's that is removed
// afterwards. The copy takes the host's requests between chunks, as the window's does.
inline BenchCopy RunBenchCopy(const std::string& name, std::shared_ptr<bf::D2xxBackend> backend,
                              bf::TickSource& ticks, bf::RangeChooser& chooser,
                              const TimedBackend& camera, const bf::sim::usb::UsbTestbed* testbed) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("bf_bench_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  BenchCopy run;
  {
    bf::FTD2xx link(std::move(backend), ticks);
    link.Open(0);
    BenchHost host;
    BenchPrompts prompts((dir / "copy.bfk").string(), host);
    const double camera0 = camera.InsideCpuSeconds();
    const double handler0 = testbed ? testbed->HandlerCpuSeconds() : 0;
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto t0 = BenchClock::now();
    {
      bf::CopyServices services{link, prompts, host, chooser, nullptr};
      services.requests = &prompts;
      bf::CopySession session(services);
      session.Run();
      host.RunUntilClosed();
      run.summary = session.Summary();
    }
    run.seconds = std::chrono::duration<double>(BenchClock::now() - t0).count();
    run.cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    run.handlerCpu = testbed ? testbed->HandlerCpuSeconds() - handler0 : 0;
    run.cameraCpu = camera.InsideCpuSeconds() - camera0;
    run.messages = prompts.messages;
  }
  std::filesystem::remove_all(dir);
  return run;
}

// True when the copy completed; otherwise the benchmark is skipped with what the copy said.
inline bool CopyCompleted(benchmark::State& state, const BenchCopy& run) {
  if (run.summary.Complete()) return true;
  state.SkipWithError(("copy not complete: " + run.messages).c_str());
  return false;
}
