#pragma once
// Notices for real hardware from udev: the probe's USB device (matched by its
// vendor and product numbers) and, for a transport built from serial ports,
// those ports (matched by device node or any of its udev links, such as
// /dev/serial/by-id/...). The monitor listens to udev's own events, sent once
// its rules have run (device nodes and permissions exist), on a descriptor
// the owning thread's event loop watches: no polling.
//
// One plug produces many kernel events (the device, each interface, driver
// binds); only whole USB devices and tty devices are listened to, so that one
// plug is one notice. Devices present when the source starts are counted as
// present and give no notice; when events were lost (the socket overflowed),
// the present devices are enumerated again and the differences reported.
#include "UsbDeviceIds.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

class QSocketNotifier;
struct udev;
struct udev_device;
struct udev_monitor;

namespace ks {

class UdevNoticeSource : public QObject {
public:
    using Sink = std::function<void(uint32_t eventCode)>;

    struct Match {
        UsbDeviceIds usb = kProbeUsbIds;
        // Device paths of serial ports that make up the probe (empty: none).
        std::vector<std::string> serialPorts;
    };

    UdevNoticeSource(Match match, Sink sink, QObject* parent = nullptr);
    ~UdevNoticeSource() override;
    UdevNoticeSource(const UdevNoticeSource&) = delete;
    UdevNoticeSource& operator=(const UdevNoticeSource&) = delete;

    // False when udev cannot be reached; the source then stays silent.
    bool Start();
    // A new list of the probe's serial ports, on the same monitor: events
    // not yet read are handled under the old list, then ports of the new
    // list already present are reported as arrivals. The same list again
    // changes nothing.
    void SetSerialPorts(const std::vector<std::string>& ports);
    // Devices of ours present now (their sysfs paths).
    const std::set<std::string>& Present() const { return present; }

private:
    void OnReadable();
    void Handle(udev_device* device);
    bool Matches(udev_device* device) const;
    bool MatchesUsb(udev_device* device) const;
    bool MatchesSerialPort(udev_device* device) const;
    std::set<std::string> Enumerate() const;
    void Resynchronise();
    void Stop();

    Match match;
    Sink sink;
    struct udev* context = nullptr;
    struct udev_monitor* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
    std::set<std::string> present;
};

} // namespace ks
