#pragma once
// Notices for the simulated probe: it counts as pulled out while its control
// file (ks-sim-probe.unplugged, written and removed by `ks-probe pull` and
// `ks-probe plug`) exists in the folder of its library or in the per-user
// configuration folder (where a user pulls a probe whose library folder
// belongs to root). Both folders are watched with inotify on the owning
// thread's event loop, so a pull or a plug becomes a removal or an arrival
// notice at once, without polling. A pull in one folder while the probe is
// already pulled in the other says nothing; the arrival comes when no marker
// is left.
#include <QObject>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QSocketNotifier;

namespace ks {

class SimProbeNoticeSource : public QObject {
public:
    using Sink = std::function<void(uint32_t eventCode)>;

    // An empty `userDirectory` watches the library's folder alone.
    SimProbeNoticeSource(std::string libraryDirectory, std::string userDirectory, Sink sink,
                         QObject* parent = nullptr);
    ~SimProbeNoticeSource() override;
    SimProbeNoticeSource(const SimProbeNoticeSource&) = delete;
    SimProbeNoticeSource& operator=(const SimProbeNoticeSource&) = delete;

    // Makes the per-user folder when it is absent (so that a later pull
    // there is seen) and watches both. False when neither can be watched
    // (no such folder, no inotify descriptor left); the source then stays
    // silent.
    bool Start();
    const std::string& Directory() const { return libraryDirectory; }
    // The folders watched now.
    std::vector<std::string> WatchedDirectories() const;
    bool PulledOut() const { return pulled; }

private:
    struct Watch {
        std::string directory;
        int descriptor = -1;
        bool marker = false; // the control file is there
    };

    void AddWatch(const std::string& directory);
    void OnReadable();
    void Follow();
    void Stop();

    std::string libraryDirectory;
    std::string userDirectory;
    Sink sink;
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    std::vector<Watch> watches;
    bool pulled = false;
};

} // namespace ks
