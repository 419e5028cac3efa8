#include "ReaderPriority.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tap {
namespace {

// Low among real-time priorities: above every ordinary thread, below the
// system's own real-time work. The reader sleeps in poll between reads, so
// it never holds a core for long.
constexpr int kRealTimePriority = 5;
constexpr int kNiceStep = 10;

bool TryRealTime()
{
    rlimit limit{};
    int priority = kRealTimePriority;
    // Without the privilege the soft limit is the ceiling; with it (root,
    // CAP_SYS_NICE) the limit is often 0 and the call succeeds anyway.
    if (::getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur > 0)
        priority = std::min<int>(priority, static_cast<int>(limit.rlim_cur));
    sched_param param{};
    param.sched_priority = std::max(priority, ::sched_get_priority_min(SCHED_FIFO));
    return ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param) == 0;
}

bool TryNice()
{
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    if (errno != 0) return false;
    int wanted = current - kNiceStep;
    // RLIMIT_NICE allows nice values down to 20 - limit.
    rlimit limit{};
    if (::getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const int lowest = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
        wanted = std::max(wanted, lowest);
    }
    if (wanted >= current) {
        // Not allowed by the limit; privileged callers may still do it.
        wanted = current - kNiceStep;
    }
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), wanted) == 0;
}

} // namespace

void RaiseReaderPriority()
{
    if (TryRealTime() || TryNice()) return;
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        std::fprintf(stderr,
                     "serial tap: the reader cannot run at a raised priority (neither RLIMIT_RTPRIO nor "
                     "RLIMIT_NICE allows it); on a loaded machine characters may be dated late\n");
}

} // namespace tap
