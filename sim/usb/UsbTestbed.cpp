#include "sim/usb/UsbTestbed.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <time.h>
#include <umockdev.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <stdexcept>

namespace bf::sim::usb {

namespace {

constexpr size_t kSetupBytes = 8;
using Clock = std::chrono::steady_clock;

// One submitted URB: the client's record (kept referenced until reaped) and what it asked.
struct Urb {
  UMockdevIoctlData* record = nullptr;
  unsigned char type = 0;
  unsigned char endpoint = 0;
  int capacity = 0;
  bool done = false;  // control and bulk OUT finish at submission
  int status = 0;
  std::vector<uint8_t> answer;  // control IN data stage or bulk IN packets
  int actual = 0;
};

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

}  // namespace

struct UsbTestbed::Bridge {
  std::unique_ptr<FtdiChip> chip;
  UMockdevIoctlBase* handler = nullptr;
  UMockdevTestbed* testbed = nullptr;
  std::string syspath;
  std::string devnode;
  std::atomic<bool> unplugged{false};
  std::atomic<uint64_t> unplugAfterBytes{0};  // 0: never
  std::atomic<uint64_t> bulkBytes{0};
  std::atomic<int64_t> handlerCpuNs{0};

  std::mutex mutex;  // the URB lists
  std::list<Urb> flying;
  std::list<Urb> finished;  // discarded, or shut down by the unplug

  void CountBulk(uint64_t n) {
    const uint64_t total = bulkBytes += n;
    const uint64_t limit = unplugAfterBytes.load();
    if (limit != 0 && total >= limit && !unplugged.exchange(true)) {
      umockdev_testbed_remove_device(testbed, syspath.c_str());
    }
  }

  // What was still waiting for the device completes as shut down; what had finished keeps its
  // result.
  void ShutDownFlying() {
    for (auto it = flying.begin(); it != flying.end();) {
      const auto next = std::next(it);
      if (!it->done) {
        it->done = true;
        it->status = -ESHUTDOWN;
        it->actual = 0;
        it->answer.clear();
      }
      finished.splice(finished.end(), flying, it);
      it = next;
    }
  }

  bool Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  bool Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  bool Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  bool Handle(UMockdevIoctlClient* client);
};

namespace {

int64_t ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
  auto* bridge = static_cast<UsbTestbed::Bridge*>(data);
  const int64_t cpu0 = ThreadCpuNs();
  const bool handled = bridge->Handle(client);
  bridge->handlerCpuNs += ThreadCpuNs() - cpu0;
  return handled ? TRUE : FALSE;
}

// Writes the result of a finished URB into the client's record and its buffer.
void Deliver(Urb& urb) {
  if (!urb.answer.empty()) {
    GError* error = nullptr;
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urb.record, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb.capacity), &error);
    if (buffer != nullptr) {
      const size_t at = urb.type == USBDEVFS_URB_TYPE_CONTROL ? kSetupBytes : 0;
      umockdev_ioctl_data_update(buffer, at, urb.answer.data(),
                                 static_cast<gint>(urb.answer.size()));
    }
    g_clear_error(&error);
  }
  int fields[2] = {urb.status, urb.actual};
  umockdev_ioctl_data_update(urb.record, offsetof(usbdevfs_urb, status),
                             reinterpret_cast<guint8*>(&fields[0]), sizeof(int));
  umockdev_ioctl_data_update(urb.record, offsetof(usbdevfs_urb, actual_length),
                             reinterpret_cast<guint8*>(&fields[1]), sizeof(int));
}

}  // namespace

