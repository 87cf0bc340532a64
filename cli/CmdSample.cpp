// bfk sample: writes a recording file as a flash copy of the simulated camera would look.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "sim/FrameMaker.h"
#include "sim/Recordings.h"

namespace {

constexpr int kMaxSide = 1024;
constexpr std::size_t kSector = 512;
constexpr std::size_t kMinErasedTail = 16;

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

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Output through a temporary file renamed over the target at the end, so that a failed run
// never leaves a half-written recording under the requested name.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string path) : path_(std::move(path)) {
    std::random_device random;
    temp_ = path_ + ".tmp" + std::to_string(random());
    file_.reset(std::fopen(temp_.c_str(), "wb"));
    if (!file_) Fail("cannot create " + temp_);
  }
  ~ReplacingFile() {
    if (!committed_) {
      file_.reset();
      std::error_code ignored;
      std::filesystem::remove(temp_, ignored);
    }
  }
  void Write(const uint8_t* data, std::size_t n) {
    if (!error_.empty()) return;
    if (std::fwrite(data, 1, n, file_.get()) != n) Fail("cannot write " + temp_);
    written_ += n;
  }
  std::size_t Written() const { return written_; }
  // Flushes, closes and renames; returns an error text, empty on success.
  std::string Commit() {
    if (error_.empty() && std::fflush(file_.get()) != 0) Fail("cannot write " + temp_);
    if (error_.empty() && std::fclose(file_.release()) != 0) Fail("cannot close " + temp_);
    if (!error_.empty()) return error_;
    std::error_code ec;
    std::filesystem::rename(temp_, path_, ec);
    if (ec) return "cannot replace " + path_ + ": " + ec.message();
    committed_ = true;
    return {};
  }

 private:
  void Fail(const std::string& what) {
    if (error_.empty()) error_ = what + ": " + std::strerror(errno);
  }
  std::string path_;
  std::string temp_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string error_;
  std::size_t written_ = 0;
  bool committed_ = false;
};

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
      if (!ParseCount(args[++i], &plan.frames)) return Usage("bad frame count " + args[i]);
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
    ReplacingFile file(output);
    bf::sim::FrameMaker maker(size);
    bf::sim::WriteRecordings(plan, maker,
                             [&](const uint8_t* p, std::size_t n) { file.Write(p, n); });
    // Erased flash after the last record, up to a sector boundary and at least 16 bytes.
    std::size_t tail = kSector - file.Written() % kSector;
    if (tail < kMinErasedTail) tail += kSector;
    const std::vector<uint8_t> erased(tail, 0xFF);
    file.Write(erased.data(), erased.size());
    if (const std::string error = file.Commit(); !error.empty()) {
      std::fprintf(stderr, "bfk sample: %s\n", error.c_str());
      return 1;
    }
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
