#include "link/FtdiBackend.h"

#include <libftdi1/ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/FtdiDevices.h"

namespace bf {

namespace {

// The latency timer (Tuning) decides how soon the chip hands over a short reply (and how often
// it sends an empty status packet, which is what ends an idle poll).
// Bound for one libusb bulk read inside a poll; the D2XX read timeout is enforced above it.
constexpr int kPollTransferTimeoutMs = 50;
// At most this many chunks per poll, so a device that never pauses cannot hold a call forever.
constexpr int kPollChunksPerCall = 16;
constexpr size_t kCompactBytes = 64 * 1024;

struct ContextDeleter {
  void operator()(ftdi_context* context) const {
    ftdi_deinit(context);  // closes the USB device if open, frees buffers, ends libusb
    delete context;
  }
};

struct DeviceListDeleter {
  void operator()(ftdi_device_list* list) const { ftdi_list_free2(list); }
};

// The serial number string of a listed device, or empty when it cannot be read (no access,
// no serial). libftdi opens the device briefly for it.
std::string SerialOf(ftdi_context* context, libusb_device* dev) {
  char serial[128] = {};
  if (ftdi_usb_get_strings2(context, dev, nullptr, 0, nullptr, 0, serial, sizeof serial) < 0)
    return {};
  return serial;
}

}  // namespace

struct FtdiBackend::Device {
  std::unique_ptr<ftdi_context, ContextDeleter> context;
  FtdiBackend::Tuning tuning;
  std::vector<uint8_t> chunk;  // one bulk IN transfer
  // Received bytes not yet handed to Read: rx[head..end).
  std::vector<uint8_t> rx;
  size_t head = 0;
  uint32_t readTimeoutMs = 0;  // 0: wait for the full count, as the vendor library does
  uint32_t writeTimeoutMs = 0;

  size_t Pending() const { return rx.size() - head; }
  void Take(uint8_t* out, size_t n) {
    if (n == 0) return;
    std::memcpy(out, rx.data() + head, n);
    head += n;
    if (head == rx.size()) {
      rx.clear();
      head = 0;
    } else if (head >= kCompactBytes && head > rx.size() / 2) {
      // A steady stream may never empty the queue: drop the consumed front now and then.
      rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(head));
      head = 0;
    }
  }
  void Drop() {
    rx.clear();
    head = 0;
  }
};

// libusb error → D2XX status.
//   Opening: LIBUSB_ERROR_NO_DEVICE / NOT_FOUND (gone since listing) → 2 device not found;
//            ACCESS (permissions, see udev/) / BUSY (a kernel driver holds it) → 3 not opened.
//   Transfers: NO_DEVICE (unplugged), IO, PIPE, OVERFLOW, TIMEOUT of a write, any failed
//            transfer → 4 input/output error.
//   Either: NO_MEM → 5 insufficient resources; anything else while opening → 17 other error.
FtStatus FtdiBackend::StatusFromLibusb(int error, bool opening) {
  switch (error) {
    case LIBUSB_SUCCESS:
      return ftstatus::kOk;
    case LIBUSB_ERROR_NO_MEM:
      return ftstatus::kInsufficientResources;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
      return opening ? ftstatus::kDeviceNotFound : ftstatus::kIoError;
    case LIBUSB_ERROR_ACCESS:
    case LIBUSB_ERROR_BUSY:
      return opening ? ftstatus::kDeviceNotOpened : ftstatus::kIoError;
    default:
      return opening ? ftstatus::kOtherError : ftstatus::kIoError;
  }
}

FtdiBackend::FtdiBackend(FtdiSelection selection) : selection_(std::move(selection)) {}
FtdiBackend::~FtdiBackend() = default;

FtStatus FtdiBackend::Fail(FtStatus status, std::string reason) {
  lastError_ = std::move(reason);
  return status;
}

FtdiBackend::Device* FtdiBackend::Find(FtHandle handle) {
  for (const auto& device : devices_) {
    if (device.get() == handle) return device.get();
  }
  return nullptr;
}

