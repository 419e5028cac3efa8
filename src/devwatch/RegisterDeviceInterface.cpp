// The device-notification library: registers a window for arrival and
// removal notices of the probe's device interface. It keeps no state and
// does nothing when loaded or unloaded; the registration is held by the
// platform layer and lasts as long as the window.
#include "DeviceNotice.h"
#include "DeviceNoticeHub.h"

#include <QObject>

// `window` is the window to notify (a QObject*). Returns 1 when the
// registration was accepted, 0 otherwise.
extern "C" __attribute__((visibility("default"))) int RegisterDeviceInterface(void* window)
{
    const ks::DeviceNotice filter = ks::DeviceNotice::ForInterface(ks::kProbeInterfaceClass);
    // The handle is neither returned nor kept: the registration ends with
    // the window, never before.
    void* handle = ks::RegisterDeviceNotificationA(static_cast<QObject*>(window), filter.Bytes(), 0);
    return handle ? 1 : 0;
}
