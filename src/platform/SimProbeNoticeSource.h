#pragma once
// Notices for the simulated probe: it counts as pulled out while its control
// file (ks-sim-probe.unplugged, written and removed by `ks-probe pull` and
// `ks-probe plug`) exists in the folder of its library. The folder is
// watched with inotify on the owning thread's event loop, so a pull or a plug
// becomes a removal or an arrival notice at once, without polling.
#include <QObject>

#include <cstdint>
#include <functional>
#include <string>

class QSocketNotifier;

namespace ks {

class SimProbeNoticeSource : public QObject {
public:
    using Sink = std::function<void(uint32_t eventCode)>;

    SimProbeNoticeSource(std::string directory, Sink sink, QObject* parent = nullptr);
    ~SimProbeNoticeSource() override;
    SimProbeNoticeSource(const SimProbeNoticeSource&) = delete;
    SimProbeNoticeSource& operator=(const SimProbeNoticeSource&) = delete;

    // False when the folder cannot be watched (it does not exist, or no
    // inotify descriptor is left); the source then stays silent.
    bool Start();
    const std::string& Directory() const { return directory; }
    bool PulledOut() const { return pulled; }

private:
    void OnReadable();
    void Follow(bool pulledNow);
    void Stop();

    std::string directory;
    Sink sink;
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    bool pulled = false;
};

} // namespace ks