FtStatus FtdiBackend::Open(uint32_t deviceIndex, FtHandle* handle) {
  if (handle == nullptr) return ftstatus::kInvalidParameter;
  *handle = nullptr;
  auto device = std::make_unique<Device>();
  device->context.reset(new ftdi_context{});
  const int init = ftdi_init(device->context.get());
  if (init == -1) return Fail(ftstatus::kInsufficientResources, "libftdi: out of memory");
  // -3: libusb cannot start at all (no USB in this system or container). There is no device
  // to talk to, and that is what the operator is told.
  if (init < 0) {
    return Fail(ftstatus::kDeviceNotFound,
                std::string("libftdi: ") + ftdi_get_error_string(device->context.get()));
  }

  ftdi_device_list* rawList = nullptr;
  const int found = ftdi_usb_find_all(device->context.get(), &rawList, 0, 0);
  std::unique_ptr<ftdi_device_list, DeviceListDeleter> list(rawList);
  if (found == -3) return Fail(ftstatus::kInsufficientResources, "libftdi: out of memory");
  if (found < 0) {
    return Fail(ftstatus::kDeviceNotFound,
                std::string("libftdi: ") + ftdi_get_error_string(device->context.get()));
  }
  const std::vector<libusb_device*> ordered = OrderedFtdiDevices(list.get());
  libusb_device* chosen = nullptr;
  if (selection_.BySerial()) {
    uint32_t matches = 0;
    for (libusb_device* dev : ordered) {
      if (SerialOf(device->context.get(), dev) == selection_.serial && matches++ == deviceIndex) {
        chosen = dev;
        break;
      }
    }
  } else if (const uint64_t wanted = uint64_t{selection_.index} + deviceIndex;
             wanted < ordered.size()) {
    chosen = ordered[static_cast<size_t>(wanted)];
  }
  if (chosen == nullptr) {
    return Fail(ftstatus::kDeviceNotFound,
                "no FTDI device with " + selection_.Describe() +
                    (deviceIndex == 0 ? std::string() : " + " + std::to_string(deviceIndex)) +
                    " (" + std::to_string(found) + " found)");
  }

  const int opened = ftdi_usb_open_dev(device->context.get(), chosen);
  if (opened < 0) {
    std::string reason = std::string("libftdi: ") + ftdi_get_error_string(device->context.get());
    FtStatus status = ftstatus::kOtherError;
    switch (opened) {
      case -4: {  // libusb_open failed: ask libusb itself why
        libusb_device_handle* probe = nullptr;
        const int error = libusb_open(chosen, &probe);
        if (probe != nullptr) libusb_close(probe);
        status = error < 0 ? StatusFromLibusb(error, true) : ftstatus::kDeviceNotOpened;
        if (error < 0) reason += std::string(" (") + libusb_error_name(error) + ")";
        break;
      }
      case -3:  // configuration refused: the kernel's serial driver is in the way
      case -5:  // interface claim refused: the same, or another program holds it
      case -8:  // permissions
        status = ftstatus::kDeviceNotOpened;
        break;
      case -6:  // reset or first set-up transfers failed
      case -7:
        status = ftstatus::kIoError;
        break;
      default:
        break;
    }
    return Fail(status, reason);
  }
  // The latency timer only makes short replies come sooner; a chip that refuses the request
  // (some clones stall it) keeps its own and works as well, only slower to answer. The vendor
  // library's open does not touch the timer either.
  ftdi_set_latency_timer(device->context.get(), tuning_.latencyMs);
  device->tuning = tuning_;
  device->chunk.resize(std::max<size_t>(tuning_.readChunk, 64));
  device->context->usb_read_timeout = kPollTransferTimeoutMs;
  device->context->usb_write_timeout = 0;
  *handle = device.get();
  devices_.push_back(std::move(device));
  lastError_.clear();
  return ftstatus::kOk;
}

