#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/TickSource.h"
#include "link/BackendRegistry.h"
#include "link/FTD2xx.h"
#include "link/FtdiBackend.h"
#include "sim/SimCamera.h"
#include "sim/usb/UsbTestbed.h"

namespace bf::test {

// Skips the test when the process does not run under umockdev's preload (ctest runs these
// tests under umockdev-wrapper).
#define BF_REQUIRE_USB_TESTBED()                                     \
  do {                                                               \
    std::string why;                                                 \
    if (!sim::usb::UsbTestbed::Available(&why)) GTEST_SKIP() << why; \
  } while (0)

// A simulated camera behind an emulated FTDI bridge in a umockdev test bed, reached through the
// real libftdi1 and libusb by the program's own backend. Real time throughout: the backend
// waits on the system clock, and the camera's clock runs with it.
struct UsbRig {
  explicit UsbRig(const sim::SimOptions& options = {},
                  sim::usb::ChipKind kind = sim::usb::ChipKind::FT232R,
                  const std::string& selection = {})
      : camera(std::make_shared<sim::SimCamera>(options, ticks)) {
    sim::usb::ChipIdentity identity;
    identity.kind = kind;
    bridge = testbed.Plug(identity, *camera);
    std::string error;
    auto parsed = ParseFtdiSelection(selection, &error);
    backend = std::make_shared<FtdiBackend>(parsed.value_or(FtdiSelection{}));
    link = std::make_unique<FTDClass>(backend, ticks);
  }

  SystemTickSource ticks;
  std::shared_ptr<sim::SimCamera> camera;
  sim::usb::UsbTestbed testbed;
  size_t bridge = 0;
  std::shared_ptr<FtdiBackend> backend;
  std::unique_ptr<FTDClass> link;
};

}  // namespace bf::test
