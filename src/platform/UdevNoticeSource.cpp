#include "UdevNoticeSource.h"

#include "DebugLog.h"
#include "DeviceNotice.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sstream>

#include <libudev.h>

namespace ks {

namespace {

std::string_view Text(const char* value) { return value ? std::string_view(value) : std::string_view(); }

// Large enough for a burst of hub resets; the kernel may grant less.
constexpr int kReceiveBuffer = 1 << 20;

} // namespace

UdevNoticeSource::UdevNoticeSource(Match m, Sink s, QObject* parent)
    : QObject(parent), match(std::move(m)), sink(std::move(s))
{
}

UdevNoticeSource::~UdevNoticeSource() { Stop(); }

bool UdevNoticeSource::Start()
{
    Stop();
    context = ::udev_new();
    if (!context) {
        OutputDebugString(QStringLiteral("Device notices: udev is not available"));
        return false;
    }
    monitor = ::udev_monitor_new_from_netlink(context, "udev");
    if (!monitor) {
        OutputDebugString(QStringLiteral("Device notices: no udev monitor"));
        Stop();
        return false;
    }
    ::udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device");
    // Serial ports are always listened to, so that a new list of the
    // probe's ports never needs a new monitor (whose unread events would be
    // lost); tty events are rare.
    ::udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr);
    (void)::udev_monitor_set_receive_buffer_size(monitor, kReceiveBuffer);
    if (::udev_monitor_enable_receiving(monitor) < 0) {
        OutputDebugString(QStringLiteral("Device notices: the udev monitor cannot receive"));
        Stop();
        return false;
    }
    // Listening first, then looking: a device plugged in between is seen
    // twice at worst, never missed.
    present = Enumerate();
    notifier = new QSocketNotifier(::udev_monitor_get_fd(monitor), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    return true;
}

void UdevNoticeSource::Stop()
{
    delete notifier;
    notifier = nullptr;
    if (monitor) ::udev_monitor_unref(monitor);
    monitor = nullptr;
    if (context) ::udev_unref(context);
    context = nullptr;
    present.clear();
}

bool UdevNoticeSource::MatchesUsb(udev_device* device) const
{
    if (Text(::udev_device_get_subsystem(device)) != "usb" || Text(::udev_device_get_devtype(device)) != "usb_device")
        return false;
    // sysfs first (there while the device is), then what udev recorded
    // (still there in a removal event), then the kernel's PRODUCT.
    auto vendor = ParseUsbId(Text(::udev_device_get_sysattr_value(device, "idVendor")));
    auto product = ParseUsbId(Text(::udev_device_get_sysattr_value(device, "idProduct")));
    if (!vendor || !product) {
        vendor = ParseUsbId(Text(::udev_device_get_property_value(device, "ID_VENDOR_ID")));
        product = ParseUsbId(Text(::udev_device_get_property_value(device, "ID_MODEL_ID")));
    }
    if (!vendor || !product) {
        if (const auto ids = ParseUsbProductProperty(Text(::udev_device_get_property_value(device, "PRODUCT")))) {
            vendor = ids->vendor;
            product = ids->product;
        }
    }
    return vendor && product && UsbDeviceIds{*vendor, *product} == match.usb;
}

bool UdevNoticeSource::MatchesSerialPort(udev_device* device) const
{
    if (match.serialPorts.empty() || Text(::udev_device_get_subsystem(device)) != "tty") return false;
    std::vector<std::string> names;
    if (const char* node = ::udev_device_get_devnode(device)) names.emplace_back(node);
    if (const char* name = ::udev_device_get_property_value(device, "DEVNAME")) names.emplace_back(name);
    std::istringstream links(std::string(Text(::udev_device_get_property_value(device, "DEVLINKS"))));
    for (std::string link; links >> link;) names.push_back(link);
    for (const std::string& port : match.serialPorts)
        for (const std::string& name : names)
            if (name == port) return true;
    return false;
}

bool UdevNoticeSource::Matches(udev_device* device) const { return MatchesUsb(device) || MatchesSerialPort(device); }

std::set<std::string> UdevNoticeSource::Enumerate() const
{
    std::set<std::string> found;
    udev_enumerate* scan = ::udev_enumerate_new(context);
    if (!scan) return found;
    ::udev_enumerate_add_match_subsystem(scan, "usb");
    if (!match.serialPorts.empty()) ::udev_enumerate_add_match_subsystem(scan, "tty");
    // Not filtered on "initialized": devices without a udev database entry
    // (a test bed, a container) would be missed.
    if (::udev_enumerate_scan_devices(scan) >= 0) {
        for (udev_list_entry* entry = ::udev_enumerate_get_list_entry(scan); entry; entry = ::udev_list_entry_get_next(entry)) {
            const char* path = ::udev_list_entry_get_name(entry);
            udev_device* device = path ? ::udev_device_new_from_syspath(context, path) : nullptr;
            if (!device) continue;
            if (Matches(device)) found.insert(path);
            ::udev_device_unref(device);
        }
    }
    ::udev_enumerate_unref(scan);
    return found;
}

void UdevNoticeSource::SetSerialPorts(const std::vector<std::string>& ports)
{
    if (ports == match.serialPorts) return;
    // What arrived or left under the old list is told under it first.
    if (monitor) OnReadable();
    match.serialPorts = ports;
    if (!monitor) return;
    // Ports of the new list that are here already are arrivals of the
    // probe's parts; ports that left the list are no longer ours and go
    // without a notice.
    const std::set<std::string> now = Enumerate();
    for (const std::string& path : now)
        if (!present.count(path) && sink) sink(kDeviceArrival);
    present = now;
}

void UdevNoticeSource::Resynchronise()
{
    const std::set<std::string> now = Enumerate();
    for (const std::string& path : present)
        if (!now.count(path) && sink) sink(kDeviceRemoveComplete);
    for (const std::string& path : now)
        if (!present.count(path) && sink) sink(kDeviceArrival);
    present = now;
}

void UdevNoticeSource::Handle(udev_device* device)
{
    const std::string_view action = Text(::udev_device_get_action(device));
    const char* syspath = ::udev_device_get_syspath(device);
    if (!syspath) return;
    if (action == "add") {
        if (!Matches(device) || !present.insert(syspath).second) return;
        if (sink) sink(kDeviceArrival);
    } else if (action == "remove") {
        // A device we saw arrive, or one whose recorded numbers still match.
        if (!present.erase(syspath) && !Matches(device)) return;
        if (sink) sink(kDeviceRemoveComplete);
    }
    // "change", "move", "bind", "unbind": the device stays what it was.
}

void UdevNoticeSource::OnReadable()
{
    for (;;) {
        errno = 0;
        udev_device* device = ::udev_monitor_receive_device(monitor);
        if (!device) {
            if (errno == ENOBUFS) {
                OutputDebugString(QStringLiteral("Device notices: udev events were lost; looking again"));
                Resynchronise();
                continue;
            }
            break;
        }
        Handle(device);
        ::udev_device_unref(device);
    }
}

} // namespace ks