bool UsbTestbed::Bridge::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  GError* error = nullptr;
  UMockdevIoctlData* record = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
  if (record == nullptr) {
    g_clear_error(&error);
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return true;
  }
  usbdevfs_urb header;
  std::memcpy(&header, record->data, sizeof header);
  Urb urb;
  urb.record = umockdev_ioctl_data_ref(record);
  urb.type = header.type;
  urb.endpoint = header.endpoint;
  urb.capacity = header.buffer_length;
  std::vector<uint8_t> content;
  if (header.buffer_length > 0) {
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        record, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(header.buffer_length), &error);
    g_clear_error(&error);
    if (buffer != nullptr) content.assign(buffer->data, buffer->data + buffer->data_len);
  }

  if (urb.type == USBDEVFS_URB_TYPE_CONTROL && content.size() >= kSetupBytes) {
    const auto word = [&](size_t at) {
      return static_cast<uint16_t>(content[at] | (content[at + 1] << 8));
    };
    const uint8_t requestType = content[0];
    const uint16_t length = word(6);
    std::optional<std::vector<uint8_t>> answer =
        chip->Control(requestType, content[1], word(2), word(4), length);
    urb.done = true;
    if (!answer) {
      urb.status = -EPIPE;  // stall
    } else if ((requestType & 0x80) != 0) {
      urb.answer = std::move(*answer);
      urb.actual = static_cast<int>(urb.answer.size());
    } else {
      urb.actual = length;
    }
  } else if (urb.type == USBDEVFS_URB_TYPE_BULK && (urb.endpoint & 0x80) == 0) {
    urb.done = true;
    size_t accepted = 0;
    bool stalled = false;
    if (!chip->BulkOut(content.data(), content.size(), &accepted, &stalled)) {
      urb.status = stalled ? -EPIPE : -EPROTO;
    }
    urb.actual = static_cast<int>(accepted);
    CountBulk(accepted);
  } else if (urb.type != USBDEVFS_URB_TYPE_BULK || urb.endpoint != 0x81) {
    umockdev_ioctl_data_unref(urb.record);
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return true;
  }
  {
    std::lock_guard lock(mutex);
    flying.push_back(std::move(urb));
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

bool UsbTestbed::Bridge::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  std::unique_lock lock(mutex);
  std::optional<Urb> ready;
  if (!finished.empty()) {
    ready = std::move(finished.front());
    finished.pop_front();
  } else {
    const Clock::time_point now = Clock::now();
    for (auto it = flying.begin(); it != flying.end(); ++it) {
      if (!it->done) {
        const size_t before = it->answer.size();
        const InState state = chip->BulkIn(static_cast<size_t>(it->capacity), now, it->answer);
        CountBulk(it->answer.size() - before);
        it->actual = static_cast<int>(it->answer.size());
        if (state == InState::Waiting) continue;
        it->done = true;
        // A stall ends the transfer with what its earlier packets brought.
        if (state == InState::Stalled) it->status = -EPIPE;
      }
      ready = std::move(*it);
      flying.erase(it);
      break;
    }
  }
  lock.unlock();
  if (ready) {
    // More than the transfer can hold: the host controller reports an overflow.
    const size_t capacity = static_cast<size_t>(std::max(ready->capacity, 0));
    const size_t at = ready->type == USBDEVFS_URB_TYPE_CONTROL ? kSetupBytes : 0;
    const size_t room = capacity > at ? capacity - at : 0;
    if (ready->answer.size() > room) {
      ready->answer.resize(room);
      ready->actual = static_cast<int>(room);
      ready->status = -EOVERFLOW;
    }
  }
  if (!ready) {
    umockdev_ioctl_client_complete(client, -1, unplugged ? ENODEV : EAGAIN);
    return true;
  }
  Deliver(*ready);
  GError* error = nullptr;
  UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), &error);
  g_clear_error(&error);
  if (pointer != nullptr) umockdev_ioctl_data_set_ptr(pointer, 0, ready->record);
  umockdev_ioctl_data_unref(ready->record);
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

bool UsbTestbed::Bridge::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  // The argument is the client's URB address itself.
  gulong address = 0;
  std::memcpy(&address, arg->data, sizeof address);
  std::lock_guard lock(mutex);
  for (auto it = flying.begin(); it != flying.end(); ++it) {
    if (it->record->client_addr != address) continue;
    // A cancelled transfer keeps the packets that had come in, as the host controller does.
    if (!it->done) it->status = -ENOENT;
    finished.splice(finished.end(), flying, it);
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
  }
  umockdev_ioctl_client_complete(client, -1, EINVAL);
  return true;
}

bool UsbTestbed::Bridge::Handle(UMockdevIoctlClient* client) {
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (unplugged) {
    // URBs in flight at the unplug can still be reaped, as shut down; nothing else works.
    {
      std::lock_guard lock(mutex);
      ShutDownFlying();
    }
    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) return Reap(client, arg);
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return true;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      GError* error = nullptr;
      UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), &error);
      g_clear_error(&error);
      uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                       USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      if (caps != nullptr)
        umockdev_ioctl_data_update(caps, 0, reinterpret_cast<guint8*>(&value), sizeof value);
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_CLEAR_HALT: {
      GError* error = nullptr;
      UMockdevIoctlData* endpoint = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), &error);
      g_clear_error(&error);
      unsigned value = 0;
      if (endpoint != nullptr) std::memcpy(&value, endpoint->data, sizeof value);
      chip->ClearHalt(static_cast<uint8_t>(value));
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
      if (!chip->BoundDriver().empty()) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);
        return true;
      }
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    case USBDEVFS_GETDRIVER: {
      const std::string driver = chip->BoundDriver();
      GError* error = nullptr;
      UMockdevIoctlData* answer =
          umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), &error);
      g_clear_error(&error);
      if (driver.empty() || answer == nullptr) {
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return true;
      }
      usbdevfs_getdriver named{};
      std::memcpy(&named, answer->data, sizeof named);
      std::snprintf(named.driver, sizeof named.driver, "%s", driver.c_str());
      umockdev_ioctl_data_update(answer, 0, reinterpret_cast<guint8*>(&named), sizeof named);
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_IOCTL: {
      // Only the request to detach the kernel driver comes this way.
      GError* error = nullptr;
      UMockdevIoctlData* wrapped =
          umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), &error);
      g_clear_error(&error);
      usbdevfs_ioctl call{};
      if (wrapped != nullptr) std::memcpy(&call, wrapped->data, sizeof call);
      const bool detached = wrapped != nullptr &&
                            call.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT) &&
                            chip->DetachKernelDriver();
      umockdev_ioctl_client_complete(client, detached ? 0 : -1, detached ? 0 : ENODATA);
      return true;
    }
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      return Submit(client, arg);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      return Reap(client, arg);
    case USBDEVFS_DISCARDURB:
      return Discard(client, arg);
    default:
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      return true;
  }
}

