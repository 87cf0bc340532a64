#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/D2xxBackend.h"

namespace bf::sim::usb {

// Which FTDI bridge is emulated: the full-speed FT232R (64-byte bulk packets) or the high-speed
// FT232H (512-byte packets).
enum class ChipKind { FT232R, FT232H };

struct ChipIdentity {
  ChipKind kind = ChipKind::FT232R;
  std::string manufacturer = "FTDI";
  std::string product;  // empty: the chip's usual product string
  std::string serial = "BF000001";

  uint16_t ProductId() const { return kind == ChipKind::FT232R ? 0x6001 : 0x6014; }
  uint16_t BcdDevice() const { return kind == ChipKind::FT232R ? 0x0600 : 0x0900; }
  uint16_t PacketSize() const { return kind == ChipKind::FT232R ? 64 : 512; }
  std::string Product() const;
  // The device descriptor, then the configuration with one vendor interface and its two bulk
  // endpoints (0x81 in, 0x02 out), as the sysfs "descriptors" file holds them.
  std::vector<uint8_t> Descriptors() const;
};

// Faults of the chip, its cable or the host around it, for the tests of what the program makes
// of them.
struct ChipFaults {
  bool refuseLatencyTimer = false;  // the latency timer request stalls, as on some clones
  // The bulk IN endpoint halts (stalls every transfer until the host clears the halt) once this
  // many camera bytes have gone in; the bulk OUT endpoint once this many have gone out. 0: never.
  // Each halts once.
  uint64_t stallInAfterBytes = 0;
  uint64_t stallOutAfterBytes = 0;
  // Every N-th bulk IN transfer that finds a packet's worth waiting ends early with one short
  // packet of half a packet's data, as when the latency timer runs out in the middle of a burst.
  // 0: never.
  uint32_t shortInEvery = 0;
  // A bulk OUT transfer takes at most this many bytes and reports the count. 0: all of it.
  uint32_t outAtMost = 0;
  // Another program has claimed the interface: claiming it fails with EBUSY.
  bool claimedElsewhere = false;
  // A kernel driver (the name given, e.g. "ftdi_sio") is bound to the interface until the host
  // detaches it; claiming fails with EBUSY meanwhile.
  std::string kernelDriver;
};

// What became of a bulk IN transfer.
enum class InState { Waiting, Ended, Stalled };

// One vendor or standard control request as the chip saw it.
struct ControlRequest {
  uint8_t requestType = 0;
  uint8_t request = 0;
  uint16_t value = 0;
  uint16_t index = 0;
  uint16_t length = 0;
  bool stalled = false;
};

// The FTDI bridge chip in front of a camera backend (normally the simulated camera): the
// vendor control requests libftdi sends, bulk OUT handed to the camera, and bulk IN framed as
// the chip frames it (two modem-status bytes at the start of every packet; a packet goes out
// when full, or short when the latency timer runs out).
//
// Threads: all calls take one lock; the USB side (the usbfs handler thread) and a test thread
// reading the log may call at any time.
class FtdiChip {
 public:
  // The camera is opened as device 0 at once and stays open; it is not owned.
  FtdiChip(ChipIdentity identity, D2xxBackend& camera);
  ~FtdiChip();
  FtdiChip(const FtdiChip&) = delete;
  FtdiChip& operator=(const FtdiChip&) = delete;

  const ChipIdentity& Identity() const { return identity_; }

  // A control transfer: setup fields and, for OUT requests, the data stage. Returns the data
  // stage of an IN request (at most length bytes; empty for OUT), or nullopt for a stall.
  std::optional<std::vector<uint8_t>> Control(uint8_t requestType, uint8_t request, uint16_t value,
                                              uint16_t index, uint16_t length);
  void SetFaults(const ChipFaults& faults);

  // Bulk OUT: the bytes go to the camera; *accepted says how many it took (a halted endpoint
  // takes none and stalls). False when the endpoint stalled or the camera refused the bytes.
  bool BulkOut(const uint8_t* data, size_t length, size_t* accepted, bool* stalled);
  // Bulk IN: adds to transfer (of capacity bytes) the packets the chip has sent by now. A
  // packet goes out as soon as the camera has a packet's worth; a short one (only the status
  // bytes when nothing waits) once the latency timer has run out since the chip's last
  // packet, and a short packet ends the transfer, as a full transfer does.
  InState BulkIn(size_t capacity, std::chrono::steady_clock::time_point now,
                 std::vector<uint8_t>& transfer);
  // The host cleared the halt of endpoint (0x81 or 0x02).
  void ClearHalt(uint8_t endpoint);
  // The driver bound to the interface as usbfs names it: empty for none, "usbfs" when another
  // program has claimed it.
  std::string BoundDriver() const;
  // The host detaches the kernel driver; false when none is bound.
  bool DetachKernelDriver();

  std::vector<ControlRequest> ControlLog() const;
  uint8_t LatencyMs() const;
  uint32_t BaudDivisor() const;
  uint64_t BytesOut() const;
  uint64_t BytesIn() const;

 private:
  uint32_t CameraPending();
  // Appends one packet: the status bytes and up to n camera bytes.
  void AppendPacket(std::vector<uint8_t>& transfer, size_t n);
  std::optional<std::vector<uint8_t>> StringDescriptor(uint8_t index, uint16_t length) const;

  mutable std::mutex mutex_;
  ChipIdentity identity_;
  D2xxBackend& camera_;
  FtHandle handle_ = nullptr;
  std::vector<ControlRequest> log_;
  uint8_t latencyMs_ = 16;  // the chip's power-on latency
  uint32_t baudDivisor_ = 0;
  uint64_t bytesOut_ = 0;
  uint64_t bytesIn_ = 0;
  ChipFaults faults_;
  bool inHalted_ = false;
  bool outHalted_ = false;
  uint64_t dataTransfers_ = 0;  // bulk IN transfers that found a packet's worth waiting
  std::chrono::steady_clock::time_point lastPacket_ = std::chrono::steady_clock::now();
};

}  // namespace bf::sim::usb
