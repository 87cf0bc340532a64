// One session of the program's own calls, once through the emulated bridge (real libftdi1 and
// libusb) and once on the simulated camera in process: the link traces agree but for the times.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "link/CameraCommands.h"
#include "link/StatusHandshake.h"
#include "link/TraceBackend.h"
#include "sim/VirtualClock.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"
#include "usb/UsbRig.h"

namespace bf {
namespace {

namespace fs = std::filesystem;

std::string Untimed(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return std::regex_replace(text, std::regex(R"("t": [0-9]+, )"), "");
}

// The handshake, a setting, and the questions a copy starts with.
void Session(std::unique_ptr<D2xxBackend> backend, const fs::path& trace, TickSource& ticks) {
  std::FILE* file = std::fopen(trace.string().c_str(), "a");
  ASSERT_NE(file, nullptr);
  auto traced = std::make_shared<TraceBackend>(std::move(backend), file, trace.string(), ticks);
  FTDClass link(traced, ticks);
  ScriptedPrompts prompts;
  ASSERT_TRUE(RunStatusHandshake(link, prompts, ticks, nullptr).has_value());
  const uint8_t rate[2] = {CMD_SET_FRAME_RATE, 6};
  link.WriteBuffer(rate, 2);
  uint8_t reply[16] = {};
  for (const uint8_t code :
       {CMD_GET_STATUS, CMD_GET_CAMERA_TYPE, CMD_GET_FLASH_POINTER, CMD_GET_WRAP_FLAG}) {
    link.WriteByte(code);
    const uint32_t size = code == CMD_GET_STATUS ? 16 : code == CMD_GET_FLASH_POINTER ? 4 : 1;
    EXPECT_EQ(link.Read(reply, size), size);
  }
  EXPECT_EQ(link.GetQueueStatus(), 0u);
  link.Purge(kPurgeRx | kPurgeTx);
  EXPECT_EQ(link.Close(), ftstatus::kOk);
}

TEST(UsbBridgeTrace, TheBridgeAndTheSimulatedCameraGiveTheSameTrace) {
  BF_REQUIRE_USB_TESTBED();
  const test::TempFolder folder("bf-usb-trace");
  const fs::path& dir = folder.Path();
  sim::SimOptions options;
  options.prefillFrames = 12;
  {
    test::UsbRig rig(options);
    Session(std::make_unique<FtdiBackend>(), dir / "usb.trace", rig.ticks);
  }
  {
    VirtualClock clock;
    Session(std::make_unique<sim::SimCamera>(options, clock), dir / "sim.trace", clock);
  }
  const std::string usb = Untimed(dir / "usb.trace");
  EXPECT_NE(usb.find("\"op\": \"read\", \"status\": 0, \"asked\": 16, \"got\": 16"),
            std::string::npos)
      << usb;
  EXPECT_EQ(usb, Untimed(dir / "sim.trace"));
}

}  // namespace
}  // namespace bf
