#include "golden/GoldenTrace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <system_error>

#include "host/Sha256.h"

namespace bf::test {

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A long trace is kept as its first and last kKeptEnds lines around one line that gives the
// number of lines left out and the SHA-256 of all of them, so a kept file stays small and a
// change anywhere still shows.
constexpr std::size_t kKeptEnds = 100;

std::vector<std::string> Elided(const std::vector<std::string>& lines) {
  if (lines.size() <= 3 * kKeptEnds) return lines;
  Sha256 hash;
  for (std::size_t i = kKeptEnds; i < lines.size() - kKeptEnds; ++i) {
    hash.Update(std::span(reinterpret_cast<const uint8_t*>(lines[i].data()), lines[i].size()));
    hash.Update(std::span(reinterpret_cast<const uint8_t*>("\n"), 1));
  }
  std::vector<std::string> kept(lines.begin(), lines.begin() + kKeptEnds);
  kept.push_back("... " + std::to_string(lines.size() - 2 * kKeptEnds) + " lines, sha256 " +
                 hash.FinishHex());
  kept.insert(kept.end(), lines.end() - kKeptEnds, lines.end());
  return kept;
}

std::string GoldenPath(const std::string& name) {
  return std::string(BF_TEST_DATA_DIR) + "/golden/" + name + ".jsonl";
}

}  // namespace

GoldenRig::GoldenRig(const sim::SimOptions& options) {
  tracePath_ = folder_.File("trace.jsonl");
  std::FILE* file = std::fopen(tracePath_.c_str(), "ab");
  if (file == nullptr) throw std::runtime_error("cannot create " + tracePath_);
  auto sim = std::make_unique<sim::SimCamera>(options, clock);
  camera = sim.get();
  auto traced = std::make_shared<TraceBackend>(std::move(sim), file, tracePath_, clock);
  trace_ = traced.get();
  link = std::make_shared<FTDClass>(traced, clock);
}

GoldenRig::~GoldenRig() {
  link.reset();  // closes the trace before the folder goes
}

std::vector<std::string> GoldenRig::TraceLines() {
  EXPECT_TRUE(trace_->Flush()) << trace_->TraceError();
  std::vector<std::string> lines = ReadLines(tracePath_);
  for (std::string& line : lines) line = WithoutTime(line);
  return lines;
}

std::string WithoutTime(const std::string& line) {
  static const std::regex time(R"(^\{"t": [0-9]+, )");
  return std::regex_replace(line, time, "{");
}

void ExpectGoldenTrace(const std::string& name, const std::vector<std::string>& allLines) {
  const std::vector<std::string> lines = Elided(allLines);
  const std::string path = GoldenPath(name);
  const char* write = std::getenv("BF_GOLDEN_WRITE");
  if (write != nullptr && std::string(write) == "1") {
    std::ofstream out(path, std::ios::trunc);
    for (const std::string& line : lines) out << line << '\n';
    out.close();
    ASSERT_TRUE(out) << "cannot write " << path;
    return;
  }
  const std::vector<std::string> kept = ReadLines(path);
  ASSERT_FALSE(kept.empty()) << "no kept trace " << path;
  const std::size_t common = std::min(kept.size(), lines.size());
  for (std::size_t i = 0; i < common; ++i) {
    ASSERT_EQ(kept[i], lines[i]) << name << ": line " << i + 1 << " of the kept trace differs";
  }
  ASSERT_EQ(kept.size(), lines.size())
      << name << ": " << (lines.size() > kept.size() ? "more" : "fewer")
      << " lines than kept; first extra: "
      << (lines.size() > kept.size() ? lines[common] : kept[common]);
}

}  // namespace bf::test
