// The serial tap: a drop-in transport (libCorvane-tap.so) that makes the
// probe's record stream from two ordinary serial ports on a tap cable.
#include "ProbeTransport.h"
#include "TapDevice.h"

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

} // extern "C"
