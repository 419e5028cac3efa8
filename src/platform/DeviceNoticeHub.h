#pragma once
// The device-notification service of the platform layer: windows register
// for notices about a device interface class, and notices about that class
// are posted to each registered window on its own thread, with the event
// code (arrival, removal complete) and the 32-byte header (DeviceNotice.h).
//
// Where notices come from is known here alone. While any window is
// registered, the hub runs its sources on the thread that registered first
// (the UI thread): udev for the probe's USB device and, when configured, the
// serial ports of a transport made of them (UdevNoticeSource); the simulated
// probe's control file beside its library and in the per-user configuration
// folder (SimProbeNoticeSource). Tests post notices through
// TestNoticeSource. When the last registered window is destroyed the
// sources stop; the next registration starts them again.
//
// A registration is never withdrawn by its owner: it ends with the window.
// Registering the same window twice registers it twice (two notices each).
#include "DeviceNotice.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QObject;

namespace ks {

class SimProbeNoticeSource;
class UdevNoticeSource;

class DeviceNoticeHub {
public:
    static DeviceNoticeHub& Instance();

    // Registers `window` for notices of the interface class in `filter`
    // (DeviceNotice::kSize bytes: size 32, device type 5, the class). Returns
    // a handle that is not null, or null when refused: no window, a filter
    // that is too short or not for a device interface.
    void* Register(QObject* window, const void* filter, std::size_t length);

    // Posts (eventCode, header) to every window registered for the header's
    // interface class. Any thread.
    void Broadcast(uint32_t eventCode, const DeviceNotice& notice);

    // The folder of the simulated probe's library, whose control file is
    // watched (with the one in the per-user folder, as it is when this is
    // called or the sources start). Empty (the default) means the program
    // directory. Takes effect at once.
    void SetSimulatedProbeDirectory(const std::string& directory);
    // Serial ports that make up the probe (device nodes or udev links);
    // their arrival and removal are the probe's. Takes effect at once, on
    // the running monitor: ports of a new list already present arrive; the
    // same list again changes nothing.
    void SetWatchedSerialPorts(const std::vector<std::string>& ports);

    // For tests: how many registrations are alive, and whether the sources run.
    int RegistrationCount();
    bool SourcesRunning() const { return running; }
    // The simulated-probe library folder the source was started on (empty:
    // none), and the folders it watches now (that one and the per-user one).
    std::string WatchedSimulatedProbeDirectory() const;
    std::vector<std::string> WatchedSimulatedProbeFolders() const;

private:
    DeviceNoticeHub() = default;
    ~DeviceNoticeHub() = delete; // lives as long as the process
    struct Registration {
        QObject* window; // removed (under the lock) as the window is destroyed
        InterfaceClassId interfaceClass;
    };

    void OnWindowDestroyed(QObject* window);
    void StartSources();
    void StopSources();
    void StartSimulatedProbeSource();
    void StartUdevSource();
    void BroadcastProbe(uint32_t eventCode);

    std::mutex mutex; // registrations and handles
    std::vector<Registration> registrations;
    intptr_t nextHandle = 1;

    // The registering (UI) thread only.
    bool running = false;
    std::string simDirectory;
    std::vector<std::string> serialPorts;
    std::unique_ptr<SimProbeNoticeSource> simSource;
    std::unique_ptr<UdevNoticeSource> udevSource;
};

// The platform call a window registers through (the device-notification
// library calls it): flags must be 0 (the recipient is a window).
void* RegisterDeviceNotificationA(QObject* window, const void* filter, uint32_t flags);

} // namespace ks
