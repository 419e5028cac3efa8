#include "CaptureSession.h"

#include "ProbeSetup.h"
#include "SessionWaits.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

CaptureSession::CaptureSession(const CaptureOptions& o) : options(o)
{
    mode.Data = o.data ? 1 : 0;
    mode.Status = o.status ? 1 : 0;
    mode.Stamp = o.stamp ? 1 : 0;
    // Layout only decides where lines break, never what is stored.
    mode.cxLine = 770;
    mode.cxChar = 8;
    mode.cyChar = 16;
}

CaptureSession::~CaptureSession() { link.Close(); }

void CaptureSession::OnData(const uint8_t* data, uint32_t count, void* user)
{
    auto* self = static_cast<CaptureSession*>(user);
    if (count == 0) {
        self->activity.Empty();
        return;
    }
    self->activity.Data();
    if (count < 2) return; // carries no record; nothing is trimmed here
    CStoreGuard guard(self->storeLock);
    self->lines.AddLiveBlock(data, count, Now32(), self->mode);
}

void CaptureSession::OnLost(const uint8_t*, uint32_t, void* user)
{
    static_cast<CaptureSession*>(user)->lost = true;
}

int CaptureSession::Run(const sigset_t& stopSignals)
{
    // Find out now, not after an hour of recording, that the file cannot be
    // written. The path goes to the system as the bytes it came in, here and
    // at the end, so a name that is not UTF-8 names one file throughout.
    errno = 0;
    if (!mode.WriteHeader(options.output)) {
        std::fprintf(stderr, "ks-capture: cannot write %s: %s\n", options.output.c_str(), std::strerror(errno));
        return kFailed;
    }

    link.SetCallbacks(&CaptureSession::OnData, &CaptureSession::OnLost, this);
    if (!OpenProbe(link, options, mode)) {
        std::remove(options.output.c_str());
        return kFailed;
    }

    {
        CStoreGuard guard(storeLock);
        if (mode.DateTime) lines.AddStartStopTime(std::time(nullptr), mode);
    }
    if (!link.RequestStart()) {
        std::fprintf(stderr, "ks-capture: the probe did not start\n");
        link.Close();
        std::remove(options.output.c_str());
        return kFailed;
    }
    if (options.seconds > 0) std::fprintf(stderr, "Capturing for %d s to %s\n", options.seconds, options.output.c_str());
    else std::fprintf(stderr, "Capturing to %s; Ctrl+C stops\n", options.output.c_str());

    WaitForStop(stopSignals, options.seconds, [this] { return lost.load(); });
    if (!lost) {
        link.RequestStop();
        activity.WaitUntilQuiet(lost);
    }
    // Close ends both threads; the dispatch thread hands over every block the
    // reader had queued before it returns.
    link.Close();
    if (mode.DateTime) lines.AddStartStopTime(std::time(nullptr), mode);

    if (!Save()) {
        std::fprintf(stderr, "ks-capture: cannot write %s: %s\n", options.output.c_str(), std::strerror(errno));
        return kFailed;
    }
    const Counters& c = lines.GetCounters();
    std::fprintf(stderr, "Saved %s: %d lines, TXD:%u RXD:%u ERR:%u\n", options.output.c_str(), lines.GetLineCount(),
                 c[CNT_TXD], c[CNT_RXD], c[CNT_ERR]);
    if (lost) {
        std::fprintf(stderr, "ks-capture: the probe was lost during the capture; what arrived is saved\n");
        return kProbeLost;
    }
    return kSaved;
}

bool CaptureSession::Save()
{
    errno = 0;
    return mode.WriteHeader(options.output) && lines.SaveCaptureBody(options.output);
}
