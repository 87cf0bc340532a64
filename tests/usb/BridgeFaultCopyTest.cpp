// bfk copies through an emulated bridge with faults at the USB level (bf-usb-bridge --fault,
// --unplug-after-bytes): transfers cut short, writes taken in parts and a link paced so that
// bulk transfers run out of time half filled give the flash byte for byte; a halted endpoint
// or a pulled bridge ends the copy with the status text and the file holds exactly the whole
// chunks the report counts, as they are in the flash.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "cli/BfkRun.h"
#include "flash/FlashAddress.h"
#include "support/SimFlash.h"
#include "support/TestFolder.h"
#include "usb/UsbRig.h"

namespace bf {
namespace {

std::string FlashOf(const std::string& options, uint64_t address, uint64_t count) {
  const std::vector<uint8_t> bytes = test::SimFlashBytes(options, address, count);
  return {bytes.begin(), bytes.end()};
}

uint64_t Field(const std::string& report, const std::string& name) {
  std::smatch m;
  if (!std::regex_search(report, m, std::regex("  " + name + ": ([0-9]+)"))) {
    ADD_FAILURE() << "no " << name << " in\n" << report;
    return 0;
  }
  return std::stoull(m[1]);
}

struct CameraCase {
  int type;
  uint64_t firstAddress;
  const char* extra;  // bfk copy arguments
  uint64_t bytes;     // how much the copy moves
};

const CameraCase kCases[] = {
    {0, uint64_t{kFirstDataSector} * kSectorSize, "", 278528},
    {1, 0, "", 269484},
    {2, 0, " --range 0-0", 269484},
};

std::string Options(const CameraCase& c, const char* speed = "0") {
  return "type=" + std::to_string(c.type) + ",frames=40,damaged=0,clock=1245067200,speed=" + speed;
}

class UsbBfkFault : public test::FolderTest {
 protected:
  UsbBfkFault() : FolderTest("bf_usbfault_") {}

  // bfk copy into FILE inside the test bed of bf-usb-bridge BRIDGE_ARGS.
  test::ShellRun Copy(const std::string& bridgeArgs, const std::string& file,
                      const std::string& extra) const {
    return test::Shell("env -u BRINDLEFLASH_CAMERA -u BRINDLEFLASH_TRACE " +
                       test::Quoted(BF_USB_BRIDGE_PATH) + " " + bridgeArgs + " -- " + test::Bfk() +
                       " copy -o " + test::Quoted(file) + extra + " </dev/null 2>&1");
  }
};

TEST_F(UsbBfkFault, ShortTransfersPartWritesAndAPacedLinkGiveTheFlash) {
  BF_REQUIRE_USB_TESTBED();
  struct Way {
    const char* name;
    const char* bridge;
    const char* speed;
  };
  // At 50 kB/s the full-speed chip's 64-byte packets fill before its latency timer runs out, so
  // a bulk transfer ends only when full, later than the host's transfer timeout.
  for (const Way way : {Way{"short", "--chip ft232h --fault short-in-every=3,out-at-most=1", "0"},
                        Way{"paced", "--chip ft232r", "50000"}}) {
    for (const CameraCase& c : kCases) {
      if (std::string(way.name) == "paced" && c.type != 1) continue;  // one is enough, and slow
      SCOPED_TRACE(std::string(way.name) + " type " + std::to_string(c.type));
      const std::string options = Options(c, way.speed);
      const std::string file = File(std::string(way.name) + ".bfk");
      const auto run = Copy(std::string(way.bridge) + " --camera " + options, file, c.extra);
      EXPECT_EQ(run.exitCode, 0) << run.output;
      EXPECT_NE(run.output.find("complete: yes"), std::string::npos) << run.output;
      const std::string bytes = test::ReadText(file);
      ASSERT_FALSE(bytes.empty());
      EXPECT_TRUE(bytes == FlashOf(options, c.firstAddress, bytes.size()))
          << "the copy differs from the flash";
      EXPECT_EQ(bytes.size(), Field(run.output, "bytes expected"));
    }
  }
}

TEST_F(UsbBfkFault, AHaltOrAnUnplugMidCopyKeepsExactlyTheWholeChunksReported) {
  BF_REQUIRE_USB_TESTBED();
  for (const char* fault : {"--fault stall-in-after=", "--unplug-after-bytes "}) {
    for (const CameraCase& c : kCases) {
      SCOPED_TRACE(std::string(fault) + " type " + std::to_string(c.type));
      const std::string options = Options(c);
      const std::string file = File("cut" + std::to_string(c.type) + ".bfk");
      const auto run =
          Copy(fault + std::to_string(c.bytes * 2 / 3) + " --camera " + options, file, c.extra);
      EXPECT_EQ(run.exitCode, 1) << run.output;
      EXPECT_NE(run.output.find("outcome: failed: Ошибка ввода/вывода"), std::string::npos)
          << run.output;
      EXPECT_NE(run.output.find("complete: no"), std::string::npos) << run.output;
      const std::string bytes = test::ReadText(file);
      EXPECT_EQ(bytes.size(), Field(run.output, "bytes received")) << run.output;
      // The sector camera reads in chunks, the others in one: only the first keeps some.
      if (c.type == 0) {
        EXPECT_GT(bytes.size(), 0u);
      }
      EXPECT_TRUE(bytes == FlashOf(options, c.firstAddress, bytes.size()))
          << "the kept chunks differ from the flash";
    }
  }
}

}  // namespace
}  // namespace bf
