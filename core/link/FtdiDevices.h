#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "link/FtdiSelection.h"

struct ftdi_device_list;
struct libusb_device;

namespace bf {

// One FTDI bridge as libftdi finds it.
struct FtdiDeviceInfo {
  uint32_t index = 0;  // N of "ftdi:N"
  uint16_t productId = 0;
  std::string manufacturer;
  std::string description;  // the product string
  std::string serial;
  uint8_t bus = 0;
  std::string portPath;  // "1-2.3": bus, then the ports from the root hub
  bool openable = false;
  std::string reason;  // why it cannot be opened
  std::string note;    // for a bridge that can be opened: what opening it will do
};

// Every FTDI bridge under the usual FTDI ids, in the order "ftdi:N" counts them. Reading the
// strings opens each bridge for a moment; a bridge that cannot be opened is listed with the
// reason. False, with *error, when USB cannot be reached at all.
bool ListFtdiDevices(std::vector<FtdiDeviceInfo>* devices, std::string* error);

// Whether the bridge the selection names is on the bus, from the device list alone: nothing is
// opened, so this is cheap enough to ask every second and never disturbs a bridge in use. A
// serial number cannot be read without opening, so a serial selection is taken as present when
// any FTDI bridge is.
bool FtdiBridgePresent(const FtdiSelection& selection);

// The devices of a libftdi list by bus, then port path, then address: libusb lists them in its
// order of discovery, which would make "device N" a matter of chance.
std::vector<libusb_device*> OrderedFtdiDevices(ftdi_device_list* list);

}  // namespace bf
