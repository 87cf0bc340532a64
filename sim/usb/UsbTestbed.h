#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/D2xxBackend.h"
#include "sim/usb/FtdiChip.h"

namespace bf::sim::usb {

// A umockdev test bed with emulated FTDI bridges in it: sysfs and udev entries, a
// /dev/bus/usb node per bridge and a usbfs ioctl handler that plays the chip (FtdiChip) with a
// camera behind it. Debian's own libusb and libftdi1 in this process, or in a child started
// while the test bed lives (it inherits the environment), see the bridges as real hardware.
// The process must run under umockdev's preload library (umockdev-wrapper).
//
// Threads: the ioctls are answered on umockdev's handler thread; Plug and the unplug calls
// come from the owner's thread. Bridges live as long as the test bed.
class UsbTestbed {
 public:
  // True when this process runs under umockdev's preload; otherwise *why says what to do.
  static bool Available(std::string* why);

  UsbTestbed();
  ~UsbTestbed();
  UsbTestbed(const UsbTestbed&) = delete;
  UsbTestbed& operator=(const UsbTestbed&) = delete;

  // Plugs in a bridge with camera behind it (not owned; it must outlive the test bed) on bus 1,
  // port 1, 2, ... in order; device numbers start at 2. Returns the bridge's number, from 0.
  size_t Plug(const ChipIdentity& identity, D2xxBackend& camera);
  FtdiChip& Chip(size_t bridge);
  // "/dev/bus/usb/001/002" and the like.
  std::string DeviceNode(size_t bridge) const;

  // From now on every ioctl of the bridge fails with ENODEV (transfers in flight complete as
  // shut down) and the device leaves the test bed.
  void Unplug(size_t bridge);
  // The same, once n bulk bytes in all (out and in, as the chip moves them) have crossed; the
  // device then leaves the test bed from the handler thread.
  void UnplugAfterBulkBytes(size_t bridge, uint64_t n);

  // CPU time the handler thread has spent answering the bridges' ioctls (the chips and the
  // cameras behind them included), for the benchmarks to tell the emulation's cost apart.
  double HandlerCpuSeconds() const;

  struct Bridge;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bf::sim::usb
