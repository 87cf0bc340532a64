// A 128 MiB flash copy from the simulated camera of each type, through the copy presenter the
// window and bfk run, into a real file:
// - BM_CopyOwnCost: no link limit, on a virtual clock. Our cost per chunk is the copy's real
//   time less the time spent inside the camera backend; it is set against the time the link
//   itself needs for a chunk at 8 and 40 MB/s (goal: under 1 %).
// - BM_CopyAtLinkRate: the link limited to 8 or 40 MB/s of real time, with 0 or 1 ms of
//   latency per request: the achieved rate against the link's payload rate (goal: 95 % at
//   latency 0).
// Both with the link trace off and on, and both report how far RssAnon grew above its level
// before the copy (goal: under 16 MiB).
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "CopyBenchHost.h"
#include "TimedBackend.h"
#include "flash/CameraKind.h"
#include "flash/CopySession.h"
#include "flash/FlashAddress.h"
#include "host/PostedCalls.h"
#include "host/TickSource.h"
#include "link/FTD2xx.h"
#include "link/TraceBackend.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kMiB = 1024 * 1024;

// User and system CPU seconds of the whole process.
std::pair<double, double> UserSystemSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

double RssAnonMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) return std::stod(line.substr(8)) / 1024.0;
  }
  return -1;
}

// Sectors 0 to 31 of a type 2 camera: 128 MiB.
class FirstEighthChooser final : public bf::RangeChooser {
 public:
  std::optional<bf::SectorRange> ChooseRange(uint8_t, bool,
                                             const bf::SectorHeaderLookup&) override {
    return bf::SectorRange{0, 31};
  }
};

// Samples RssAnon now and then from the copying thread, and notes when the first and the last
// chunk were counted.
class MemorySampler final : public bf::CopyProgressSink {
 public:
  void OnChunk(const bf::CopyChunk&) override {
    const auto now = Clock::now().time_since_epoch().count();
    const double cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    if (chunks_.load() == 0) {
      first_ = now;
      firstCpu_ = cpu;
    }
    last_ = now;
    lastCpu_ = cpu;
    if (chunks_++ % 32 == 0) peak_ = std::max(peak_.load(), RssAnonMiB());
  }
  double Peak() const { return peak_.load(); }
  Clock::time_point First() const { return Clock::time_point(Clock::duration(first_.load())); }
  Clock::time_point Last() const { return Clock::time_point(Clock::duration(last_.load())); }
  // CPU seconds of the copying thread from the first chunk to the last.
  double CopyingThreadCpuSeconds() const { return lastCpu_.load() - firstCpu_.load(); }

 private:
  std::atomic<uint32_t> chunks_{0};
  std::atomic<double> peak_{0};
  std::atomic<Clock::rep> first_{0};
  std::atomic<Clock::rep> last_{0};
  std::atomic<double> firstCpu_{0};
  std::atomic<double> lastCpu_{0};
};

struct CopyResult {
  bf::CopySummary summary;
  double seconds = 0;
  double backendSeconds = 0;
  double cpuSeconds = 0;         // the whole process, user and system
  double backendCpuSeconds = 0;  // of that, inside the backend
  double systemSeconds = 0;      // of the whole, in the kernel (mostly writing the file)
  double rssGrowthMiB = 0;
  double beforeFirstChunkSeconds = 0;  // from the start to the first chunk counted
  double afterLastChunkSeconds = 0;    // from the last chunk counted to the end of the session
  double copyingThreadCpuSeconds = 0;  // the copying thread's, from the first chunk to the last
  std::string messages;
};

