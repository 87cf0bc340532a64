// Indexing a 1 GiB recording (map, scan, unmap; warm cache), a 1 GiB damaged file, the index's
// anonymous memory, and a general tool (ffprobe) counting the same frames as a yardstick.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "RecordingBenchFiles.h"
#include "frames/HeaderGenerator.h"
#include "recordings/Recording.h"

namespace {

void IndexFile(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("cannot write the benchmark file");
    return;
  }
  std::size_t frames = 0;
  long anonKiB = 0;
  {
    bf::Recording warm;  // fault the file into the page cache before timing
    warm.Open(path);
  }
  for (auto _ : state) {
    const long before = bf::bench::RssAnonKiB();
    bf::Recording recording;
    recording.Open(path);
    frames = recording.Count();
    anonKiB = std::max(anonKiB, bf::bench::RssAnonKiB() - before);
    benchmark::DoNotOptimize(recording.Index().data());
    recording.Close();
  }
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["index_anon_KiB"] = static_cast<double>(anonKiB);
}

void BM_Index1GiBRecording(benchmark::State& state) {
  IndexFile(state, bf::bench::GigabyteRecording());
}
BENCHMARK(BM_Index1GiBRecording)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Index1GiBDamaged(benchmark::State& state) {
  IndexFile(state, bf::bench::GigabyteDamaged());
}
BENCHMARK(BM_Index1GiBDamaged)->Unit(benchmark::kMillisecond)->Iterations(5);

// The yardstick: ffprobe counting the frames of the same recording as complete JPEGs.
void BM_FfprobeCount1GiB(benchmark::State& state) {
  if (std::system("ffprobe -version > /dev/null 2>&1") != 0) {
    state.SkipWithError("ffprobe is not installed");
    return;
  }
  const std::string stream = bf::bench::GigabyteJpegStream(bf::GenerateHeaderTable({320, 240}));
  const std::string command =
      "ffprobe -v error -f mjpeg -count_packets -show_entries "
      "stream=nb_read_packets -of csv=p=0 " +
      stream;
  long packets = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr || std::fscanf(pipe, "%ld", &packets) != 1) packets = -1;
    if (pipe != nullptr) ::pclose(pipe);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["frames"] = static_cast<double>(packets);
}
BENCHMARK(BM_FfprobeCount1GiB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
