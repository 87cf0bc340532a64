// bfk sample: writes a recording file as a flash copy of the simulated camera would look.
#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
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
  return 1;
}

int Usage(const std::string& why) {
  std::fprintf(stderr, "bfk sample: %s\n", why.c_str());
  return 2;
}

int RunSample(const std::vector<std::string>& args) {
  std::string output;
  bf::PictureSize size;
  bf::sim::RecordingPlan plan;
  plan.frames = 60;
  plan.recordings = 3;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "-o" || arg == "--frames" || arg == "--recordings" ||
                            arg == "--size" || arg == "--seed" || arg == "--start";
    if (takesValue && i + 1 >= args.size()) return Usage(arg + " needs a value");
    if (arg == "-o") {
      output = args[++i];
    } else if (arg == "--frames") {
      // Read wide, so that a count beyond 32 bits is refused for what it is too.
      uint64_t frames = 0;
      if (!ParseCount(args[++i], &frames)) return Usage("bad frame count " + args[i]);
      if (frames > kMostFrames) {
        return Usage("--frames " + args[i] + " is more than fit into 1 GiB, the largest camera " +
                     "flash: at most " + std::to_string(kMostFrames));
      }
      plan.frames = static_cast<uint32_t>(frames);
    } else if (arg == "--recordings") {
      if (!ParseCount(args[++i], &plan.recordings) || plan.recordings == 0) {
        return Usage("bad recording count " + args[i]);
      }
    } else if (arg == "--seed") {
      if (!ParseCount(args[++i], &plan.seed)) return Usage("bad seed " + args[i]);
    } else if (arg == "--start") {
      if (!ParseCount(args[++i], &plan.firstTimestamp)) return Usage("bad start " + args[i]);
    } else if (arg == "--size") {
      const auto parsed = ParseSize(args[++i]);
      if (!parsed) return Usage("bad picture size '" + args[i] + "': expected WxH, 16..1024");
      size = *parsed;
    } else if (arg == "--damaged") {
      plan.damaged = true;
    } else if (arg == "--fast") {
      plan.reusePayloads = true;
    } else if (arg == "--sector-aligned") {
      plan.sectorAligned = true;
    } else {
      return Usage("unknown argument '" + arg + "'");
    }
  }
  if (output.empty()) return Usage("missing -o FILE");
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
      return 1;
    }
    // Erased flash after the last record, up to a sector boundary and at least 16 bytes.
    std::size_t tail = kSector - static_cast<std::size_t>(file.BytesWritten() % kSector);
    if (tail < kMinErasedTail) tail += kSector;
    const std::vector<uint8_t> erased(tail, 0xFF);
    if (const uint32_t error = file.Write(erased)) return Failed(error, output);
    if (const uint32_t error = file.Commit()) return Failed(error, output);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bfk sample: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace

BFK_COMMAND("sample",
            "sample -o FILE [--frames N] [--recordings K] [--damaged] [--size WxH] [--fast] "
            "[--sector-aligned] [--seed S] [--start UNIXTIME]   write a sample recording",
            &RunSample);