// The camera holds a few frames at the start of its flash and its write pointer sits 128 MiB
// in (type 0: the end of its 125 MiB of data sectors).
CopyResult CopyOnce(bf::CameraType type, uint64_t bytesPerSecond, uint32_t latencyUs, bool trace,
                    bf::TickSource& ticks) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("bf_bench_copy_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  bf::sim::SimOptions options;
  options.type = type;
  options.prefillFrames = 8;
  options.bytesPerSecond = bytesPerSecond;
  options.latencyUs = latencyUs;
  auto camera = std::make_shared<bf::sim::SimCamera>(options, ticks);
  auto& flash = camera->Model().Flash();
  switch (type) {
    case bf::CAMERA_SECTORS:
      flash.SetWritePosition((8ull * 32'000 - 1) * bf::kSectorSize);
      break;
    case bf::CAMERA_PACKED_PAGES:
      flash.SetWritePosition(128 * kMiB - 2048);
      break;
    case bf::CAMERA_NAND_PAGES:
      flash.SetWritePosition(128 * kMiB);
      break;
  }
  auto owned = std::make_unique<TimedBackend>(camera);
  TimedBackend* timed = owned.get();
  std::shared_ptr<bf::D2xxBackend> backend;
  if (trace) {
    std::string warning;
    backend = bf::WithTrace(std::move(owned), (dir / "trace.jsonl").string(), ticks, &warning);
  } else {
    backend = std::move(owned);
  }
  CopyResult result;
  {
    bf::FTD2xx link(backend, ticks);
    link.Open(0);
    BenchHost host;
    BenchPrompts prompts((dir / "copy.bfk").string(), host);
    FirstEighthChooser chooser;
    MemorySampler sampler;
    const double idle = RssAnonMiB();
    timed->ResetTimes();
    const auto t0 = Clock::now();
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double system0 = UserSystemSeconds().second;
    {
      bf::CopyServices services{link, prompts, host, chooser, &sampler};
      services.requests = &prompts;
      bf::CopySession session(services);
      session.Run();
      host.RunUntilClosed();
      result.summary = session.Summary();
    }
    const auto t1 = Clock::now();
    result.seconds = std::chrono::duration<double>(t1 - t0).count();
    result.beforeFirstChunkSeconds = std::chrono::duration<double>(sampler.First() - t0).count();
    result.afterLastChunkSeconds = std::chrono::duration<double>(t1 - sampler.Last()).count();
    result.copyingThreadCpuSeconds = sampler.CopyingThreadCpuSeconds();
    result.backendSeconds = timed->InsideSeconds();
    result.cpuSeconds = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    result.backendCpuSeconds = timed->InsideCpuSeconds();
    result.systemSeconds = UserSystemSeconds().second - system0;
    result.rssGrowthMiB = std::max(sampler.Peak(), RssAnonMiB()) - idle;
    result.messages = prompts.messages;
  }
  backend.reset();
  std::filesystem::remove_all(dir);
  return result;
}

void Report(benchmark::State& state, const CopyResult& r) {
  if (!r.summary.Complete()) {
    state.SkipWithError(("copy not complete: " + r.messages).c_str());
    return;
  }
  state.counters["MiB"] = static_cast<double>(r.summary.bytesReceived) / kMiB;
  state.counters["chunks"] = r.summary.chunks;
  state.counters["rss_anon_growth_MiB"] = r.rssGrowthMiB;
}

// Args: camera type, trace (0 or 1).
void BM_CopyOwnCost(benchmark::State& state) {
  const auto type = static_cast<bf::CameraType>(state.range(0));
  const bool trace = state.range(1) != 0;
  for (auto _ : state) {
    bf::VirtualClock clock;
    const CopyResult r = CopyOnce(type, 0, 0, trace, clock);
    state.SetIterationTime(r.seconds);
    Report(state, r);
    const double chunks = std::max<double>(1, r.summary.chunks);
    const double chunkBytes = static_cast<double>(r.summary.bytesReceived) / chunks;
    // CPU time, not wall time: the machine is shared, and waiting for it is not our cost.
    const double ours = (r.cpuSeconds - r.backendCpuSeconds) / chunks;
    state.counters["ours_cpu_us_per_chunk"] = ours * 1e6;
    state.counters["ours_wall_us_per_chunk"] = (r.seconds - r.backendSeconds) / chunks * 1e6;
    state.counters["sim_cpu_us_per_chunk"] = r.backendCpuSeconds / chunks * 1e6;
    // What stands between two requests: the copying thread's own CPU time per chunk (the work
    // done beside it, writing and hashing, is in ours_cpu but not here).
    state.counters["copying_thread_cpu_us_per_chunk"] =
        (r.copyingThreadCpuSeconds / std::max<double>(1, chunks - 1) -
         r.backendCpuSeconds / chunks) *
        1e6;
    // The part of ours spent in the kernel, which is almost all the file system taking the
    // chunk into the page cache; the rest is the program's own user-space work.
    state.counters["ours_kernel_us_per_chunk"] = r.systemSeconds / chunks * 1e6;
    const double user = std::max(0.0, ours - r.systemSeconds / chunks);
    state.counters["ours_user_pct_of_link_40MBs"] = 100.0 * user / (chunkBytes / 40e6);
    state.counters["ours_pct_of_link_8MBs"] = 100.0 * ours / (chunkBytes / 8e6);
    state.counters["ours_pct_of_link_40MBs"] = 100.0 * ours / (chunkBytes / 40e6);
  }
}
BENCHMARK(BM_CopyOwnCost)
    ->ArgNames({"type", "trace"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Args: camera type, link rate in MB/s, latency per request in microseconds, trace (0 or 1).
void BM_CopyAtLinkRate(benchmark::State& state) {
  const auto type = static_cast<bf::CameraType>(state.range(0));
  const uint64_t rate = static_cast<uint64_t>(state.range(1)) * 1'000'000;
  const auto latency = static_cast<uint32_t>(state.range(2));
  const bool trace = state.range(3) != 0;
  for (auto _ : state) {
    const CopyResult r = CopyOnce(type, rate, latency, trace, bf::SystemTickSource::Instance());
    state.SetIterationTime(r.seconds);
    Report(state, r);
    const double achieved = static_cast<double>(r.summary.bytesReceived) / r.seconds;
    state.counters["achieved_MBs"] = achieved / 1e6;
    state.counters["pct_of_payload_rate"] = 100.0 * achieved / static_cast<double>(rate);
    // Where the time beyond the link's own went: before the first chunk (type, pointer, file),
    // between chunks (each chunk's time against the link's for it), after the last one (the
    // flush to disk, the record).
    const double chunks = std::max<double>(1, r.summary.chunks);
    const double chunkBytes = static_cast<double>(r.summary.bytesReceived) / chunks;
    const double between = r.seconds - r.beforeFirstChunkSeconds - r.afterLastChunkSeconds;
    state.counters["before_first_chunk_ms"] = r.beforeFirstChunkSeconds * 1e3;
    state.counters["after_last_chunk_ms"] = r.afterLastChunkSeconds * 1e3;
    state.counters["over_link_us_per_chunk"] =
        (between / std::max<double>(1, chunks - 1) - chunkBytes / static_cast<double>(rate)) * 1e6;
    // Of that, what the camera backend took beyond the link's time (the model's waits running
    // late), and our own time outside the backend. Time outside the backend while a reply is on
    // its way (the writing thread taking the processor right after a request) shows in ours but
    // shortens the backend's wait: the backend's figure then comes out below zero.
    const double linkSeconds =
        static_cast<double>(r.summary.bytesReceived) / static_cast<double>(rate);
    state.counters["backend_over_link_us_per_chunk"] =
        (r.backendSeconds - linkSeconds) / chunks * 1e6;
    state.counters["ours_wall_us_per_chunk"] = (r.seconds - r.backendSeconds) / chunks * 1e6;
  }
}
BENCHMARK(BM_CopyAtLinkRate)
    ->ArgNames({"type", "MBs", "latency_us", "trace"})
    ->ArgsProduct({{0, 1, 2}, {8, 40}, {0, 1000}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
