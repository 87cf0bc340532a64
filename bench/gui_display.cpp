// The cost of putting one live frame on the screen: rebuild from the header table, decode,
// rotate and paint (picture and overlay line) through the display window's own paint code,
// against a bare turbojpeg decode of the same JPEG; and the frame rate the live loop sustains
// from the simulated camera at its maximum rate.
//
// Every display benchmark reports per-frame median and 99th percentile (microseconds of the
// thread's CPU time) as counters, measured frame by frame. Run with --benchmark_filter to pick.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "frames/HeaderGenerator.h"
#include "frames/RebuildJpeg.h"
#include "link/FTD2xx.h"
#include "live/LiveCapture.h"
#include "picture/CBfkPlayer.h"
#include "picture/JpegDecoder.h"
#include "sim/FrameMaker.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "support/ButtonLiveHost.h"

namespace {

// Per-frame samples in CPU time of the calling thread: the goals are per core, and the machine
// running the benchmarks is shared, so wall time would measure the neighbours.
struct ThreadCpuClock {
  using duration = std::chrono::nanoseconds;
  using time_point = std::chrono::time_point<ThreadCpuClock>;
  static time_point now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return time_point(duration(static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec));
  }
};
using Clock = ThreadCpuClock;

// Per-frame timings of one benchmark run, reported as median and p99 counters.
class FrameTimes {
 public:
  void Add(Clock::duration d) {
    samples_.push_back(std::chrono::duration<double, std::micro>(d).count());
  }
  double Median() { return At(0.5); }
  void Report(benchmark::State& state) {
    if (samples_.empty()) return;
    state.counters["median_us"] = At(0.5);
    state.counters["p99_us"] = At(0.99);
  }

 private:
  double At(double q) {
    if (samples_.empty()) return 0;
    std::sort(samples_.begin(), samples_.end());
    const auto rank = static_cast<std::size_t>(q * static_cast<double>(samples_.size()));
    return samples_[std::min(samples_.size() - 1, rank)];
  }

  std::vector<double> samples_;
};

// Texture on top of the simulated camera's scene, so that the larger frames come close to the
// 64 KiB a record can hold (the busiest pictures the display has to take).
void AddTexture(std::vector<uint8_t>& rgb, int strength) {
  uint32_t seed = 12345;
  for (uint8_t& v : rgb) {
    seed = seed * 1664525u + 1013904223u;
    const int noise =
        static_cast<int>((seed >> 24) % static_cast<uint32_t>(2 * strength + 1)) - strength;
    v = static_cast<uint8_t>(std::clamp(v + noise, 0, 255));
  }
}

struct TestFrame {
  bf::JpegHeaderTable table;
  bf::FrameHeader header;
  std::vector<uint8_t> payload;
  std::vector<uint8_t> jpeg;  // rebuilt, for the decode-only benchmarks
};

