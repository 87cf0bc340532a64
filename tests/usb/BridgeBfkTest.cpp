// bfk run inside a test bed with an emulated bridge (bf-usb-bridge), on the default camera
// selection "ftdi": the copies of the three camera types give the simulated flash byte for
// byte, and the link trace of the session equals that of the same session on the simulated
// camera in process, apart from timing; an unplug in the middle of a copy ends it with the
// status text; two bridges are listed by bfk devices.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "cli/BfkRun.h"
#include "flash/FlashAddress.h"
#include "host/TickSource.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "usb/UsbRig.h"

namespace bf {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The trace without its times.
std::string Untimed(const fs::path& path) {
  return std::regex_replace(ReadText(path), std::regex(R"("t": [0-9]+, )"), "");
}

std::vector<uint8_t> FlashOf(const std::string& options, uint64_t address, uint64_t count) {
  std::string error;
  const auto parsed = sim::ParseSimOptions(options, sim::SimOptions::Demo(), &error);
  EXPECT_TRUE(parsed.has_value()) << error;
  VirtualClock clock;
  sim::SimCamera camera(*parsed, clock);
  return camera.FlashBytes(address, count);
}

class UsbBfk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("bf_usb_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  // bfk ARGS on the camera the environment gives (none: "ftdi"), optionally inside the test
  // bed of bf-usb-bridge BRIDGE_ARGS; both outputs together.
  static test::ShellRun Run(const std::string& env, const std::string& bridgeArgs,
                            const std::string& args) {
    std::string command = "env -u BRINDLEFLASH_CAMERA -u BRINDLEFLASH_TRACE " + env + " ";
    if (!bridgeArgs.empty()) {
      command += test::Quoted(BF_USB_BRIDGE_PATH) + " " + bridgeArgs + " -- ";
    }
    return test::Shell(command + test::Bfk() + " " + args + " </dev/null 2>&1");
  }

  fs::path dir_;
};

constexpr const char* kFixed = "frames=40,damaged=0,speed=0,clock=1245067200";

TEST_F(UsbBfk, CopiesGiveTheFlashAndTheSameTraceAsTheSimulatedCamera) {
  BF_REQUIRE_USB_TESTBED();
  struct Case {
    int type;
    uint64_t firstAddress;
    const char* extra;
    const char* chip;
  };
  for (const Case c : {Case{0, uint64_t{kFirstDataSector} * kSectorSize, "", "ft232r"},
                       Case{1, 0, "", "ft232h"}, Case{2, 0, " --range 0-0", "ft232r"}}) {
    SCOPED_TRACE(c.type);
    const std::string options = "type=" + std::to_string(c.type) + "," + kFixed;
    const std::string usb = File("usb" + std::to_string(c.type));
    const std::string sim = File("sim" + std::to_string(c.type));
    const auto overUsb = Run("BRINDLEFLASH_TRACE=" + test::Quoted(usb + ".trace"),
                             "--chip " + std::string(c.chip) + " --camera " + options,
                             "copy -o " + test::Quoted(usb + ".bfk") + c.extra);
    EXPECT_EQ(overUsb.exitCode, 0) << overUsb.output;
    const auto inProcess =
        Run("BRINDLEFLASH_TRACE=" + test::Quoted(sim + ".trace"), "",
            "copy -o " + test::Quoted(sim + ".bfk") + " --camera sim:" + options + c.extra);
    EXPECT_EQ(inProcess.exitCode, 0) << inProcess.output;

    const std::string bytes = ReadText(usb + ".bfk");
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, ReadText(sim + ".bfk"));
    const auto flash = FlashOf(options, c.firstAddress, bytes.size());
    EXPECT_TRUE(std::vector<uint8_t>(bytes.begin(), bytes.end()) == flash);
    const std::string trace = Untimed(usb + ".trace");
    EXPECT_NE(trace.find("\"op\": \"read\""), std::string::npos);
    EXPECT_EQ(trace, Untimed(sim + ".trace"));
  }
}

TEST_F(UsbBfk, HandshakeClockAndEraseOverTheBridge) {
  BF_REQUIRE_USB_TESTBED();
  const auto clock = Run("TZ=UTC", "--camera clock=1245067200", "clock");
  EXPECT_EQ(clock.exitCode, 0) << clock.output;
  EXPECT_NE(clock.output.find("2009-06-15 12:00:0"), std::string::npos) << clock.output;
  const auto erase = Run("", "--camera erase_ms=0", "erase --yes");
  EXPECT_EQ(erase.exitCode, 0) << erase.output;
  EXPECT_NE(erase.output.find("flash erased"), std::string::npos) << erase.output;
}

TEST_F(UsbBfk, AnUnplugDuringACopyEndsItWithTheStatusText) {
  BF_REQUIRE_USB_TESTBED();
  const std::string out = File("cut.bfk");
  const auto run = Run("", std::string("--unplug-after-bytes 100000 --camera type=0,") + kFixed,
                       "copy -o " + test::Quoted(out));
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("outcome: failed: Ошибка ввода/вывода"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("complete: no"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace bf
