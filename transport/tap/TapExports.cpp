// The serial tap: a drop-in transport (libCorvane-tap.so) that makes the
// probe's record stream from two ordinary serial ports on a tap cable.
#include "LibraryDirectory.h"
#include "ProbeTransport.h"
#include "TapConfig.h"
#include "TapDevice.h"
#include "TransportDevices.h"

#include <cstring>
#include <string>

namespace {

tap::TapDevice& TheTap()
{
    static tap::TapDevice device; // destroyed when the library is unloaded
    return device;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int USB_Open_mask(int, int, int, int vendor, int product, int)
{
    return TheTap().Open(vendor, product);
}

__attribute__((visibility("default"))) int USB_Close(int device) { return TheTap().Close(device); }

__attribute__((visibility("default"))) int USB_OpenPipe(int device, int, int) { return TheTap().OpenPipe(device); }

__attribute__((visibility("default"))) int USB_VendorRequest(int device, int directionIn, int, int request,
                                                             int value, int, int length, void* buffer)
{
    return TheTap().Request(device, directionIn, request, value, length, buffer);
}

__attribute__((visibility("default"))) int USB_Open(void) { return -1; }

// The two ports as configured now (the files and the environment are read
// afresh), so that the program can watch the adapters come and go.
__attribute__((visibility("default"))) int Transport_DeviceNodes(char* buffer, int size)
{
    std::string problems;
    bool fatal = false;
    const tap::TapConfig config = tap::LoadConfig(sim::LibraryDirectory(), problems, fatal);
    std::string nodes;
    for (const std::string& device : config.device) {
        if (device.empty()) continue;
        if (!nodes.empty()) nodes += '\n';
        nodes += device;
    }
    if (!buffer || size <= 0 || nodes.size() + 1 > static_cast<std::size_t>(size)) return -1;
    std::memcpy(buffer, nodes.c_str(), nodes.size() + 1);
    return static_cast<int>(nodes.size());
}

} // extern "C"
