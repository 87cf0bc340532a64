// Indexing a 1 GiB recording and a 1 GiB damaged file against two yardsticks measured in the
// same run: the floor, one bare sequential read() of the same file in 1 MiB blocks, and a
// general tool (ffprobe) counting the same frames stored as complete JPEGs. Every file is read
// once before timing, so all three run on a warm page cache (dropping the cache needs root).
// Each iteration times the index and the floor back to back, so the ratio holds even when other
// work on the machine slows both; the times are wall clock and CPU time (user + system).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "RecordingBenchFiles.h"
#include "frames/HeaderGenerator.h"
#include "recordings/Recording.h"

namespace {

struct Cost {
  double wallMs = 0;
  double cpuMs = 0;
};

double CpuMs(int who) {
  rusage u{};
  ::getrusage(who, &u);
  return (static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3) +
         (static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3);
}

// `who`: RUSAGE_SELF, or RUSAGE_CHILDREN for work done by a child process.
Cost Measure(const std::function<void()>& work, int who = RUSAGE_SELF) {
  const double cpu0 = CpuMs(who);
  const auto t0 = std::chrono::steady_clock::now();
  work();
  const auto t1 = std::chrono::steady_clock::now();
  return {std::chrono::duration<double, std::milli>(t1 - t0).count(), CpuMs(who) - cpu0};
}

// The floor: every byte of the file through read() in 1 MiB blocks, nothing else.
uint64_t ReadWhole(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::vector<char> block(std::size_t{1} << 20);
  uint64_t total = 0;
  ssize_t n = 0;
  while ((n = ::read(fd, block.data(), block.size())) > 0) total += static_cast<uint64_t>(n);
  ::close(fd);
  return total;
}

struct Sums {
  Cost index, floor;
  int n = 0;
  void Add(const Cost& i, const Cost& f) {
    index.wallMs += i.wallMs;
    index.cpuMs += i.cpuMs;
    floor.wallMs += f.wallMs;
    floor.cpuMs += f.cpuMs;
    ++n;
  }
  void Report(benchmark::State& state) const {
    if (n == 0) return;
    state.counters["index_ms"] = index.wallMs / n;
    state.counters["floor_ms"] = floor.wallMs / n;
    state.counters["x_floor"] = index.wallMs / floor.wallMs;
    state.counters["index_cpu_ms"] = index.cpuMs / n;
    state.counters["floor_cpu_ms"] = floor.cpuMs / n;
    state.counters["x_floor_cpu"] = index.cpuMs / floor.cpuMs;
  }
};

std::size_t IndexOnce(const std::string& path) {
  bf::Recording recording;
  recording.Open(path);
  benchmark::DoNotOptimize(recording.Index().data());
  return recording.Count();
}

void IndexAgainstFloor(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("cannot write the benchmark file");
    return;
  }
  ReadWhole(path);  // warm the page cache
  std::size_t frames = 0;
  long anonKiB = 0;
  Sums sums;
  for (auto _ : state) {
    const long before = bf::bench::RssAnonKiB();
    const Cost index = Measure([&] {
      bf::Recording recording;
      recording.Open(path);
      frames = recording.Count();
      anonKiB = std::max(anonKiB, bf::bench::RssAnonKiB() - before);
      benchmark::DoNotOptimize(recording.Index().data());
    });
    const Cost floor = Measure([&] { benchmark::DoNotOptimize(ReadWhole(path)); });
    sums.Add(index, floor);
    state.SetIterationTime(index.wallMs / 1e3);
  }
  sums.Report(state);
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["index_anon_KiB"] = static_cast<double>(anonKiB);
}

void BM_Index1GiBRecording(benchmark::State& state) {
  IndexAgainstFloor(state, bf::bench::GigabyteRecording());
}
BENCHMARK(BM_Index1GiBRecording)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void BM_Index1GiBDamaged(benchmark::State& state) {
  IndexAgainstFloor(state, bf::bench::GigabyteDamaged());
}
BENCHMARK(BM_Index1GiBDamaged)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The general tool on the same frames as complete JPEGs, timed against our index of the
// recording in the same iteration.
void BM_FfprobeCount1GiB(benchmark::State& state) {
  if (std::system("ffprobe -version > /dev/null 2>&1") != 0) {
    state.SkipWithError("ffprobe is not installed");
    return;
  }
  const std::string recording = bf::bench::GigabyteRecording();
  const std::string stream = bf::bench::GigabyteJpegStream(bf::GenerateHeaderTable({320, 240}));
  if (recording.empty() || stream.empty()) {
    state.SkipWithError("cannot write the benchmark files");
    return;
  }
  ReadWhole(recording);
  ReadWhole(stream);
  const std::string command =
      "ffprobe -v error -f mjpeg -count_packets -show_entries "
      "stream=nb_read_packets -of csv=p=0 " +
      stream;
  long packets = 0;
  std::size_t frames = 0;
  Cost probeSum, indexSum;
  int n = 0;
  for (auto _ : state) {
    const Cost probe = Measure(
        [&] {
          std::FILE* pipe = ::popen(command.c_str(), "r");
          if (pipe == nullptr || std::fscanf(pipe, "%ld", &packets) != 1) packets = -1;
          if (pipe != nullptr) ::pclose(pipe);
        },
        RUSAGE_CHILDREN);
    const Cost index = Measure([&] { frames = IndexOnce(recording); });
    probeSum.wallMs += probe.wallMs;
    probeSum.cpuMs += probe.cpuMs;
    indexSum.wallMs += index.wallMs;
    indexSum.cpuMs += index.cpuMs;
    ++n;
    state.SetIterationTime(probe.wallMs / 1e3);
  }
  state.counters["frames"] = static_cast<double>(packets);
  state.counters["index_frames"] = static_cast<double>(frames);
  state.counters["ffprobe_cpu_ms"] = probeSum.cpuMs / n;
  state.counters["index_ms"] = indexSum.wallMs / n;
  state.counters["x_index"] = probeSum.wallMs / indexSum.wallMs;
  state.counters["x_index_cpu"] = probeSum.cpuMs / indexSum.cpuMs;
}
BENCHMARK(BM_FfprobeCount1GiB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
