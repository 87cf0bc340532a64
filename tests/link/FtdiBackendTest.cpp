#include <gtest/gtest.h>
#include <libusb.h>

#include <memory>

#include "link/BackendRegistry.h"
#include "link/FTD2xx.h"
#include "link/FtdiBackend.h"
#include "link/FtdiSelection.h"
#include "sim/VirtualClock.h"

namespace bf {
namespace {

TEST(HardwareBackendTest, LibftdiWithoutADeviceGivesDeviceNotFound) {
  // Holds on build machines and in containers: no FTDI bridge is attached (and where libusb
  // cannot start at all, "no device" is still the truth).
  VirtualClock clock;
  auto backend = std::make_shared<FtdiBackend>();
  FTDClass link(backend, clock);
  try {
    link.Open(0);
    GTEST_SKIP() << "an FTDI device is attached to this machine";
  } catch (const FTDException& e) {
    EXPECT_EQ(e.GetCode(), ftstatus::kDeviceNotFound) << backend->LastError();
    EXPECT_STREQ(e.GetText(), "Устройство не найдено");
  }
  EXPECT_EQ(link.GetStatusCode(), 2u);
  EXPECT_FALSE(backend->LastError().empty());
  EXPECT_EQ(link.Close(), ftstatus::kInvalidHandle);  // nothing was opened
  EXPECT_EQ(link.GetStatusCode(), 2u);
}

TEST(FtdiSelectionTest, IndexSerialAndRefusals) {
  std::string error;
  EXPECT_EQ(ParseFtdiSelection("", &error)->index, 0u);
  EXPECT_EQ(ParseFtdiSelection("1", &error)->index, 1u);
  EXPECT_EQ(ParseFtdiSelection("4294967295", &error)->index, 4294967295u);
  const auto bySerial = ParseFtdiSelection("serial=FT1234AB", &error);
  ASSERT_TRUE(bySerial);
  EXPECT_TRUE(bySerial->BySerial());
  EXPECT_EQ(bySerial->serial, "FT1234AB");
  for (const char* bad : {"abc", "-1", "1x", " 1", "4294967296", "serial=", "index=1"}) {
    error.clear();
    EXPECT_FALSE(ParseFtdiSelection(bad, &error)) << bad;
    EXPECT_NE(error.find(std::string("ftdi:") + bad), std::string::npos) << error;
  }
}

TEST(FtdiSelectionTest, TheRegistryRefusesABadSelectionAndPassesAGoodOne) {
  VirtualClock clock;
  std::string error;
  EXPECT_EQ(CreateBackend("ftdi:abc", HardwareDrivers(), clock, &error), nullptr);
  EXPECT_NE(error.find("ftdi:abc"), std::string::npos) << error;

  // Without a bridge attached the open fails, and the reason names the chosen bridge: the
  // selection reached the backend rather than device 0 being opened.
  auto backend = CreateBackend("ftdi:3", HardwareDrivers(), clock, &error);
  ASSERT_NE(backend, nullptr) << error;
  FtHandle handle = nullptr;
  if (backend->Open(0, &handle) == ftstatus::kOk) {
    backend->Close(handle);
    GTEST_SKIP() << "four FTDI devices are attached to this machine";
  }
  EXPECT_NE(backend->LastError().find("index 3"), std::string::npos) << backend->LastError();
}

TEST(HardwareBackendTest, LibusbErrorMapping) {
  EXPECT_EQ(FtdiBackend::StatusFromLibusb(LIBUSB_ERROR_ACCESS, true), 3u);
  EXPECT_EQ(FtdiBackend::StatusFromLibusb(LIBUSB_ERROR_BUSY, true), 3u);
  EXPECT_EQ(FtdiBackend::StatusFromLibusb(LIBUSB_ERROR_NO_DEVICE, true), 2u);
  EXPECT_EQ(FtdiBackend::StatusFromLibusb(LIBUSB_ERROR_NO_DEVICE, false), 4u);
  EXPECT_EQ(FtdiBackend::StatusFromLibusb(LIBUSB_ERROR_NO_MEM, false), 5u);
  EXPECT_EQ(FtdiBackend::StatusFromLibusb(LIBUSB_ERROR_NO_MEM, true), 5u);
  EXPECT_EQ(FtdiBackend::StatusFromLibusb(-99, true), 17u);
  EXPECT_EQ(FtdiBackend::StatusFromLibusb(-99, false), 4u);
}

}  // namespace
}  // namespace bf
