#include "SimProbeNoticeSource.h"

#include "DebugLog.h"
#include "DeviceNotice.h"
#include "InotifyRecords.h"
#include "SimControlFiles.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ks {

namespace {

bool MarkerExists(const std::string& directory)
{
    struct stat st{};
    return ::stat((directory + "/" + sim::kUnpluggedFileName).c_str(), &st) == 0;
}

} // namespace

SimProbeNoticeSource::SimProbeNoticeSource(std::string dir, Sink s, QObject* parent)
    : QObject(parent), directory(std::move(dir)), sink(std::move(s))
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
    // Creation and removal of the control file, also by rename, and the
    // folder itself going away.
    const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (::inotify_add_watch(fd, directory.c_str(), mask) < 0) {
        OutputDebugString(QStringLiteral("Simulated probe notices: cannot watch %1: %2")
                              .arg(QString::fromStdString(directory), QString::fromLocal8Bit(std::strerror(errno))));
        Stop();
        return false;
    }
    pulled = MarkerExists(directory);
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    return true;
}

void SimProbeNoticeSource::Stop()
{
    delete notifier;
    notifier = nullptr;
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void SimProbeNoticeSource::Follow(bool pulledNow)
{
    // The probe's state, not the file system's events, decides: a second
    // pull (the file written again) or a plug with no file says nothing.
    if (pulledNow == pulled) return;
    pulled = pulledNow;
    if (sink) sink(pulled ? kDeviceRemoveComplete : kDeviceArrival);
}

void SimProbeNoticeSource::OnReadable()
{
    alignas(inotify_event) char buffer[4096];
    bool folderGone = false;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        ForEachInotifyRecord(buffer, static_cast<std::size_t>(n), [&](uint32_t mask, std::string_view name) {
            if (mask & IN_Q_OVERFLOW) {
                // Events were dropped: the file's presence now is the truth.
                Follow(MarkerExists(directory));
                return;
            }
            if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                folderGone = true;
                return;
            }
            if (name != sim::kUnpluggedFileName) return;
            if (mask & (IN_CREATE | IN_MOVED_TO)) Follow(true);
            else if (mask & (IN_DELETE | IN_MOVED_FROM)) Follow(false);
        });
    }
    if (folderGone) {
        OutputDebugString(QStringLiteral("Simulated probe notices: %1 is gone; no more notices from it")
                              .arg(QString::fromStdString(directory)));
        // Deferred: this runs inside the notifier's own signal.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
        ::close(fd);
        fd = -1;
    }
}

} // namespace ks
