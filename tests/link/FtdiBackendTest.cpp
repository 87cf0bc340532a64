#include <gtest/gtest.h>
#include <libusb.h>

#include <memory>

#include "link/FTD2xx.h"
#include "link/FtdiBackend.h"

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
