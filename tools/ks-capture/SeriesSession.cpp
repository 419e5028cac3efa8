#include "SeriesSession.h"

#include "ProbeSetup.h"
#include "SessionWaits.h"
#include "SeriesNames.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

namespace {

const char* EndText(SeriesEnd why)
{
    switch (why) {
    case SeriesEnd::Full: return "the series is full";
    case SeriesEnd::DiskFull: return "the disk is full (200 MiB or less left)";
    case SeriesEnd::WriteFailed: return "Write file failed!";
    case SeriesEnd::OpenFailed: return "Write file failed! (the next file could not be created)";
    case SeriesEnd::Overrun: return "the disk did not keep up with the probe";
    case SeriesEnd::None: break;
    }
    return "";
}

} // namespace

SeriesSession::SeriesSession(const CaptureOptions& o) : options(o)
{
    mode.Data = o.data ? 1 : 0;
    mode.Status = o.status ? 1 : 0;
    mode.Stamp = o.stamp ? 1 : 0;
}

SeriesSession::~SeriesSession() { link.Close(); }

void SeriesSession::OnData(const uint8_t* data, uint32_t count, void* user)
{
    auto* self = static_cast<SeriesSession*>(user);
    if (count == 0) {
        self->activity.Empty();
        return;
    }
    self->activity.Data();
    self->writer.AddBlock(data, count, Now32());
}

void SeriesSession::OnLost(const uint8_t*, uint32_t, void* user) { static_cast<SeriesSession*>(user)->lost = true; }

int SeriesSession::Run(const sigset_t& stopSignals)
{
    SeriesConfig config;
    config.baseName = options.series;
    config.buffersPerFile = options.fileSize;
    config.maxFileNumber = static_cast<uint32_t>(options.files);
    config.overwrite = options.overwrite;
    config.data = mode.Data != 0;
    config.status = mode.Status != 0;
    config.stamp = mode.Stamp != 0;
    config.dateTime = mode.DateTime != 0;
    mode.BuildHeader(config.header);
    writer.onEnd = [this](SeriesEnd why, int error) {
        int none = 0;
        if (ended.compare_exchange_strong(none, static_cast<int>(why))) endError = error;
    };

    link.SetCallbacks(&SeriesSession::OnData, &SeriesSession::OnLost, this);
    if (!OpenProbe(link, options, mode)) return kFailed;

    // The first file before the probe starts: a name that cannot be written
    // is found at once.
    const std::string first = series::FileName(config.baseName, 0, config.maxFileNumber);
    int error = 0;
    if (!writer.Start(config, error)) {
        std::fprintf(stderr, "ks-capture: cannot write %s: %s\n", first.c_str(), std::strerror(error));
        return kFailed;
    }
    if (!link.RequestStart()) {
        std::fprintf(stderr, "ks-capture: the probe did not start\n");
        link.Close();
        writer.Stop(error);
        return kFailed;
    }
    if (options.seconds > 0) std::fprintf(stderr, "Capturing for %d s into the series %s\n", options.seconds, first.c_str());
    else std::fprintf(stderr, "Capturing into the series %s; Ctrl+C stops\n", first.c_str());

    WaitForStop(stopSignals, options.seconds, [this] { return lost || ended != 0; });
    if (!lost) {
        link.RequestStop();
        activity.WaitUntilQuiet(lost);
    }
    // Close ends both threads; the dispatch thread hands over every block the
    // reader had queued before it returns. Then the stop mark and the flush.
    link.Close();
    const bool flushed = StopWriter(writer, stopSignals, error);
    Summary();

    // A failure of the last writes is reported as the writer's end, once.
    const auto why = static_cast<SeriesEnd>(ended.load());
    if (!flushed && why == SeriesEnd::None) std::fprintf(stderr, "ks-capture: Write file failed! %s\n", std::strerror(error));
    if (why != SeriesEnd::None) {
        std::fprintf(stderr, "ks-capture: %s", EndText(why));
        if (endError != 0) std::fprintf(stderr, ": %s", std::strerror(endError));
        std::fprintf(stderr, "\n");
    }
    if (!flushed) return kFailed;
    switch (why) {
    case SeriesEnd::Full: return kSeriesFull;
    case SeriesEnd::DiskFull: return kDiskFull;
    case SeriesEnd::WriteFailed:
    case SeriesEnd::OpenFailed:
    case SeriesEnd::Overrun: return kFailed;
    case SeriesEnd::None: break;
    }
    if (lost) {
        std::fprintf(stderr, "ks-capture: the probe was lost during the capture; what arrived is saved\n");
        return kProbeLost;
    }
    return kSaved;
}

void SeriesSession::Summary() const
{
    const CSeriesWriter::Stats s = writer.GetStats();
    const uint32_t files = static_cast<uint32_t>(options.files);
    // The records the files hold, as the disk took them (a write cut short
    // by a full disk counts with what it placed).
    std::fprintf(stderr, "Series %s: %u file%s written, %s to %s, %llu records in the files\n", options.series.c_str(), s.filesCreated,
                 s.filesCreated == 1 ? "" : "s", series::FileName(options.series, 0, files).c_str(),
                 series::FileName(options.series, s.highestFileNumber, files).c_str(),
                 static_cast<unsigned long long>(s.recordBytes / 2));
}
