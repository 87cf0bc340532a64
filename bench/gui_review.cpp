// The review window on a 1 GiB recording of 52,000 frames of 640x480 pictures spread over five
// days in bursts with gaps, against the bare frame index of the same file in the same run:
// opening the window, redrawing the timeline at zooms from the whole file to seconds, a hover
// thumbnail, a jump to a time, stepping frame by frame with the picture painted at 640x480, and
// the memory the window takes above the index. Wall-clock times on a warm page cache; the
// counters carry the figures.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <chrono>
#include <memory>
#include <random>

#include "RecordingBenchFiles.h"
#include "frames/HeaderGenerator.h"
#include "recordings/Recording.h"
#include "review/ReviewPicture.h"
#include "review/ReviewWindow.h"
#include "review/TimelineStrip.h"
#include "sim/FrameMaker.h"
#include "support/ScriptedPrompts.h"

namespace {

constexpr uint32_t kFrames = 52'000;
constexpr uint32_t kRecordBytes = static_cast<uint32_t>(bf::bench::kGiB / kFrames);  // 20,648
constexpr uint32_t kFirstTime = 1'765'000'000;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Samples in ms: median and the largest.
struct Samples {
  std::vector<double> ms;
  double Median() {
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
  }
  double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// Bursts of 50 to 600 frames at one to four a second, 1 minute to 4 hours apart: five days.
// Each record is a simulated-camera picture padded to kRecordBytes (a decoder stops at the
// picture's end marker); the file ends with erased flash.
std::string ReviewRecording() {
  const std::string path = bf::bench::TempPath("bf-bench-review-1g.bfk");
  std::vector<std::vector<uint8_t>> payloads;
  std::mt19937 random(11);
  uint32_t frame = 0, time = kFirstTime, burstLeft = 0, perSecond = 1, inSecond = 0;
  const bool ok =
      bf::bench::EnsureFile(path, bf::bench::kGiB, [&](uint64_t, std::vector<uint8_t>& piece) {
        if (payloads.empty()) {
          bf::sim::FrameMaker maker(bf::PictureSize{640, 480});
          for (uint32_t k = 0; k < 8; ++k) {
            std::vector<uint8_t> record =
                maker.MakeRecord(k, k * 40, kFirstTime, bf::sim::FrameSettings{});
            record.erase(record.begin(), record.begin() + bf::kFrameHeaderSize);
            record.resize(kRecordBytes - bf::kFrameHeaderSize, 0x00);
            payloads.push_back(std::move(record));
          }
        }
        for (int k = 0; k < 64; ++k, ++frame) {
          if (frame >= kFrames) {
            piece.resize(piece.size() + kRecordBytes, 0xFF);
            continue;
          }
          if (burstLeft == 0) {
            burstLeft = 50 + static_cast<uint32_t>(random() % 551);
            perSecond = 1 + static_cast<uint32_t>(random() % 4);
            time += 60 + static_cast<uint32_t>(random() % (4 * 3600));
            inSecond = 0;
          }
          --burstLeft;
          if (++inSecond > perSecond) {
            ++time;
            inSecond = 1;
          }
          const std::vector<uint8_t>& p = payloads[frame % payloads.size()];
          const bf::FrameHeader h =
              bf::FrameHeader::Make(static_cast<uint16_t>(kRecordBytes), time, 2, 0, 7, 0);
          piece.insert(piece.end(), h.bytes.begin(), h.bytes.end());
          piece.insert(piece.end(), p.begin(), p.end());
        }
      });
  return ok ? path : std::string();
}

void BM_ReviewWindow1GiB(benchmark::State& state) {
  const std::string path = ReviewRecording();
  if (path.empty()) {
    state.SkipWithError("cannot write the benchmark file");
    return;
  }
  const bf::JpegHeaderTable table = bf::GenerateHeaderTable({640, 480});
  {
    bf::Recording warm;  // the page cache, and the allocator's first growth
    warm.Open(path);
  }
  double indexMs = 0, openMs = 0, redrawMedianMs = 0, redrawMaxMs = 0, thumbMedianMs = 0,
         thumbMaxMs = 0, thumbnails = 0, jumpMedianMs = 0, jumpMaxMs = 0, stepFps = 0,
         aboveIndexMiB = 0, frames = 0;
  for (auto _ : state) {
    const long base = bf::bench::RssAnonKiB();
    long indexKiB = 0;
    {
      bf::Recording bare;
      bare.Open(path);
      indexKiB = bf::bench::RssAnonKiB() - base;
      frames = static_cast<double>(bare.Count());
    }
    bf::ScriptedPrompts prompts;
    auto window =
        std::make_unique<bf::ui::ReviewWindow>(prompts, table, [] { return bf::Rotation::None; });
    window->resize(1280, 720);
    window->show();
    QApplication::processEvents();
    window->Open(path);
    // Opening again, each time against a bare index just before, on a machine shared with
    // other work: the medians of the pairs.
    Samples index, open;
    for (int k = 0; k < 9; ++k) {
      const auto i0 = Clock::now();
      {
        bf::Recording bare;
        bare.Open(path);
      }
      index.ms.push_back(MsSince(i0));
      const auto o0 = Clock::now();
      window->Open(path);
      open.ms.push_back(MsSince(o0));
    }
    indexMs = index.Median();
    openMs = open.Median();
    QApplication::processEvents();

    // The timeline at each zoom, from the whole file to a few seconds; the first drawing (font
    // caches) is left out.
    bf::ui::TimelineStrip& strip = window->Timeline();
    bf::ReviewPresenter& presenter = window->Presenter();
    QImage canvas(strip.size(), QImage::Format_ARGB32_Premultiplied);
    strip.render(&canvas);
    for (double zoom : {1.0, 5.0, 120.0, 7200.0, 1e9}) {
      presenter.ShowWhole();
      presenter.ZoomAround(presenter.CurrentTime(), zoom);
      Samples redraw;
      for (int k = 0; k < 20; ++k) {
        const auto r0 = Clock::now();
        strip.render(&canvas);
        redraw.ms.push_back(MsSince(r0));
      }
      redrawMedianMs = std::max(redrawMedianMs, redraw.Median());
      redrawMaxMs = std::max(redrawMaxMs, redraw.Max());
    }
    presenter.ShowWhole();

    // Hover thumbnails of frames not yet seen, the mouse moving over the timeline to each.
    std::mt19937 random(5);
    const auto times = presenter.GetTimeline().SortedTimes();
    Samples thumbs;
    for (int k = 0; k < 200; ++k) {
      const uint32_t t = times[random() % times.size()];
      presenter.ZoomAround(t, 1e9);  // a few seconds around it: one frame a column or more
      const QPointF at(strip.XOf(t + 0.5), 20.0);
      QMouseEvent move(QEvent::MouseMove, at, strip.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                       Qt::NoModifier);
      const auto h0 = Clock::now();
      QApplication::sendEvent(&strip, &move);
      thumbs.ms.push_back(MsSince(h0));
      presenter.ShowWhole();
    }
    thumbMedianMs = thumbs.Median();
    thumbMaxMs = thumbs.Max();
    thumbnails = static_cast<double>(window->Thumbnails().Decodes());

    // Jumps to times anywhere in the file, the picture painted.
    const double first = presenter.GetTimeline().FirstTime();
    const double span = presenter.GetTimeline().LastTime() - first;
    Samples jumps;
    for (int k = 0; k < 200; ++k) {
      const double at = first + span * static_cast<double>(random() % 100000) / 100000.0;
      const auto j0 = Clock::now();
      presenter.GoToTime(at);
      window->Picture().repaint();
      jumps.ms.push_back(MsSince(j0));
    }
    jumpMedianMs = jumps.Median();
    jumpMaxMs = jumps.Max();

    // Holding Right (the keyboard repeating it): each frame read, decoded and painted at 640x480
    // as the window steps on its own.
    window->Picture().setFixedSize(640, 480 + window->Picture().fontMetrics().height());
    QApplication::processEvents();
    presenter.Home();
    const std::size_t from = presenter.Position();
    QKeyEvent held(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(window.get(), &held);
    const auto s0 = Clock::now();
    while (presenter.Position() < from + 1000 && window->HeldDirection() != 0) {
      QApplication::processEvents();
    }
    stepFps = static_cast<double>(presenter.Position() - from) / (MsSince(s0) / 1000.0);
    QKeyEvent released(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), false);
    QApplication::sendEvent(window.get(), &released);

    aboveIndexMiB = static_cast<double>(bf::bench::RssAnonKiB() - base - indexKiB) / 1024.0;
    state.SetIterationTime(openMs / 1000.0);
    window.reset();
  }
  state.counters["frames"] = frames;
  state.counters["index_ms"] = indexMs;
  state.counters["open_ms"] = openMs;
  state.counters["open_x_index"] = openMs / indexMs;
  state.counters["redraw_median_ms"] = redrawMedianMs;  // the slowest zoom's
  state.counters["redraw_max_ms"] = redrawMaxMs;
  state.counters["thumb_median_ms"] = thumbMedianMs;
  state.counters["thumb_max_ms"] = thumbMaxMs;
  state.counters["thumbs_decoded"] = thumbnails;
  state.counters["jump_median_ms"] = jumpMedianMs;
  state.counters["jump_max_ms"] = jumpMaxMs;
  state.counters["step_fps"] = stepFps;
  state.counters["MiB_above_index"] = aboveIndexMiB;
}
BENCHMARK(BM_ReviewWindow1GiB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
