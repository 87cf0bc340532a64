// bfk sample: the file looks like a flash copy of the simulated camera.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "SimRig.h"
#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"

namespace bf::test {
namespace {

// bfk of this build as a command for the platform's shell; cmd.exe takes a leading "/" for a
// switch, so the program's name gets the Windows separators there.
std::string BfkCommand(const std::string& args) {
#ifdef _WIN32
  std::string program = BF_BFK_PATH;
  for (char& c : program) {
    if (c == '/') c = '\\';
  }
  // cmd /c drops the outer pair of quotes of a command that starts with one.
  return "\"\"" + program + "\" " + args + "\"";
#else
  return std::string(BF_BFK_PATH) + " " + args;
#endif
}

#ifdef _WIN32
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif

std::vector<uint8_t> RunSample(const std::string& args) {
  const auto path =
      std::filesystem::temp_directory_path() /
      ("bf_sample_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
       std::to_string(std::rand()) + ".bfk");
  const std::string command = BfkCommand("sample -o " + path.string() + " " + args);
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<uint8_t> bytes;
  {
    std::ifstream in(path, std::ios::binary);  // closed before the removal (Windows needs it)
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::remove(path);
  return bytes;
}

struct Walk {
  std::vector<std::size_t> frames;                           // every header met, in file order
  std::vector<std::pair<std::size_t, std::size_t>> damaged;  // [from, to) between records
  std::size_t end = 0;                                       // where 16 FF bytes were met
};

// Follows record lengths, resynchronising over damaged bytes in 512-byte steps, until erased
// flash, as a reader of recording files does.
Walk WalkRecords(const std::vector<uint8_t>& b) {
  Walk w;
  std::size_t at = 0;
  std::size_t damageStart = 0;
  bool damaged = false;
  while (at + 16 <= b.size()) {
    if (IsFrameHeader(b.data() + at)) {
      if (damaged) w.damaged.emplace_back(damageStart, at);
      damaged = false;
      w.frames.push_back(at);
      at += FrameHeader::FromBytes(b.data() + at).RecordLength();
      continue;
    }
    if (std::all_of(b.begin() + at, b.begin() + at + 16, [](uint8_t x) { return x == 0xFF; })) {
      break;
    }
    if (!damaged) damageStart = at;
    damaged = true;
    at += 512;
  }
  w.end = at;
  return w;
}

TEST(BfkSample, RecordsBackToBackOverRecordingsOnDifferentDaysThenErasedFlash) {
  const auto bytes = RunSample("--frames 40 --recordings 4");
  const Walk w = WalkRecords(bytes);
  ASSERT_EQ(w.frames.size(), 40u);
  EXPECT_TRUE(w.damaged.empty());
  EXPECT_EQ(bytes.size() % 512, 0u);
  ASSERT_GE(bytes.size() - w.end, 16u);
  EXPECT_TRUE(std::all_of(bytes.begin() + w.end, bytes.end(), [](uint8_t x) { return x == 0xFF; }));
  std::set<uint32_t> days;
  const JpegHeaderTable table = GenerateHeaderTable({320, 240});
  for (std::size_t at : w.frames) {
    const auto h = FrameHeader::FromBytes(bytes.data() + at);
    days.insert(h.Timestamp() / 86'400);
    std::span<const uint8_t> payload(bytes.data() + at + 16, PayloadLength(h));
    const JpegInfo info = DecodeCheckJpeg(RebuildJpeg(table, h, payload));
    ASSERT_TRUE(info.ok) << info.error;
    EXPECT_EQ(info.warnings, 0);
  }
  EXPECT_EQ(days.size(), 4u);
}

TEST(BfkSample, DamagedStretchesAreNeitherHeadersNorErasedAndReaderResynchronises) {
  const auto bytes = RunSample("--frames 30 --recordings 5 --damaged --size 640x480 --seed 7");
  const Walk w = WalkRecords(bytes);
  EXPECT_EQ(w.frames.size(), 30u);
  ASSERT_EQ(w.damaged.size(), 2u);  // before recordings 2 and 4
  for (auto [from, to] : w.damaged) {
    EXPECT_GE(to - from, 512u);
    EXPECT_EQ(std::count(bytes.begin() + from, bytes.begin() + to, 0xFF), 0);
  }
  const auto h = FrameHeader::FromBytes(bytes.data());
  const JpegInfo info = DecodeCheckJpeg(
      RebuildJpeg(GenerateHeaderTable({640, 480}), h, {bytes.data() + 16, PayloadLength(h)}));
  EXPECT_TRUE(info.ok);
  EXPECT_EQ(info.width, 640);
}

TEST(BfkSample, FastModeAndSectorAlignmentKeepTheLayout) {
  const auto bytes = RunSample("--frames 25 --recordings 2 --fast --sector-aligned");
  const Walk w = WalkRecords(bytes);
  ASSERT_EQ(w.frames.size(), 25u);
  for (std::size_t at : w.frames) EXPECT_EQ(at % 512, 0u);
  EXPECT_NE(std::system(BfkCommand(std::string("sample --frames 3 2>") + kNullDevice).c_str()), 0);
}

}  // namespace
}  // namespace bf::test
