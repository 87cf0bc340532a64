// The link trace: every device call of a real exchange with the simulated camera, as a line of
// JSON, through the backend selection that the window and bfk use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "link/BackendRegistry.h"
#include "link/CameraCommands.h"
#include "link/FTD2xx.h"
#include "link/TraceBackend.h"
#include "sim/AllDrivers.h"
#include "sim/SimCamera.h"
#include "sim/VirtualClock.h"
#include "support/Environment.h"
#include "support/TempFolder.h"

namespace bf {
namespace {

// One flat JSON object of numbers and strings, as the trace writes it; an empty map when the
// line is not such an object.
std::map<std::string, std::string> ParseLine(const std::string& line) {
  std::map<std::string, std::string> out;
  std::size_t i = 0;
  auto skip = [&] {
    while (i < line.size() && line[i] == ' ') ++i;
  };
  auto expect = [&](char c) {
    skip();
    if (i >= line.size() || line[i] != c) return false;
    ++i;
    return true;
  };
  auto string = [&](std::string* s) {
    if (!expect('"')) return false;
    const std::size_t end = line.find('"', i);
    if (end == std::string::npos) return false;
    *s = line.substr(i, end - i);
    i = end + 1;
    return true;
  };
  if (!expect('{')) return {};
  for (;;) {
    std::string key;
    std::string value;
    if (!string(&key) || !expect(':')) return {};
    skip();
    if (i < line.size() && line[i] == '"') {
      if (!string(&value)) return {};
      value = "\"" + value;  // strings keep a leading quote to tell them from numbers
    } else {
      const std::size_t start = i;
      while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
      if (i == start) return {};
      value = line.substr(start, i - start);
    }
    out[key] = value;
    skip();
    if (expect('}')) break;
    if (!expect(',')) return {};
  }
  skip();
  return i == line.size() ? out : std::map<std::string, std::string>{};
}

std::vector<std::map<std::string, std::string>> ReadTrace(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::map<std::string, std::string>> lines;
  std::string line;
  while (std::getline(in, line)) {
    lines.push_back(ParseLine(line));
    EXPECT_FALSE(lines.back().empty()) << "not a JSON object: " << line;
  }
  return lines;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s = "\"";
  for (uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (dir_ / "link.jsonl").string();
    const char* old = std::getenv(kTraceEnvironmentVariable);
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
  }
  void TearDown() override {
    if (hadOld_) {
      test::SetEnvironment(kTraceEnvironmentVariable, old_);
    } else {
      test::UnsetEnvironment(kTraceEnvironmentVariable);
    }
  }
  std::shared_ptr<D2xxBackend> Select(const std::string& camera, const std::string& trace,
                                      std::string* warning) {
    test::SetEnvironment(kTraceEnvironmentVariable, trace);
    std::string error;
    auto backend = CreateBackend(camera, AllDrivers(), clock_, &error, warning);
    EXPECT_NE(backend, nullptr) << error;
    return backend;
  }

  VirtualClock clock_;
  const test::TempFolder folder_{"bf-trace"};
  const std::filesystem::path& dir_ = folder_.Path();
  std::string path_;
  std::string old_;
  bool hadOld_ = false;
};

TEST_F(TraceTest, EveryDeviceCallOfAnExchangeIsOneLineWithItsArguments) {
  std::string warning;
  auto backend = Select("sim:type=2,frames=3,speed=0", path_, &warning);
  EXPECT_TRUE(warning.empty()) << warning;
  ASSERT_NE(dynamic_cast<TraceBackend*>(backend.get()), nullptr);
  {
    FTD2xx link(backend, clock_);
    link.Open(0);
    link.ResetDevice();
    clock_.Advance(25);
    link.WriteByte(CMD_GET_STATUS);
    std::vector<uint8_t> status(20);
    status.resize(link.Read(status.data(), 20));  // asks 20, the camera sends 16
    ASSERT_EQ(status.size(), 16u);
    link.Purge(3);
    EXPECT_EQ(link.GetQueueStatus(), 0u);
    link.WriteByte(CMD_GET_FLASH_POINTER);
    std::vector<uint8_t> pointer(5);
    pointer.resize(link.Read(pointer.data(), 5));
    link.Close();

    const auto lines = ReadTrace(path_);  // flushed by the close, before the trace ends
    std::vector<std::string> ops;
    for (const auto& l : lines) ops.push_back(l.at("op"));
    EXPECT_EQ(ops,
              (std::vector<std::string>{"\"open", "\"timeouts", "\"reset", "\"write", "\"read",
                                        "\"purge", "\"queue", "\"write", "\"read", "\"close"}));
    for (const auto& l : lines) EXPECT_EQ(l.at("status"), "0");
    EXPECT_EQ(lines[0].at("index"), "0");
    EXPECT_EQ(lines[1].at("read_ms"), "200");
    EXPECT_EQ(lines[1].at("write_ms"), "200");
    EXPECT_EQ(lines[2].at("t"), "0");
    EXPECT_EQ(lines[3].at("t"), "25");
    EXPECT_EQ(lines[3].at("bytes"), Hex({CMD_GET_STATUS}));
    EXPECT_EQ(lines[4].at("asked"), "20");
    EXPECT_EQ(lines[4].at("got"), "16");
    EXPECT_EQ(lines[4].at("head"), Hex(status));
    EXPECT_EQ(lines[5].at("mask"), "3");
    EXPECT_EQ(lines[6].at("count"), "0");
    EXPECT_EQ(lines[8].at("head"), Hex(pointer));
  }
}

TEST_F(TraceTest, ALongReadShowsOnlyItsFirstSixteenBytesAndFailedCallsTheirStatus) {
  std::string warning;
  auto backend = Select("sim:type=1,frames=20,speed=0", path_, &warning);
  auto* sim = dynamic_cast<sim::SimCamera*>(&dynamic_cast<TraceBackend&>(*backend).Inner());
  ASSERT_NE(sim, nullptr);
  std::vector<uint8_t> flash(8192);
  {
    FTD2xx link(backend, clock_);
    link.Open(0);
    // Packed addresses 0 .. page 3 column 2047: 4 pages, 8 KiB of flash in one read.
    link.WriteByte(CMD_READ_FLASH);
    link.WriteDword(0);
    link.WriteDword(0x000307FF);
    ASSERT_EQ(link.ReadWithTimeout(flash.data(), 8192), 8192u);
    sim->FailCall(sim->CallCount() + 1, ftstatus::kIoError);
    EXPECT_THROW(link.WriteByte(CMD_GET_STATUS), FTDException);
  }
  backend.reset();  // the trace ends: everything buffered goes out
  const auto lines = ReadTrace(path_);
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[3].at("bytes"), Hex({0, 0, 0, 0}));
  EXPECT_EQ(lines[4].at("bytes"), Hex({0xFF, 0x07, 0x03, 0x00}));
  std::size_t got = 0;
  std::size_t reads = 0;
  for (const auto& l : lines) {
    if (l.at("op") != "\"read") continue;
    if (reads++ == 0) {
      EXPECT_EQ(l.at("head"), Hex(std::vector<uint8_t>(flash.begin(), flash.begin() + 16)));
    }
    EXPECT_LE(l.at("head").size(), 1u + 32u);
    got += std::stoul(l.at("got"));
  }
  EXPECT_EQ(got, 8192u);
  const auto& failed = lines[lines.size() - 2];  // then the destructor's close
  EXPECT_EQ(failed.at("op"), "\"write");
  EXPECT_EQ(failed.at("status"), "4");
  EXPECT_EQ(failed.at("written"), "0");
  EXPECT_EQ(lines.back().at("op"), "\"close");
}

TEST_F(TraceTest, TracesAppendAndStayBufferedUntilLargeOrClosed) {
  std::string warning;
  {
    auto backend = Select("sim:speed=0", path_, &warning);
    FTD2xx link(backend, clock_);
    link.Open(0);
  }
  const std::size_t firstRun = ReadTrace(path_).size();
  EXPECT_EQ(firstRun, 3u);  // open, timeouts, close

  auto backend = Select("sim:speed=0", path_, &warning);
  FTD2xx link(backend, clock_);
  link.Open(0);
  EXPECT_EQ(ReadTrace(path_).size(), firstRun) << "two calls must not cost a file write";
  // A second later the next call writes everything out (a killed program loses little).
  clock_.Advance(TraceBackend::kFlushIntervalMs);
  link.Purge(3);
  EXPECT_EQ(ReadTrace(path_).size(), firstRun + 3);
  // Status requests until well past the buffer's threshold: the early lines are on disk while
  // the device is still open.
  const std::size_t perLine = 40;
  for (std::size_t i = 0; i < 2 * TraceBackend::kFlushThreshold / perLine; ++i) {
    link.WriteByte(CMD_GET_WRAP_FLAG);
    uint8_t wrap = 0;
    link.Read(&wrap, 1);
  }
  EXPECT_GT(ReadTrace(path_).size(), firstRun + 1000);
}

TEST_F(TraceTest, AFileThatCannotBeOpenedLeavesTheLinkUntracedWithAReason) {
  const std::string bad = (dir_ / "no such folder" / "t.jsonl").string();
  std::string warning;
  auto backend = Select("sim:speed=0", bad, &warning);
  EXPECT_EQ(dynamic_cast<TraceBackend*>(backend.get()), nullptr);
  EXPECT_NE(warning.find(kTraceEnvironmentVariable), std::string::npos) << warning;
  EXPECT_NE(warning.find(bad), std::string::npos) << warning;
  EXPECT_NE(warning.find("without a link trace"), std::string::npos) << warning;
  FTD2xx link(backend, clock_);
  link.Open(0);
  link.WriteByte(CMD_GET_CAMERA_TYPE);
  uint8_t type = 0xFF;
  EXPECT_EQ(link.Read(&type, 1), 1u);
  EXPECT_FALSE(std::filesystem::exists(bad));

  std::string none;
  auto untraced = Select("sim:speed=0", "", &none);
  EXPECT_EQ(dynamic_cast<TraceBackend*>(untraced.get()), nullptr);
  EXPECT_TRUE(none.empty());
}

TEST_F(TraceTest, AFailingTraceWriteStopsTheTraceButNotTheDevice) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::string warning;
  auto backend = Select("sim:speed=0", "/dev/full", &warning);
  auto* trace = dynamic_cast<TraceBackend*>(backend.get());
  ASSERT_NE(trace, nullptr) << warning;
  FTD2xx link(backend, clock_);
  link.Open(0);
  EXPECT_FALSE(trace->Flush());
  EXPECT_FALSE(trace->TraceError().empty());
  link.WriteByte(CMD_GET_CAMERA_TYPE);
  uint8_t type = 0xFF;
  EXPECT_EQ(link.Read(&type, 1), 1u);
  EXPECT_EQ(type, 0);
  EXPECT_EQ(link.Close(), ftstatus::kOk);
}

}  // namespace
}  // namespace bf
