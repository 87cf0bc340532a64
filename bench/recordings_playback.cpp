// Playback pacing of the real timer thread at 20 frames per second over 200 frames (idle, and
// with both cores kept busy), and the anonymous memory of playing a 1 GiB recording.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "RecordingBenchFiles.h"
#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"
#include "host/UserPrompts.h"
#include "recordings/Player.h"
#include "recordings/ThreadPlaybackTimer.h"
#include "sim/VirtualClock.h"
#include "sim/VirtualPlaybackTimer.h"

namespace {

using Clock = std::chrono::steady_clock;

class NoPrompts final : public bf::UserPrompts {
 public:
  bf::MessageAnswer ShowMessage(const std::string&, const std::string&, bf::MessageIcon,
                                bf::MessageButtons) override {
    return bf::MessageAnswer::Ok;
  }
  std::optional<std::string> ChooseSaveFile(const bf::FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseOpenFile(const bf::FileDialogRequest&) override { return {}; }
  void SetBusyCursor(bool) override {}
};

// Rebuilds every frame as the real window does (decoding every `decodeEvery`-th), notes when
// each frame appeared and lets the benchmark wait for a position.
class TimingDisplay final : public bf::FrameDisplay {
 public:
  TimingDisplay(const bf::JpegHeaderTable& table, uint32_t decodeEvery)
      : table_(table), decodeEvery_(decodeEvery) {}
  bool ShowFrame(const bf::FrameHeader& header, std::span<const uint8_t> payload) override {
    times_.push_back(Clock::now());
    const std::vector<uint8_t> jpeg = bf::RebuildJpeg(table_, header, payload);
    if (decodeEvery_ != 0 && shown_++ % decodeEvery_ == 0) {
      benchmark::DoNotOptimize(bf::DecodeCheckJpeg(jpeg).ok);
    }
    peakAnon_ = std::max(peakAnon_, bf::bench::RssAnonKiB());
    return true;
  }
  void ClearDisplay() override {}
  void PostPosition(uint32_t position) override {
    std::lock_guard lock(m_);
    position_ = position;
    cv_.notify_all();
  }
  void WaitFor(uint32_t position) {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return position_ >= position; });
  }
  const std::vector<Clock::time_point>& Times() const { return times_; }
  long PeakAnonKiB() const { return peakAnon_; }

 private:
  const bf::JpegHeaderTable& table_;
  uint32_t decodeEvery_;
  uint32_t shown_ = 0;
  std::vector<Clock::time_point> times_;
  long peakAnon_ = 0;
  std::mutex m_;
  std::condition_variable cv_;
  uint32_t position_ = 0;
};

const bf::JpegHeaderTable& Table() {
  static const bf::JpegHeaderTable table = bf::GenerateHeaderTable({320, 240});
  return table;
}

std::string SmallRecording(uint32_t frames) {
  const std::string path = bf::bench::TempPath("bf-bench-pacing.bfk");
  const std::vector<std::vector<uint8_t>> payloads = bf::bench::SamplePayloads();
  std::vector<uint8_t> bytes;
  for (uint32_t i = 0; i < frames; ++i) {
    const std::vector<uint8_t>& p = payloads[i % payloads.size()];
    const bf::FrameHeader h =
        bf::FrameHeader::Make(static_cast<uint16_t>(p.size() + 16), i, 2, 0, 7, 0);
    bytes.insert(bytes.end(), h.bytes.begin(), h.bytes.end());
    bytes.insert(bytes.end(), p.begin(), p.end());
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Lateness of each frame against an absolute 50 ms schedule from the first frame, in ms.
void Pacing(benchmark::State& state, int spinners) {
  constexpr uint32_t kFrames = 200;
  const std::string path = SmallRecording(kFrames);
  std::atomic<bool> spin{true};
  std::vector<std::thread> load;
  for (int i = 0; i < spinners; ++i) {
    load.emplace_back([&] {
      volatile uint64_t x = 0;
      while (spin.load(std::memory_order_relaxed)) x = x + 1;
    });
  }
  std::vector<double> lateness;
  for (auto _ : state) {
    NoPrompts prompts;
    bf::ThreadPlaybackTimer timer;
    TimingDisplay display(Table(), 1);
    bf::Player player(display, timer, prompts);
    player.OpenRecording(path);
    player.StartPlayback(20);
    display.WaitFor(kFrames);
    player.StopPlayback();
    const auto& t = display.Times();
    for (std::size_t k = 1; k < t.size(); ++k) {
      const auto ideal = t[0] + std::chrono::milliseconds(50 * k);
      lateness.push_back(std::abs(std::chrono::duration<double, std::milli>(t[k] - ideal).count()));
      if (std::getenv("BF_BENCH_TRACE") != nullptr && lateness.back() > 2) {
        std::fprintf(stderr, "frame %zu late by %.3f ms\n", k, lateness.back());
      }
    }
  }
  spin = false;
  for (std::thread& th : load) th.join();
  std::sort(lateness.begin(), lateness.end());
  auto at = [&](double q) {
    return lateness[static_cast<std::size_t>(q * static_cast<double>(lateness.size() - 1))];
  };
  state.counters["late_p50_ms"] = at(0.50);
  state.counters["late_p99_ms"] = at(0.99);
  state.counters["late_max_ms"] = lateness.back();
}

void BM_Pacing20FpsIdle(benchmark::State& state) {
  Pacing(state, 0);
}
BENCHMARK(BM_Pacing20FpsIdle)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Pacing20FpsBothCoresBusy(benchmark::State& state) {
  Pacing(state, 2);
}
BENCHMARK(BM_Pacing20FpsBothCoresBusy)->Unit(benchmark::kMillisecond)->Iterations(1);

// Every frame of a 1 GiB recording played through the real step code (on a virtual timer, so
// it takes seconds, not hours), rebuilt and every 100th decoded: frames are read from the file
// one at a time, so the anonymous memory must stay small.
void BM_PlayThrough1GiBMemory(benchmark::State& state) {
  const std::string path = bf::bench::GigabyteRecording();
  long baseline = 0;
  long peak = 0;
  uint32_t frames = 0;
  for (auto _ : state) {
    NoPrompts prompts;
    bf::VirtualClock clock;
    bf::VirtualPlaybackTimer timer(clock);
    TimingDisplay display(Table(), 100);
    bf::Player player(display, timer, prompts);
    baseline = bf::bench::RssAnonKiB();
    frames = player.OpenRecording(path);
    player.StartPlayback(20);
    timer.RunAll(uint64_t{1} << 40);
    peak = std::max(display.PeakAnonKiB(), bf::bench::RssAnonKiB());
  }
  state.counters["frames"] = frames;
  state.counters["anon_growth_KiB"] = static_cast<double>(peak - baseline);
  state.counters["anon_peak_KiB"] = static_cast<double>(peak);
}
BENCHMARK(BM_PlayThrough1GiBMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