struct UsbTestbed::Impl {
  UMockdevTestbed* testbed = nullptr;
  std::vector<std::unique_ptr<Bridge>> bridges;
};

bool UsbTestbed::Available(std::string* why) {
  // umockdev_in_mock_environment() only turns true once a test bed exists; the preload is what
  // has to be there before.
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr) return true;
  if (why != nullptr)
    *why = "not running under umockdev's preload (start it with umockdev-wrapper)";
  return false;
}

UsbTestbed::UsbTestbed() : impl_(std::make_unique<Impl>()) {
  impl_->testbed = umockdev_testbed_new();
  if (impl_->testbed == nullptr) throw std::runtime_error("umockdev: no test bed");
}

UsbTestbed::~UsbTestbed() {
  for (auto& bridge : impl_->bridges) {
    g_signal_handlers_disconnect_by_data(bridge->handler, bridge.get());
    g_object_unref(bridge->handler);
    std::lock_guard lock(bridge->mutex);
    for (Urb& urb : bridge->flying) umockdev_ioctl_data_unref(urb.record);
    for (Urb& urb : bridge->finished) umockdev_ioctl_data_unref(urb.record);
  }
  g_object_unref(impl_->testbed);
}

size_t UsbTestbed::Plug(const ChipIdentity& identity, D2xxBackend& camera) {
  const size_t number = impl_->bridges.size();
  auto bridge = std::make_unique<Bridge>();
  bridge->chip = std::make_unique<FtdiChip>(identity, camera);
  bridge->testbed = impl_->testbed;
  const unsigned devnum = static_cast<unsigned>(number + 2);
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03u", devnum);
  bridge->devnode = node;
  bridge->handler = umockdev_ioctl_base_new();
  g_signal_connect(bridge->handler, "handle-ioctl", G_CALLBACK(OnIoctl), bridge.get());
  GError* error = nullptr;
  if (!umockdev_testbed_attach_ioctl(impl_->testbed, node, bridge->handler, &error)) {
    const std::string why = error != nullptr ? error->message : "?";
    g_clear_error(&error);
    throw std::runtime_error("umockdev: cannot attach the usbfs handler: " + why);
  }
  // One device record in umockdev's text format; the N: line creates the node the handler
  // serves. Attribute values end with a newline, as the kernel writes them.
  const std::string port = std::to_string(number + 1);
  const std::string devpath = "/devices/usb1/1-" + port;
  char devText[8];
  std::snprintf(devText, sizeof devText, "%03u", devnum);
  std::string record = "P: " + devpath + "\nN: bus/usb/001/" + devText + "\n";
  record += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=" + bridge->devnode + "\n";
  record += "E: BUSNUM=001\nE: DEVNUM=" + std::string(devText) + "\n";
  const auto attribute = [&record](const std::string& key, const std::string& value) {
    record += "A: " + key + "=" + value + "\\n\n";
  };
  attribute("busnum", "1");
  attribute("devnum", std::to_string(devnum));
  attribute("idVendor", "0403");
  attribute("idProduct", Hex4(identity.ProductId()));
  attribute("bcdDevice", Hex4(identity.BcdDevice()));
  attribute("speed", identity.kind == ChipKind::FT232H ? "480" : "12");
  attribute("serial", identity.serial);
  attribute("manufacturer", identity.manufacturer);
  attribute("product", identity.Product());
  attribute("bConfigurationValue", "1");
  attribute("bNumConfigurations", "1");
  record += "H: descriptors=";
  for (const uint8_t byte : identity.Descriptors()) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", byte);
    record += hex;
  }
  record += "\n";
  if (!umockdev_testbed_add_from_string(impl_->testbed, record.c_str(), &error)) {
    const std::string why = error != nullptr ? error->message : "?";
    g_clear_error(&error);
    throw std::runtime_error("umockdev: cannot add the device: " + why);
  }
  bridge->syspath = "/sys" + devpath;
  impl_->bridges.push_back(std::move(bridge));
  return number;
}

FtdiChip& UsbTestbed::Chip(size_t bridge) {
  return *impl_->bridges.at(bridge)->chip;
}

std::string UsbTestbed::DeviceNode(size_t bridge) const {
  return impl_->bridges.at(bridge)->devnode;
}

void UsbTestbed::Unplug(size_t bridge) {
  Bridge& b = *impl_->bridges.at(bridge);
  if (!b.unplugged.exchange(true))
    umockdev_testbed_remove_device(impl_->testbed, b.syspath.c_str());
}

double UsbTestbed::HandlerCpuSeconds() const {
  int64_t ns = 0;
  for (const auto& bridge : impl_->bridges) ns += bridge->handlerCpuNs.load();
  return static_cast<double>(ns) * 1e-9;
}

void UsbTestbed::UnplugAfterBulkBytes(size_t bridge, uint64_t n) {
  impl_->bridges.at(bridge)->unplugAfterBytes = n;
}

}  // namespace bf::sim::usb
