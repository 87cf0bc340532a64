// bfk sample: writes a recording file as a flash copy of the simulated camera would look.
#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "sim/FrameMaker.h"
#include "sim/Recordings.h"

namespace {

constexpr int kMaxSide = 1024;
constexpr std::size_t kSector = 512;
constexpr std::size_t kMinErasedTail = 16;
// A sample stands for a flash copy, and the largest camera flash (type 2) holds 1 GiB. The
// smallest record is a 16-byte header and a payload of no more than the end-of-image marker,
// so no more frames than this can fit; bigger pictures fill the flash sooner, which the byte
// count below catches while writing.
constexpr uint64_t kLargestFlash = uint64_t{1} << 30;
constexpr uint64_t kSmallestRecord = 16 + 2;
constexpr uint64_t kMostFrames = kLargestFlash / kSmallestRecord;
// Room kept for the erased tail, so that the whole file stays within the flash.
constexpr uint64_t kMostRecordedBytes = kLargestFlash - kSector - kMinErasedTail;

template <class T>
bool ParseCount(const std::string& text, T* out) {
  const char* end = text.data() + text.size();
  auto r = std::from_chars(text.data(), end, *out);
  return !text.empty() && r.ec == std::errc() && r.ptr == end;
}

std::optional<bf::PictureSize> ParseSize(const std::string& text) {
  const auto x = text.find('x');
  bf::PictureSize size;
  if (x == std::string::npos || !ParseCount(text.substr(0, x), &size.width) ||
      !ParseCount(text.substr(x + 1), &size.height)) {
    return std::nullopt;
  }
  if (size.width < 16 || size.height < 16 || size.width > kMaxSide || size.height > kMaxSide) {
    return std::nullopt;
  }
  return size;
}

int Failed(uint32_t error, const std::string& output) {
  std::fprintf(stderr, "bfk sample: %s\n", bf::FileErrorText(error, output).c_str());
  return bf::cli::kExitFailure;
}

struct SampleOptions {
  std::string output, frames, recordings, seed, start, size;
  bool damaged = false;
  bool fast = false;
  bool sectorAligned = false;
};

void DeclareSample(bf::cli::CommandLine& line, SampleOptions& o) {
  line.Value("-o", o.output);
  line.Value("--frames", o.frames);
  line.Value("--recordings", o.recordings);
  line.Value("--size", o.size);
  line.Value("--seed", o.seed);
  line.Value("--start", o.start);
  line.Flag("--damaged", o.damaged);
  line.Flag("--fast", o.fast);
  line.Flag("--sector-aligned", o.sectorAligned);
}

// The option values as the plan and picture size; a malformed one fails the command line.
void TakeSample(bf::cli::CommandLine& line, const SampleOptions& o, bf::sim::RecordingPlan& plan,
                bf::PictureSize& size) {
  if (line.Given("--frames")) {
    // Read wide, so that a count beyond 32 bits is refused for what it is too.
    uint64_t frames = 0;
    if (!ParseCount(o.frames, &frames)) {
      line.Fail("bad frame count " + o.frames);
    } else if (frames > kMostFrames) {
      line.Fail("--frames " + o.frames + " is more than fit into 1 GiB, the largest camera " +
                "flash: at most " + std::to_string(kMostFrames));
    }
    plan.frames = static_cast<uint32_t>(frames);
  }
  if (line.Given("--recordings") &&
      (!ParseCount(o.recordings, &plan.recordings) || plan.recordings == 0)) {
    line.Fail("bad recording count " + o.recordings);
  }
  if (line.Given("--seed") && !ParseCount(o.seed, &plan.seed)) line.Fail("bad seed " + o.seed);
  if (line.Given("--start") && !ParseCount(o.start, &plan.firstTimestamp)) {
    line.Fail("bad start " + o.start);
  }
  if (line.Given("--size")) {
    const auto parsed = ParseSize(o.size);
    if (!parsed) line.Fail("bad picture size '" + o.size + "': expected WxH, 16..1024");
    size = parsed.value_or(size);
  }
  plan.damaged = o.damaged;
  plan.reusePayloads = o.fast;
  plan.sectorAligned = o.sectorAligned;
}

int RunSample(const std::vector<std::string>& args) {
  SampleOptions o;
  bf::cli::CommandLine line("sample");
  DeclareSample(line, o);
  bf::PictureSize size;
  bf::sim::RecordingPlan plan;
  plan.frames = 60;
  plan.recordings = 3;
  if (line.Parse(args)) TakeSample(line, o, plan, size);
  if (!line.Failed() && o.output.empty()) line.Fail("missing -o FILE");
  if (line.Failed()) return line.Report();
  const std::string& output = o.output;
  try {
    bf::ReplacingFileWriter file;
    if (const uint32_t error = file.Open(output)) return Failed(error, output);
    bf::sim::FrameMaker maker(size);
    // The first failed write ends the run (a full disk must not cost the whole encoding).
    struct WriteStopped {};
    struct FlashFull {};
    try {
      bf::sim::WriteRecordings(plan, maker, [&](const uint8_t* p, std::size_t n) {
        if (file.BytesWritten() + n > kMostRecordedBytes) throw FlashFull{};
        if (file.Write({p, n}) != 0) throw WriteStopped{};
      });
    } catch (const WriteStopped&) {
      return Failed(file.Error(), output);
    } catch (const FlashFull&) {
      std::fprintf(stderr,
                   "bfk sample: %u frames of this picture size do not fit into 1 GiB, the "
                   "largest camera flash\n",
                   plan.frames);
      return bf::cli::kExitFailure;
    }
    // Erased flash after the last record, up to a sector boundary and at least 16 bytes.
    std::size_t tail = kSector - static_cast<std::size_t>(file.BytesWritten() % kSector);
    if (tail < kMinErasedTail) tail += kSector;
    const std::vector<uint8_t> erased(tail, 0xFF);
    if (const uint32_t error = file.Write(erased)) return Failed(error, output);
    if (const uint32_t error = file.Commit()) return Failed(error, output);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bfk sample: %s\n", e.what());
    return bf::cli::kExitFailure;
  }
  return bf::cli::kExitDone;
}

}  // namespace

BFK_COMMAND("sample",
            "sample -o FILE [--frames N] [--recordings K] [--damaged] [--size WxH] [--fast] "
            "[--sector-aligned] [--seed S] [--start UNIXTIME]   write a sample recording",
            &RunSample);
