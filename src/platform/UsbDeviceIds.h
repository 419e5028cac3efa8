#pragma once
// The USB vendor and product numbers that identify the probe, and the ways
// udev writes them: as four hex digits in the sysfs attributes idVendor and
// idProduct and the properties ID_VENDOR_ID and ID_MODEL_ID, and as
// "vendor/product/release" in hex without leading zeros in PRODUCT.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ks {

struct UsbDeviceIds {
    uint16_t vendor = 0;
    uint16_t product = 0;
    bool operator==(const UsbDeviceIds&) const = default;
};

// The pair the program asks the transport for when it opens the probe
// (4373 and 16, written 1115 and 0010 in hex).
inline constexpr UsbDeviceIds kProbeUsbIds{0x1115, 0x0010};

// One to four hex digits, nothing else (no sign, no "0x", no spaces).
std::optional<uint16_t> ParseUsbId(std::string_view text);

// The vendor and product of a PRODUCT property ("1115/10/100").
std::optional<UsbDeviceIds> ParseUsbProductProperty(std::string_view text);

// The pair from the settings file: [Device] UsbVendor and UsbProduct, in hex
// as lsusb shows them. A missing key keeps the probe's own number; a value
// that is not a USB id keeps it too and says so on the debugging output.
UsbDeviceIds UsbIdsFromSettings(const std::string& settingsPath);

} // namespace ks
