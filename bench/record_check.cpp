// `bfk info --check` on a 1 GiB copy: the file's SHA-256 and that of each of its 2,048 chunks
// of 524,289 bytes computed again from the file (goal: at least 1 GB/s). The file is written
// once before the runs and read from the page cache, as right after a copy; a cold cache measures
// the disk instead.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "flash/CopyRecord.h"
#include "flash/CopyRecordCheck.h"
#include "host/ReplacingFileWriter.h"

namespace {

constexpr uint64_t kFileBytes = 1ull << 30;
constexpr uint64_t kChunkBytes = 524'289;

struct RecordedCopy {
  std::filesystem::path dir;
  std::string file;
  std::string record;
  ~RecordedCopy() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// A 1 GiB file of pseudo-random bytes and its record, made as a copy makes them.
const RecordedCopy& Copy() {
  static RecordedCopy copy = [] {
    RecordedCopy c;
    c.dir =
        std::filesystem::temp_directory_path() / ("bf_bench_check_" + std::to_string(::getpid()));
    std::filesystem::create_directories(c.dir);
    c.file = (c.dir / "big.bfk").string();
    c.record = bf::CopyRecordPath(c.file);
    std::mt19937_64 random(7);
    std::vector<uint8_t> chunk(kChunkBytes);
    bf::FileDigest digest;
    bf::ReplacingFileWriter writer;
    if (writer.Open(c.file) != 0) std::abort();
    for (uint64_t done = 0; done < kFileBytes; done += chunk.size()) {
      chunk.resize(static_cast<std::size_t>(std::min(kChunkBytes, kFileBytes - done)));
      for (std::size_t i = 0; i + 8 <= chunk.size(); i += 8) {
        const uint64_t v = random();
        std::memcpy(chunk.data() + i, &v, 8);
      }
      if (writer.Write(chunk) != 0) std::abort();
      digest.Add(chunk);
    }
    if (writer.Commit() != 0) std::abort();
    bf::CopyRecord record;
    record.outcome = "complete";
    bf::RecordedFile f;
    f.name = "big.bfk";
    f.size = digest.Size();
    f.sha256 = digest.FinishHex();
    f.chunks = digest.Chunks();
    record.files.push_back(f);
    if (bf::WriteCopyRecord(c.record, record) != 0) std::abort();
    return c;
  }();
  return copy;
}

void BM_CheckOneGiB(benchmark::State& state) {
  const RecordedCopy& copy = Copy();
  std::string error;
  const auto record = bf::ReadCopyRecord(copy.record, &error);
  if (!record) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    timespec c0{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
    const auto t0 = std::chrono::steady_clock::now();
    const auto checks = bf::CheckCopyRecord(copy.record, *record);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    timespec c1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
    const double cpu = static_cast<double>(c1.tv_sec - c0.tv_sec) +
                       static_cast<double>(c1.tv_nsec - c0.tv_nsec) * 1e-9;
    state.SetIterationTime(seconds);
    // The machine is shared: CPU seconds of both digests over their two cores say what the check
    // achieves when it gets them.
    state.counters["cpu_s"] = cpu;
    state.counters["GBs_two_free_cores"] = static_cast<double>(kFileBytes) / (cpu / 2) / 1e9;
    if (checks.size() != 1 || !checks[0].matches) state.SkipWithError("the check failed");
    state.counters["GBs"] = static_cast<double>(kFileBytes) / seconds / 1e9;
  }
}
BENCHMARK(BM_CheckOneGiB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
