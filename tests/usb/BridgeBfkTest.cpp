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
#include <sstream>
#include <string>
#include <vector>

#include "cli/BfkRun.h"
#include "flash/FlashAddress.h"
#include "host/TickSource.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "support/TempFolder.h"
#include "usb/UsbRig.h"

namespace bf {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The trace apart from timing: without its times, and with a read that ran out of time
// joined to the read of the rest that follows it (how a long reply splits over reads depends
// on how fast the bytes come).
std::string Untimed(const fs::path& path) {
  const std::regex time(R"("t": [0-9]+, )");
  const std::regex read(R"(\{"op": "read", "status": 0, "asked": ([0-9]+), "got": ([0-9]+), (.*))");
  std::istringstream lines(ReadText(path));
  std::vector<std::string> out;
  uint64_t pendingAsked = 0;  // the read before was short by this much
  uint64_t pendingGot = 0;
  std::string pendingRest;
  std::string line;
  while (std::getline(lines, line)) {
    line = std::regex_replace(line, time, "");
    std::smatch m;
    if (std::regex_match(line, m, read)) {
      const uint64_t asked = std::stoull(m[1]);
      const uint64_t got = std::stoull(m[2]);
      if (pendingAsked != 0 && asked == pendingAsked - pendingGot) {
        pendingGot += got;
      } else {
        pendingAsked = asked;
        pendingGot = got;
        pendingRest = m[3];
      }
      const std::string joined =
          "{\"op\": \"read\", \"status\": 0, \"asked\": " + std::to_string(pendingAsked) +
          ", \"got\": " + std::to_string(pendingGot) + ", " + pendingRest;
      if (!out.empty() && asked != pendingAsked)
        out.back() = joined;
      else
        out.push_back(joined);
      if (pendingGot >= pendingAsked || got == 0) pendingAsked = 0;
      continue;
    }
    pendingAsked = 0;
    out.push_back(line);
  }
  std::string text;
  for (const std::string& l : out) text += l + "\n";
  return text;
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
  // A shell script inside the test bed.
  static test::ShellRun RunScript(const std::string& bridgeArgs, const std::string& script) {
    return test::Shell("env -u BRINDLEFLASH_CAMERA -u BRINDLEFLASH_TRACE " +
                       test::Quoted(BF_USB_BRIDGE_PATH) + " " + bridgeArgs + " -- sh -c " +
                       test::Quoted(script) + " </dev/null 2>&1");
  }

  const test::TempFolder folder_{"bf-usb"};
  const fs::path& dir_ = folder_.Path();
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

TEST_F(UsbBfk, DevicesListsTwoBridgesAndEachIsReachedByIndexOrSerial) {
  BF_REQUIRE_USB_TESTBED();
  const std::string two = "--bridges 2 --serial BF000041 --camera type=0,erase_ms=0," +
                          std::string(kFixed) + " --camera type=1,erase_ms=0," + kFixed;
  const auto list = Run("", two, "devices");
  EXPECT_EQ(list.exitCode, 0) << list.output;
  EXPECT_NE(list.output.find("ftdi:0  serial BF000041  \"FT232R USB UART\" (0403:6001)  bus 1 "
                             "port 1-1  can be opened"),
            std::string::npos)
      << list.output;
  EXPECT_NE(list.output.find("ftdi:1  serial BF000042"), std::string::npos) << list.output;

  // The erase reaches the bridge that was named and no other.
  const std::string bfk = test::Bfk();
  const auto erase = RunScript(
      two, bfk + " erase --yes --camera ftdi:1 && " + bfk + " copy -o " +
               test::Quoted(File("a.bfk")) + " --camera ftdi:serial=BF000041 && " + bfk +
               " copy -o " + test::Quoted(File("b.bfk")) + " --camera ftdi:serial=BF000042");
  EXPECT_NE(erase.output.find("flash erased"), std::string::npos) << erase.output;
  EXPECT_NE(erase.output.find("camera type: 0"), std::string::npos) << erase.output;
  EXPECT_NE(erase.output.find("frames: 40\n"), std::string::npos) << erase.output;
  EXPECT_NE(erase.output.find("camera type: 1"), std::string::npos) << erase.output;
  EXPECT_NE(erase.output.find("Флеш-память камеры пуста"), std::string::npos) << erase.output;

  const auto missing = Run("", two, "clock --camera ftdi:serial=BF000043");
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_NE(missing.output.find("Устройство не найдено"), std::string::npos) << missing.output;
  EXPECT_NE(missing.output.find("serial BF000043"), std::string::npos) << missing.output;
}

}  // namespace
}  // namespace bf
