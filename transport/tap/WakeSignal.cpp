#include "WakeSignal.h"

#include <csignal>

namespace tap {
namespace {
void Nothing(int) {}
} // namespace

int WakeSignal::Claim()
{
    if (number != 0) return number;
    // The lowest few are often taken by thread libraries and tools; leave them.
    for (int sig = SIGRTMIN + 4; sig <= SIGRTMAX; ++sig) {
        struct sigaction old{};
        if (::sigaction(sig, nullptr, &old) != 0) continue;
        if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
        struct sigaction sa{};
        sa.sa_handler = &Nothing;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0; // no SA_RESTART: the ioctl must come back with EINTR
        if (::sigaction(sig, &sa, nullptr) != 0) continue;
        number = sig;
        return number;
    }
    return 0;
}

void WakeSignal::Release()
{
    if (number == 0) return;
    struct sigaction sa{};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(number, &sa, nullptr);
    number = 0;
}

} // namespace tap