FtStatus FtdiBackend::Close(FtHandle handle) {
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [handle](const auto& device) { return device.get() == handle; });
  if (it == devices_.end()) return ftstatus::kInvalidHandle;
  ftdi_usb_close((*it)->context.get());
  devices_.erase(it);  // the context deleter releases libusb
  return ftstatus::kOk;
}

FtStatus FtdiBackend::Poll(Device& device) {
  ftdi_context* ftdi = device.context.get();
  // libftdi calls the bridge's bulk IN endpoint out_ep (out of the chip).
  const int endpoint = ftdi->out_ep;
  const size_t packet = ftdi->max_packet_size > 2 ? ftdi->max_packet_size : 64;
  uint8_t* chunk = device.chunk.data();
  const int size = static_cast<int>(device.chunk.size());
  for (int i = 0; i < kPollChunksPerCall; ++i) {
    int transferred = 0;
    const int result = libusb_bulk_transfer(ftdi->usb_dev, static_cast<unsigned char>(endpoint),
                                            chunk, size, &transferred, kPollTransferTimeoutMs);
    // Every packet starts with the chip's two modem-status bytes. A transfer that ran out of
    // time or ended in a stall can still have brought whole packets, which are the camera's
    // bytes like any others (libftdi's own read drops them).
    for (size_t at = 0; at < static_cast<size_t>(std::max(transferred, 0)); at += packet) {
      const size_t end = std::min(at + packet, static_cast<size_t>(transferred));
      if (end > at + 2) device.rx.insert(device.rx.end(), chunk + at + 2, chunk + end);
    }
    if (result == LIBUSB_ERROR_TIMEOUT) return ftstatus::kOk;
    if (result == LIBUSB_ERROR_PIPE) {
      // A halted endpoint stays halted until the host clears it; clearing it now lets the next
      // call, or the reconnect sequence, talk to the chip again.
      libusb_clear_halt(ftdi->usb_dev, static_cast<unsigned char>(endpoint));
    }
    if (result < 0) {
      return Fail(StatusFromLibusb(result, false),
                  std::string("libusb: bulk read: ") + libusb_error_name(result));
    }
    if (transferred < size) return ftstatus::kOk;
  }
  return ftstatus::kOk;
}

FtStatus FtdiBackend::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) {
  if (read == nullptr) return ftstatus::kInvalidParameter;
  *read = 0;
  Device* device = Find(handle);
  if (device == nullptr) return ftstatus::kInvalidHandle;
  if (buffer == nullptr && count > 0) return ftstatus::kInvalidParameter;
  auto* out = static_cast<uint8_t*>(buffer);
  using Clock = std::chrono::steady_clock;
  const bool bounded = device->readTimeoutMs != 0;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(device->readTimeoutMs);
  for (;;) {
    const size_t n = std::min<size_t>(device->Pending(), count - *read);
    device->Take(out + *read, n);
    *read += static_cast<uint32_t>(n);
    if (*read >= count) return ftstatus::kOk;
    if (bounded && Clock::now() >= deadline) return ftstatus::kOk;  // short read, not a failure
    const size_t before = device->Pending();
    const FtStatus status = Poll(*device);
    if (status != ftstatus::kOk) return status;
    if (device->Pending() == before && device->tuning.pollPauseUs != 0)
      std::this_thread::sleep_for(std::chrono::microseconds(device->tuning.pollPauseUs));
  }
}

