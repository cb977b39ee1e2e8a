// What the system knows of the adapter behind a port name. On Linux udev tells; elsewhere
// on POSIX systems there is nothing to ask.

#include "serial/port_scan.h"

#ifdef __linux__
#include <libudev.h>
#include <sys/stat.h>

#include <memory>

#include "serial/udev_description.h"
#endif

namespace serial {

#ifdef __linux__
namespace {

std::string text_or_empty(const char* text) {
  return text ? text : "";
}

// Without a running udev (a container, a minimal system) its database holds no ID_*
// properties; the USB device's own attributes in sysfs give the same facts. The raw texts
// go under the exact-form (_ENC) keys, which hold the device's text unchanged.
void add_usb_facts_from_sysfs(udev_device* tty, UdevTty& facts) {
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
  if (!usb) return;
  const auto attribute = [usb](const char* name) {
    return text_or_empty(udev_device_get_sysattr_value(usb, name));
  };
  facts.properties["ID_BUS"] = "usb";
  facts.properties["ID_VENDOR_ENC"] = attribute("manufacturer");
  facts.properties["ID_VENDOR_ID"] = attribute("idVendor");
  facts.properties["ID_MODEL_ENC"] = attribute("product");
  facts.properties["ID_MODEL_ID"] = attribute("idProduct");
  facts.properties["ID_SERIAL_SHORT"] = attribute("serial");
  if (udev_device* interface =
          udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_interface"))
    facts.properties["ID_USB_DRIVER"] = text_or_empty(udev_device_get_driver(interface));
}

}  // namespace

std::string describe_port(const std::string& name) {
  struct stat node {};
  if (name.empty() || ::stat(name.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) return {};
  const std::unique_ptr<udev, decltype(&udev_unref)> context(udev_new(), udev_unref);
  if (!context) return {};
  // A pseudo-terminal has no device in sysfs, so udev finds none.
  const std::unique_ptr<udev_device, decltype(&udev_device_unref)> tty(
      udev_device_new_from_devnum(context.get(), 'c', node.st_rdev), udev_device_unref);
  if (!tty) return {};

  UdevTty facts;
  facts.kernel_name = text_or_empty(udev_device_get_sysname(tty.get()));
  for (udev_list_entry* entry = udev_device_get_properties_list_entry(tty.get()); entry;
       entry = udev_list_entry_get_next(entry))
    facts.properties[udev_list_entry_get_name(entry)] =
        text_or_empty(udev_list_entry_get_value(entry));
  // The ancestors belong to the tty device and go with it.
  for (udev_device* ancestor = udev_device_get_parent(tty.get()); ancestor;
       ancestor = udev_device_get_parent(ancestor))
    facts.ancestors.push_back({text_or_empty(udev_device_get_subsystem(ancestor)),
                               text_or_empty(udev_device_get_driver(ancestor))});
  if (!facts.properties.contains("ID_BUS")) add_usb_facts_from_sysfs(tty.get(), facts);
  return describe_udev_tty(facts);
}

#else

std::string describe_port(const std::string&) {
  return {};
}

#endif

}  // namespace serial
