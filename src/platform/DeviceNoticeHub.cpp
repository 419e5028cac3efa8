#include "DeviceNoticeHub.h"

#include "CDeviceChangeEvent.h"
#include "DebugLog.h"
#include "ProgramPaths.h"
#include "SimProbeNoticeSource.h"
#include "UdevNoticeSource.h"
#include "UserConfigDirectory.h"
#include "UsbDeviceIds.h"

#include <QObject>

#include <algorithm>

namespace ks {

DeviceNoticeHub& DeviceNoticeHub::Instance()
{
    // Never destroyed: windows may outlive static destruction order, and the
    // sources stop with the last window anyway.
    static DeviceNoticeHub* hub = new DeviceNoticeHub;
    return *hub;
}

void* DeviceNoticeHub::Register(QObject* window, const void* filter, std::size_t length)
{
    if (!window || !filter || length < DeviceNotice::kSize) return nullptr;
    const DeviceNotice wanted = DeviceNotice::FromBytes(static_cast<const uint8_t*>(filter), length);
    if (wanted.Size() < DeviceNotice::kSize || wanted.DeviceType() != kDeviceTypeInterface) return nullptr;

    bool known = false;
    intptr_t handle = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        known = std::any_of(registrations.begin(), registrations.end(),
                            [window](const Registration& r) { return r.window == window; });
        registrations.push_back({window, wanted.InterfaceClass()});
        handle = nextHandle++;
    }
    if (!known) QObject::connect(window, &QObject::destroyed, [this](QObject* gone) { OnWindowDestroyed(gone); });
    if (!running) StartSources();
    return reinterpret_cast<void*>(handle);
}

void DeviceNoticeHub::OnWindowDestroyed(QObject* window)
{
    bool last = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        registrations.erase(std::remove_if(registrations.begin(), registrations.end(),
                                           [window](const Registration& r) { return r.window == window; }),
                            registrations.end());
        last = registrations.empty();
    }
    if (last) StopSources();
}

int DeviceNoticeHub::RegistrationCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(registrations.size());
}

void DeviceNoticeHub::Broadcast(uint32_t eventCode, const DeviceNotice& notice)
{
    // Posting under the lock: a window being destroyed meanwhile either has
    // not yet left the list (and Qt drops what was posted to it) or has.
    std::lock_guard<std::mutex> lock(mutex);
    for (const Registration& r : registrations)
        if (notice.DeviceType() == kDeviceTypeInterface && notice.InterfaceClass() == r.interfaceClass)
            CDeviceChangeEvent::Post(r.window, eventCode, notice);
}

void DeviceNoticeHub::BroadcastProbe(uint32_t eventCode)
{
    Broadcast(eventCode, DeviceNotice::ForInterface(kProbeInterfaceClass));
}

void DeviceNoticeHub::StartSources()
{
    running = true;
    StartUdevSource();
    StartSimulatedProbeSource();
}

void DeviceNoticeHub::StopSources()
{
    running = false;
    udevSource.reset();
    simSource.reset();
}

void DeviceNoticeHub::StartUdevSource()
{
    udevSource.reset();
    UdevNoticeSource::Match match;
    match.usb = UsbIdsFromSettings(SettingsFilePath());
    match.serialPorts = serialPorts;
    auto source = std::make_unique<UdevNoticeSource>(match, [this](uint32_t code) { BroadcastProbe(code); });
    if (source->Start()) udevSource = std::move(source);
}

void DeviceNoticeHub::StartSimulatedProbeSource()
{
    simSource.reset();
    std::string directory = simDirectory.empty() ? ProgramDirectory() : simDirectory;
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    if (directory.empty()) return;
    // The per-user folder is looked up afresh, as the probe does at each open.
    auto source = std::make_unique<SimProbeNoticeSource>(directory, sim::UserConfigDirectory(),
                                                         [this](uint32_t code) { BroadcastProbe(code); });
    if (source->Start()) simSource = std::move(source);
}

void DeviceNoticeHub::SetSimulatedProbeDirectory(const std::string& directory)
{
    simDirectory = directory;
    if (running) StartSimulatedProbeSource();
}

void DeviceNoticeHub::SetWatchedSerialPorts(const std::vector<std::string>& ports)
{
    // Called at every open of the link: the same ports again must leave the
    // monitor and its unread events alone.
    if (ports == serialPorts) return;
    serialPorts = ports;
    if (!running) return;
    if (udevSource) udevSource->SetSerialPorts(ports);
    else StartUdevSource();
}

std::string DeviceNoticeHub::WatchedSimulatedProbeDirectory() const
{
    return simSource ? simSource->Directory() : std::string();
}

std::vector<std::string> DeviceNoticeHub::WatchedSimulatedProbeFolders() const
{
    return simSource ? simSource->WatchedDirectories() : std::vector<std::string>();
}

void* RegisterDeviceNotificationA(QObject* window, const void* filter, uint32_t flags)
{
    if (flags != 0) return nullptr; // only windows receive notices here
    return DeviceNoticeHub::Instance().Register(window, filter, DeviceNotice::kSize);
}

} // namespace ks