// width, monochrome, compression, textured.
TestFrame MakeFrame(int width, bool mono, uint8_t compression, bool textured) {
  const bf::PictureSize size{width, width * 3 / 4};
  bf::sim::SimScene scene(size);
  std::vector<uint8_t> rgb = scene.Render(17, 4321, 1'796'565'785);
  bf::FramePayloadEncoder encoder(size);
  std::vector<uint8_t> payload;
  // Strongest texture that still fits a record.
  for (int strength = textured ? 24 : 0;; strength -= 2) {
    std::vector<uint8_t> picture = rgb;
    if (strength > 0) AddTexture(picture, strength);
    payload = encoder.Encode(picture.data(), mono, compression);
    if (payload.size() + 16 <= 65535 || strength <= 0) break;
  }
  TestFrame frame;
  frame.table = bf::GenerateHeaderTable(size);
  frame.payload = std::move(payload);
  frame.header = bf::FrameHeader::Make(static_cast<uint16_t>(16 + frame.payload.size()),
                                       1'796'565'785, compression, mono ? 1 : 0, 7, 1);
  frame.jpeg = bf::RebuildJpeg(frame.table, frame.header, frame.payload);
  return frame;
}

TestFrame FrameFor(const benchmark::State& state) {
  return MakeFrame(static_cast<int>(state.range(0)), state.range(1) != 0,
                   static_cast<uint8_t>(state.range(2)), state.range(3) != 0);
}

void Label(benchmark::State& state, const TestFrame& frame) {
  state.counters["jpeg_bytes"] = static_cast<double>(frame.jpeg.size());
  state.SetLabel(std::to_string(state.range(0)) + (state.range(1) ? " bw" : " colour") + " q" +
                 std::to_string(state.range(2)) + (state.range(3) ? " textured" : " scene"));
}

// The whole path of one live frame: ShowFrame (rebuild, decode, rotate) and the paint of the
// display window into a surface like the window's backing store.
void BM_DisplayPath(benchmark::State& state) {
  const TestFrame frame = FrameFor(state);
  bf::CBfkPlayer player(frame.table);
  const int width = static_cast<int>(state.range(0));
  player.resize(width + 20, width + 40);  // room for the picture in both orientations
  player.SetOffset(0, 20);
  player.SetRotation(static_cast<bf::Rotation>(state.range(4)));
  QImage surface(player.size(), QImage::Format_ARGB32_Premultiplied);
  FrameTimes times;
  for (auto _ : state) {
    const auto start = Clock::now();
    const bool shown = player.ShowFrame(frame.header, frame.payload);
    QPainter painter(&surface);
    player.PaintDisplay(painter, player.rect());
    painter.end();
    times.Add(Clock::now() - start);
    benchmark::DoNotOptimize(shown);
  }
  times.Report(state);
  Label(state, frame);
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The paint alone (picture blit and overlay line), for the breakdown of the display path.
void BM_Paint(benchmark::State& state) {
  const TestFrame frame = FrameFor(state);
  bf::CBfkPlayer player(frame.table);
  const int width = static_cast<int>(state.range(0));
  player.resize(width + 20, width + 40);
  player.SetOffset(0, 20);
  player.ShowFrame(frame.header, frame.payload);
  QImage surface(player.size(), QImage::Format_ARGB32_Premultiplied);
  FrameTimes times;
  for (auto _ : state) {
    const auto start = Clock::now();
    QPainter painter(&surface);
    player.PaintDisplay(painter, player.rect());
    painter.end();
    times.Add(Clock::now() - start);
  }
  times.Report(state);
  Label(state, frame);
}

// Our decoder alone (to a 32-bit picture ready to paint).
void BM_Decode(benchmark::State& state) {
  const TestFrame frame = FrameFor(state);
  bf::JpegDecoder decoder;
  FrameTimes times;
  for (auto _ : state) {
    const auto start = Clock::now();
    QImage image = decoder.Decode(frame.jpeg.data(), frame.jpeg.size());
    times.Add(Clock::now() - start);
    benchmark::DoNotOptimize(image.constBits());
  }
  times.Report(state);
  Label(state, frame);
}

// The yardstick: turbojpeg straight into a buffer allocated once, in the picture's own
// component layout (grey stays 8-bit).
void BM_BareTurbojpegDecode(benchmark::State& state) {
  const TestFrame frame = FrameFor(state);
  tjhandle handle = tjInitDecompress();
  const int width = static_cast<int>(state.range(0));
  const int height = width * 3 / 4;
  const bool mono = state.range(1) != 0;
  std::vector<uint8_t> out(static_cast<std::size_t>(width * height * 4));
  FrameTimes times;
  for (auto _ : state) {
    const auto start = Clock::now();
    const int result = tjDecompress2(handle, frame.jpeg.data(), frame.jpeg.size(), out.data(),
                                     width, 0, height, mono ? TJPF_GRAY : TJPF_BGRX, 0);
    times.Add(Clock::now() - start);
    benchmark::DoNotOptimize(result);
  }
  tjDestroy(handle);
  times.Report(state);
  Label(state, frame);
}

// Qt's own JPEG reader, the alternative that was measured and not taken.
void BM_QImageLoadFromData(benchmark::State& state) {
  const TestFrame frame = FrameFor(state);
  FrameTimes times;
  for (auto _ : state) {
    const auto start = Clock::now();
    QImage image;
    image.loadFromData(frame.jpeg.data(), static_cast<int>(frame.jpeg.size()), "JPG");
    times.Add(Clock::now() - start);
    benchmark::DoNotOptimize(image.constBits());
  }
  times.Report(state);
  Label(state, frame);
}

// Our decoder against the bare decode, interleaved frame by frame so that both see the same
// machine load; the ratio of the medians is the figure to watch (goal: at most 1.3). For grey
// pictures it also times the alternative of decoding to 8 bits and widening with Qt.
void BM_DecodeRatio(benchmark::State& state) {
  const TestFrame frame = FrameFor(state);
  const int width = static_cast<int>(state.range(0));
  const int height = width * 3 / 4;
  const bool mono = state.range(1) != 0;
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> out(static_cast<std::size_t>(width * height * 4));
  bf::JpegDecoder decoder;
  QImage previous;
  FrameTimes bare;
  FrameTimes ours;
  FrameTimes widened;
  for (auto _ : state) {
    auto t0 = Clock::now();
    int result = tjDecompress2(handle, frame.jpeg.data(), frame.jpeg.size(), out.data(), width, 0,
                               height, mono ? TJPF_GRAY : TJPF_BGRX, 0);
    auto t1 = Clock::now();
    decoder.Recycle(std::move(previous));  // as the picture does when the next frame comes
    previous = decoder.Decode(frame.jpeg.data(), frame.jpeg.size());
    auto t2 = Clock::now();
    bare.Add(t1 - t0);
    ours.Add(t2 - t1);
    if (mono) {
      QImage grey(width, height, QImage::Format_Grayscale8);
      result += tjDecompress2(handle, frame.jpeg.data(), frame.jpeg.size(), grey.bits(), width,
                              static_cast<int>(grey.bytesPerLine()), height, TJPF_GRAY, 0);
      QImage wide = grey.convertToFormat(QImage::Format_RGB32);
      widened.Add(Clock::now() - t2);
      benchmark::DoNotOptimize(wide.constBits());
    }
    benchmark::DoNotOptimize(result);
  }
  tjDestroy(handle);
  const double bareMedian = bare.Median();
  state.counters["bare_us"] = bareMedian;
  state.counters["ours_us"] = ours.Median();
  state.counters["ratio"] = ours.Median() / bareMedian;
  if (mono) state.counters["grey8_then_widen_ratio"] = widened.Median() / bareMedian;
  Label(state, frame);
}

void DisplayArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"width", "bw", "q", "textured", "rot"});
  for (int width : {320, 640}) {
    for (int bw : {0, 1}) {
      for (int q : {0, 4}) {
        for (int textured : {0, 1}) b->Args({width, bw, q, textured, 0});
      }
    }
  }
  b->Args({640, 0, 4, 1, 1});  // a quarter turn on the largest frame
  b->Unit(benchmark::kMicrosecond);
}

void DecodeArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"width", "bw", "q", "textured"});
  for (int width : {320, 640}) {
    for (int bw : {0, 1}) {
      for (int q : {0, 4}) {
        for (int textured : {0, 1}) b->Args({width, bw, q, textured});
      }
    }
  }
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_DisplayPath)->Apply(DisplayArgs);
BENCHMARK(BM_Paint)->Apply(DecodeArgs);
BENCHMARK(BM_Decode)->Apply(DecodeArgs);
BENCHMARK(BM_DecodeRatio)->Apply(DecodeArgs);
BENCHMARK(BM_BareTurbojpegDecode)->Apply(DecodeArgs);
BENCHMARK(BM_QImageLoadFromData)->Apply(DecodeArgs);

// ---- The live loop from the simulated camera ----

class BenchPrompts final : public bf::UserPrompts, public bf::RequestPoint {
 public:
  std::function<void()> onPump;
  bf::MessageAnswer ShowMessage(const std::string&, const std::string&, bf::MessageIcon,
                                bf::MessageButtons) override {
    return bf::MessageAnswer::Ok;
  }
  std::optional<std::string> ChooseSaveFile(const bf::FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseOpenFile(const bf::FileDialogRequest&) override { return {}; }
  void TakeRequests() override {
    if (onPump) onPump();
  }
  void SetBusyCursor(bool) override {}
};

// The main window reduced to what the loop touches; frames go to a real display window and
// every shown frame is painted, as the loop's pump would have it painted.
class BenchHost final : public bf::ButtonLiveHost {
 public:
  BenchHost(bf::CBfkPlayer* player, QImage* surface) : player_(player), surface_(surface) {}
  long shown = 0;

  bool ShowFrame(const bf::FrameHeader& header, std::span<const uint8_t> payload) override {
    ++shown;
    if (player_ == nullptr) return false;  // camera-only run: no display work
    if (!player_->ShowFrame(header, payload)) return false;
    QPainter painter(surface_);
    player_->PaintDisplay(painter, player_->rect());
    return true;
  }

 private:
  bf::CBfkPlayer* player_;
  QImage* surface_;
};

// Frames per (real) second through the whole live path: the simulated camera producing and
// encoding at its maximum rate with an unlimited link on a virtual clock, the real link, the
// loop and the display. The camera's own share is BM_SimCameraFrame.
void BM_LiveLoop(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  constexpr long kFrames = 200;
  bf::sim::SimOptions options;
  options.size = {width, width * 3 / 4};
  options.frameRateIndex = 7;
  options.maxFps = 1000;
  options.compression = 4;
  const bf::JpegHeaderTable table = bf::GenerateHeaderTable(options.size);
  bf::CBfkPlayer player(table);
  player.resize(width + 20, width * 3 / 4 + 40);
  player.SetOffset(0, 20);
  QImage surface(player.size(), QImage::Format_ARGB32_Premultiplied);
  long frames = 0;
  for (auto _ : state) {
    bf::VirtualClock clock;
    auto camera = std::make_shared<bf::sim::SimCamera>(options, clock);
    bf::FTDClass link(camera, clock);
    link.Open(0);
    BenchHost host(&player, &surface);
    host.state.frameTimeout = bf::kFrameTimeoutDetectorOff;
    BenchPrompts prompts;
    bf::LiveCapture capture(link, host, prompts, prompts, clock);
    prompts.onPump = [&] {
      if (host.shown >= kFrames && host.pushed) {  // the stop click, nested in the loop
        host.pushed = false;
        capture.OnStartStopClicked();
      }
    };
    host.pushed = true;
    capture.OnStartStopClicked();
    frames += host.shown;
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

// What the simulated camera spends drawing and encoding one frame (not part of the tool).
void BM_SimCameraFrame(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  bf::sim::FrameMaker maker({width, width * 3 / 4});
  bf::sim::FrameSettings settings;
  settings.compression = 4;
  uint32_t n = 0;
  for (auto _ : state) {
    auto record = maker.MakeRecord(n, n * 50, 1'796'565'785, settings);
    ++n;
    benchmark::DoNotOptimize(record.data());
  }
}

BENCHMARK(BM_LiveLoop)->ArgName("width")->Arg(320)->Arg(640)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimCameraFrame)->ArgName("width")->Arg(320)->Arg(640)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
