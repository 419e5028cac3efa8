// The remote transport: a drop-in transport (libCorvane-remote.so) that shows
// a probe plugged into another machine, reached over ssh.
#include "ProbeTransport.h"
#include "RemoteDevice.h"

namespace {

remote::RemoteDevice& TheRemote()
{
    static remote::RemoteDevice device; // destroyed when the library is unloaded
    return device;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int USB_Open_mask(int, int, int, int vendor, int product, int)
{
    return TheRemote().Open(vendor, product);
}

__attribute__((visibility("default"))) int USB_Close(int device) { return TheRemote().Close(device); }

__attribute__((visibility("default"))) int USB_OpenPipe(int device, int, int) { return TheRemote().OpenPipe(device); }

__attribute__((visibility("default"))) int USB_VendorRequest(int device, int directionIn, int, int request,
                                                             int value, int, int length, void* buffer)
{
    return TheRemote().Request(device, directionIn, request, value, length, buffer);
}

__attribute__((visibility("default"))) int USB_Open(void) { return -1; }

} // extern "C"
