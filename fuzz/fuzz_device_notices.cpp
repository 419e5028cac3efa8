// What the device-notice sources decode from outside: the records of an
// inotify read (lengths the kernel sets) and the USB numbers udev writes into
// device properties. Names stay inside the buffer, and only what a USB id
// can be is accepted as one.
#include "DeviceNotice.h"
#include "InotifyRecords.h"
#include "UsbDeviceIds.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // The kernel's buffer, as one read returned it (copied so that the end
    // of the input is the end of the buffer for the sanitizer too).
    const std::string buffer(reinterpret_cast<const char*>(data), size);
    const char* begin = buffer.data();
    ks::ForEachInotifyRecord(begin, buffer.size(), [&](int, uint32_t, std::string_view name) {
        if (name.empty()) return;
        Require(name.data() >= begin && name.data() + name.size() <= begin + buffer.size());
        Require(name.find('\0') == std::string_view::npos);
    });

    const std::string_view text(buffer);
    if (const auto id = ks::ParseUsbId(text)) {
        Require(!text.empty() && text.size() <= 4);
        for (char c : text) Require(IsHex(c));
    }
    if (const auto ids = ks::ParseUsbProductProperty(text)) Require(text.find('/') != std::string_view::npos);

    const ks::DeviceNotice notice = ks::DeviceNotice::FromBytes(data, size);
    (void)notice.DeviceType();
    (void)notice.InterfaceClass();
    return 0;
}