FtStatus FtdiBackend::Write(FtHandle handle, const void* buffer, uint32_t count,
                            uint32_t* written) {
  if (written == nullptr) return ftstatus::kInvalidParameter;
  *written = 0;
  Device* device = Find(handle);
  if (device == nullptr) return ftstatus::kInvalidHandle;
  if (count == 0) return ftstatus::kOk;
  if (buffer == nullptr) return ftstatus::kInvalidParameter;
  ftdi_context* ftdi = device->context.get();
  // libftdi calls the bridge's bulk OUT endpoint in_ep (into the chip). The chip may take a
  // transfer in parts; what it has not taken goes again.
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (*written < count) {
    const int part = static_cast<int>(std::min<uint32_t>(count - *written, 1u << 20));
    int sent = 0;
    const int result =
        libusb_bulk_transfer(ftdi->usb_dev, static_cast<unsigned char>(ftdi->in_ep),
                             const_cast<unsigned char*>(bytes + *written), part, &sent,
                             static_cast<unsigned>(std::max(ftdi->usb_write_timeout, 0)));
    *written += static_cast<uint32_t>(std::max(sent, 0));
    if (result == LIBUSB_ERROR_PIPE) {
      libusb_clear_halt(ftdi->usb_dev, static_cast<unsigned char>(ftdi->in_ep));
    }
    if (result < 0) {
      return Fail(StatusFromLibusb(result, false),
                  std::string("libusb: bulk write: ") + libusb_error_name(result));
    }
    // A chip that takes nothing and reports success would never finish.
    if (sent <= 0) return Fail(ftstatus::kIoError, "libusb: bulk write: nothing taken");
  }
  return ftstatus::kOk;
}

FtStatus FtdiBackend::ResetDevice(FtHandle handle) {
  Device* device = Find(handle);
  if (device == nullptr) return ftstatus::kInvalidHandle;
  if (ftdi_usb_reset(device->context.get()) < 0) {
    return Fail(ftstatus::kIoError,
                std::string("libftdi: ") + ftdi_get_error_string(device->context.get()));
  }
  device->Drop();
  return ftstatus::kOk;
}

FtStatus FtdiBackend::Purge(FtHandle handle, uint32_t mask) {
  Device* device = Find(handle);
  if (device == nullptr) return ftstatus::kInvalidHandle;
  const bool rx = (mask & kPurgeRx) != 0;
  const bool tx = (mask & kPurgeTx) != 0;
  int result = 0;
  if (rx && tx) {
    result = ftdi_tcioflush(device->context.get());
  } else if (rx) {
    result = ftdi_tciflush(device->context.get());
  } else if (tx) {
    result = ftdi_tcoflush(device->context.get());
  }
  if (result < 0) {
    return Fail(ftstatus::kIoError,
                std::string("libftdi: ") + ftdi_get_error_string(device->context.get()));
  }
  if (rx) device->Drop();
  return ftstatus::kOk;
}

FtStatus FtdiBackend::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
  Device* device = Find(handle);
  if (device == nullptr) return ftstatus::kInvalidHandle;
  device->readTimeoutMs = readMs;
  device->writeTimeoutMs = writeMs;
  device->context->usb_write_timeout = static_cast<int>(std::min<uint32_t>(writeMs, INT32_MAX));
  return ftstatus::kOk;
}

FtStatus FtdiBackend::GetQueueStatus(FtHandle handle, uint32_t* rxBytes) {
  if (rxBytes == nullptr) return ftstatus::kInvalidParameter;
  Device* device = Find(handle);
  if (device == nullptr) return ftstatus::kInvalidHandle;
  const FtStatus status = Poll(*device);
  if (status != ftstatus::kOk) return status;
  *rxBytes = static_cast<uint32_t>(std::min<size_t>(device->Pending(), UINT32_MAX));
  return ftstatus::kOk;
}

FtStatus FtdiBackend::SetEventNotification(FtHandle handle, uint32_t, void*) {
  // Events are not available through libftdi; nothing in the program waits for one.
  return Find(handle) != nullptr ? ftstatus::kOk : ftstatus::kInvalidHandle;
}

FtStatus FtdiBackend::GetStatus(FtHandle handle, uint32_t* rxBytes, uint32_t* txBytes,
                                uint32_t* eventStatus) {
  if (txBytes == nullptr || eventStatus == nullptr) return ftstatus::kInvalidParameter;
  const FtStatus status = GetQueueStatus(handle, rxBytes);
  if (status != ftstatus::kOk) return status;
  *txBytes = 0;  // libftdi writes synchronously: nothing is left waiting
  *eventStatus = 0;
  return ftstatus::kOk;
}

}  // namespace bf
