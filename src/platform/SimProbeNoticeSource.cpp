#include "SimProbeNoticeSource.h"

#include "DebugLog.h"
#include "DeviceNotice.h"
#include "InotifyRecords.h"
#include "SimControlFiles.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

namespace ks {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

} // namespace

SimProbeNoticeSource::SimProbeNoticeSource(std::string library, std::string user, Sink s, QObject* parent)
    : QObject(parent), libraryDirectory(std::move(library)), userDirectory(std::move(user)), sink(std::move(s))
{
}

SimProbeNoticeSource::~SimProbeNoticeSource() { Stop(); }

bool SimProbeNoticeSource::Start()
{
    Stop();
    fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        OutputDebugString(QStringLiteral("Simulated probe notices: inotify: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    const std::vector<std::string> dirs = sim::ControlDirectories(libraryDirectory, userDirectory);
    if (dirs.size() > 1) {
        std::string error;
        if (!sim::MakeDirectories(dirs[1], error))
            OutputDebugString(QStringLiteral("Simulated probe notices: %1").arg(Text(error)));
    }
    for (const std::string& dir : dirs) AddWatch(dir);
    if (watches.empty()) {
        Stop();
        return false;
    }
    pulled = std::any_of(watches.begin(), watches.end(), [](const Watch& w) { return w.marker; });
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    return true;
}

void SimProbeNoticeSource::AddWatch(const std::string& directory)
{
    // Creation and removal of the control file, also by rename, and the
    // folder itself going away.
    const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    const int descriptor = ::inotify_add_watch(fd, directory.c_str(), mask);
    if (descriptor < 0) {
        OutputDebugString(QStringLiteral("Simulated probe notices: cannot watch %1: %2")
                              .arg(Text(directory), QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    // One folder reached by two names has one watch; its events count once.
    for (const Watch& w : watches)
        if (w.descriptor == descriptor) return;
    watches.push_back({directory, descriptor, sim::MarkerIn(directory)});
}

std::vector<std::string> SimProbeNoticeSource::WatchedDirectories() const
{
    std::vector<std::string> dirs;
    for (const Watch& w : watches) dirs.push_back(w.directory);
    return dirs;
}

void SimProbeNoticeSource::Stop()
{
    delete notifier;
    notifier = nullptr;
    if (fd >= 0) ::close(fd);
    fd = -1;
    watches.clear();
}

void SimProbeNoticeSource::Follow()
{
    // The probe's state, not the file system's events, decides: a second
    // pull (the file written again, or written in the other folder) or a
    // plug that leaves a marker behind says nothing.
    const bool pulledNow = std::any_of(watches.begin(), watches.end(), [](const Watch& w) { return w.marker; });
    if (pulledNow == pulled) return;
    pulled = pulledNow;
    if (sink) sink(pulled ? kDeviceRemoveComplete : kDeviceArrival);
}

void SimProbeNoticeSource::OnReadable()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        ForEachInotifyRecord(buffer, static_cast<std::size_t>(n), [&](int descriptor, uint32_t mask, std::string_view name) {
            if (mask & IN_Q_OVERFLOW) {
                // Events were dropped: the files' presence now is the truth.
                for (Watch& w : watches) w.marker = sim::MarkerIn(w.directory);
                Follow();
                return;
            }
            const auto watch = std::find_if(watches.begin(), watches.end(),
                                            [descriptor](const Watch& w) { return w.descriptor == descriptor; });
            if (watch == watches.end()) return;
            if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                OutputDebugString(QStringLiteral("Simulated probe notices: %1 is gone; no more notices from it")
                                      .arg(Text(watch->directory)));
                // A folder moved away is still watched under its new name.
                if (mask & IN_MOVE_SELF) ::inotify_rm_watch(fd, descriptor);
                // Whatever marker it held is no longer where the probe looks.
                watches.erase(watch);
                Follow();
                return;
            }
            if (name != sim::kUnpluggedFileName) return;
            if (mask & (IN_CREATE | IN_MOVED_TO)) watch->marker = true;
            else if (mask & (IN_DELETE | IN_MOVED_FROM)) watch->marker = false;
            Follow();
        });
    }
    if (watches.empty() && notifier) {
        // Deferred: this runs inside the notifier's own signal.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
        ::close(fd);
        fd = -1;
    }
}

} // namespace ks
