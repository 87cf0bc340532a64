#include "link/FtdiDevices.h"

#include <libftdi1/ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <memory>

namespace bf {

namespace {

struct ContextDeleter {
  void operator()(ftdi_context* context) const { ftdi_free(context); }
};
struct ListDeleter {
  void operator()(ftdi_device_list* list) const { ftdi_list_free2(list); }
};

std::vector<uint8_t> PortNumbers(libusb_device* dev) {
  uint8_t ports[8] = {};
  const int depth = libusb_get_port_numbers(dev, ports, sizeof ports);
  return std::vector<uint8_t>(ports, ports + std::max(depth, 0));
}

struct HandleCloser {
  void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};

// Why the bridge cannot be opened, empty when it can; *note tells what opening it will do, and
// *reachable whether its strings can be read (the device node opens).
std::string OpenFailure(libusb_device* dev, std::string* note, bool* reachable) {
  libusb_device_handle* raw = nullptr;
  const int error = libusb_open(dev, &raw);
  std::unique_ptr<libusb_device_handle, HandleCloser> handle(raw);
  *reachable = error == LIBUSB_SUCCESS;
  switch (error) {
    case LIBUSB_SUCCESS:
      break;
    case LIBUSB_ERROR_ACCESS:
      return "no permission (see udev/99-brindleflash-ftdi.rules)";
    case LIBUSB_ERROR_NO_DEVICE:
      return "unplugged";
    default:
      return libusb_error_name(error);
  }
  // The kernel's serial driver is detached when the program opens the bridge, as libftdi does;
  // listing leaves it bound, so that a serial port in use stays.
  if (libusb_kernel_driver_active(handle.get(), 0) == 1) {
    *note = "the kernel's serial driver holds it now and is detached on opening";
    return {};
  }
  // Claiming for a moment finds a program that holds the interface (a window or bfk already
  // talking to the camera, or another tool); nothing is sent to the chip.
  const int claimed = libusb_claim_interface(handle.get(), 0);
  if (claimed == LIBUSB_ERROR_BUSY) return "in use by another program";
  if (claimed == LIBUSB_SUCCESS) libusb_release_interface(handle.get(), 0);
  return {};
}

}  // namespace

std::vector<libusb_device*> OrderedFtdiDevices(ftdi_device_list* list) {
  struct Entry {
    libusb_device* dev;
    std::vector<uint8_t> key;
  };
  std::vector<Entry> entries;
  for (ftdi_device_list* e = list; e != nullptr; e = e->next) {
    Entry entry{e->dev, {libusb_get_bus_number(e->dev)}};
    for (const uint8_t port : PortNumbers(e->dev)) entry.key.push_back(port);
    entry.key.push_back(0);  // a hub sorts before what hangs on it
    entry.key.push_back(libusb_get_device_address(e->dev));
    entries.push_back(std::move(entry));
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.key < b.key; });
  std::vector<libusb_device*> devices;
  for (const Entry& entry : entries) devices.push_back(entry.dev);
  return devices;
}

bool ListFtdiDevices(std::vector<FtdiDeviceInfo>* devices, std::string* error) {
  devices->clear();
  std::unique_ptr<ftdi_context, ContextDeleter> context(ftdi_new());
  if (!context) {
    if (error != nullptr) *error = "libftdi: cannot start (no USB in this system?)";
    return false;
  }
  ftdi_device_list* raw = nullptr;
  const int found = ftdi_usb_find_all(context.get(), &raw, 0, 0);
  std::unique_ptr<ftdi_device_list, ListDeleter> list(raw);
  if (found < 0) {
    if (error != nullptr) *error = std::string("libftdi: ") + ftdi_get_error_string(context.get());
    return false;
  }
  uint32_t index = 0;
  for (libusb_device* dev : OrderedFtdiDevices(list.get())) {
    FtdiDeviceInfo info;
    info.index = index++;
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(dev, &descriptor) == 0) info.productId = descriptor.idProduct;
    info.bus = libusb_get_bus_number(dev);
    info.portPath = std::to_string(info.bus);
    const std::vector<uint8_t> ports = PortNumbers(dev);
    for (size_t i = 0; i < ports.size(); ++i)
      info.portPath += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    bool reachable = false;
    info.reason = OpenFailure(dev, &info.note, &reachable);
    if (reachable) {
      char manufacturer[128] = {};
      char description[128] = {};
      char serial[128] = {};
      if (ftdi_usb_get_strings2(context.get(), dev, manufacturer, sizeof manufacturer, description,
                                sizeof description, serial, sizeof serial) < 0) {
        if (info.reason.empty())
          info.reason = std::string("strings unreadable: ") + ftdi_get_error_string(context.get());
      } else {
        info.manufacturer = manufacturer;
        info.description = description;
        info.serial = serial;
        info.openable = info.reason.empty();
      }
    }
    devices->push_back(std::move(info));
  }
  return true;
}

bool FtdiBridgePresent(const FtdiSelection& selection) {
  std::unique_ptr<ftdi_context, ContextDeleter> context(ftdi_new());
  if (!context) return false;
  ftdi_device_list* raw = nullptr;
  const int found = ftdi_usb_find_all(context.get(), &raw, 0, 0);
  std::unique_ptr<ftdi_device_list, ListDeleter> list(raw);
  if (found <= 0) return false;
  return selection.BySerial() || static_cast<uint32_t>(found) > selection.index;
}

}  // namespace bf
