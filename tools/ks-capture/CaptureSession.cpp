#include "CaptureSession.h"

#include "DeviceRecord.h"
#include "ProbeSetup.h"
#include "SessionWaits.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

CaptureSession::CaptureSession(const CaptureOptions& o) : options(o)
{
    mode.Data = o.data ? 1 : 0;
    mode.Status = o.status ? 1 : 0;
    mode.Stamp = o.stamp ? 1 : 0;
    // Layout only decides where lines break, never what is stored.
    mode.cxLine = 770;
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
    if (count < 2) return; // carries no record
    self->writer.AddBlock(data, count, Now32());
    if (!self->mode.Data) return;
    uint32_t t = 0, r = 0, e = 0;
    for (uint32_t i = 0; i + 1 < count; i += 2) {
        const uint8_t b0 = data[i];
        if (rec::Type(b0) != rec::kTypeData) continue;
        if (b0 & rec::kError) ++e;
        else if (b0 & rec::kRxd) ++r;
        else ++t;
    }
    self->txd += t;
    self->rxd += r;
    self->errors += e;
}

void CaptureSession::OnLost(const uint8_t*, uint32_t, void* user)
{
    static_cast<CaptureSession*>(user)->lost = true;
}

int CaptureSession::Run(const sigset_t& stopSignals)
{
    SeriesConfig config;
    config.singleFile = options.output;
    config.buffersPerFile = INT_MAX;
    config.data = mode.Data != 0;
    config.status = mode.Status != 0;
    config.stamp = mode.Stamp != 0;
    config.dateTime = mode.DateTime != 0;
    mode.BuildHeader(config.header);
    // One file takes the disk as far as it goes; a write it refuses ends the
    // recording with what it took.
    SeriesLimits limits;
    limits.diskFreeThreshold = 0;
    writer.onEnd = [this](SeriesEnd why, int error) {
        int none = 0;
        if (ended.compare_exchange_strong(none, static_cast<int>(why))) endError = error;
    };

    // Find out now, not after an hour of recording, that the file cannot be
    // written. The path goes to the system as the bytes it came in, so a
    // name that is not UTF-8 names one file throughout.
    int error = 0;
    if (!writer.Start(config, limits, error)) {
        std::fprintf(stderr, "ks-capture: cannot write %s: %s\n", options.output.c_str(), std::strerror(error));
        return kFailed;
    }
    link.SetCallbacks(&CaptureSession::OnData, &CaptureSession::OnLost, this);
    const bool opened = OpenProbe(link, options, mode);
    if (!opened || !link.RequestStart()) {
        if (opened) std::fprintf(stderr, "ks-capture: the probe did not start\n");
        link.Close();
        writer.Stop(error);
        std::remove(options.output.c_str());
        return kFailed;
    }
    if (options.seconds > 0) std::fprintf(stderr, "Capturing for %d s to %s\n", options.seconds, options.output.c_str());
    else std::fprintf(stderr, "Capturing to %s; Ctrl+C stops\n", options.output.c_str());

    WaitForStop(stopSignals, options.seconds, [this] { return lost || ended != 0; });
    if (!lost) {
        link.RequestStop();
        activity.WaitUntilQuiet(lost);
    }
    // Close ends both threads; the dispatch thread hands over every block the
    // reader had queued before it returns. Then the stop mark and the rest.
    link.Close();
    const bool flushed = StopWriter(writer, stopSignals, error);

    const auto why = static_cast<SeriesEnd>(ended.load());
    const CSeriesWriter::Stats s = writer.GetStats();
    std::fprintf(stderr, "Saved %s: %llu records in the file; received TXD:%u RXD:%u ERR:%u\n", options.output.c_str(),
                 static_cast<unsigned long long>(s.recordBytes / 2), txd.load(), rxd.load(), errors.load());
    if (why == SeriesEnd::DiskFull) {
        std::fprintf(stderr, "ks-capture: the disk is full\n");
        return kDiskFull;
    }
    if (why != SeriesEnd::None || !flushed) {
        const int cause = why != SeriesEnd::None ? endError.load() : error;
        std::fprintf(stderr, "ks-capture: cannot write %s: %s; what the disk took is in the file\n", options.output.c_str(),
                     std::strerror(cause));
        return kFailed;
    }
    if (lost) {
        std::fprintf(stderr, "ks-capture: the probe was lost during the capture; what arrived is saved\n");
        return kProbeLost;
    }
    return kSaved;
}
