#pragma once
// The tap as the program sees a probe: two serial ports opened receive-only,
// one reader thread that takes what both have received, stamps it with its
// arrival time and merges the two directions and the control lines into the
// probe's record stream, written into the pipe the program reads.
#include "ArrivalClock.h"
#include "LineFormat.h"
#include "MarkedByteParser.h"
#include "ModemWatcher.h"
#include "RecordMerger.h"
#include "TapConfig.h"
#include "TapModemSeam.h"
#include "WakeSignal.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tap {

class TapDevice {
public:
    ~TapDevice();

    int Open(int vendor, int product);
    int Close(int device);
    int OpenPipe(int device);
    int Request(int device, int directionIn, int request, int value, int length, void* buffer);

    // While a port keeps delivering, the reader takes its characters at
    // most this often (a few at a time instead of waking for each); a port
    // that was quiet wakes it at once.
    static constexpr int64_t kGatherNs = 3000000;
    // ... and while both ports stream without a pause, this often.
    static constexpr int64_t kGatherBusyNs = 4000000;

private:
    struct PortState {
        int fd = -1;
        std::string path;
        MarkedByteParser parser;
        ArrivalClock clock;
        int pendingFrame = 0;     // error counts not yet matched with a character
        int pendingParity = 0;
        KsTapCounts counts{};
        bool countsOk = false;
    };

    void CloseAll(std::unique_lock<std::mutex>& lock);
    void StopThreads(std::unique_lock<std::mutex>& lock);
    bool OpenPort(int port, std::string& error);
    void Run();
    void ReadPort(int port, int64_t polledAt);
    void Received(int port, const uint8_t* bytes, std::size_t count, int64_t readAt);
    bool ErrorIsFraming(PortState& p, uint8_t value);
    void OnLines(int port, const ModemWatcher::Change& change);
    int64_t Watermark() const;
    void StartStreaming();
    void StopStreaming();
    void EmitDue(int64_t watermark);
    void Flush();
    void Lost(const std::string& why);
    void Wake();
    std::string Firmware() const;
    // Only the TXD port is named: a shared bus heard by one adapter.
    bool OnePort() const { return ports[kRxdPort].fd < 0; }

    std::mutex mutex;
    int handle = 0;
    int nextHandle = 0x7100;
    bool alive = false;     // open and both ports working
    bool streaming = false;
    bool quit = false;
    TapConfig config;
    sim::LineFormat format;
    PortState ports[kPortCount];
    KsTapModemIo io{};
    uint8_t lineBits = 0x1F; // the five lines, a set bit inactive
    RecordMerger merger;
    std::vector<uint8_t> out; // records not yet in the pipe
    std::size_t outPos = 0;
    bool overflowSaid = false;
    int writeFd = -1;
    int wakeFd = -1;
    std::string goneReason;
    std::thread reader;
    std::unique_ptr<ModemWatcher> watchers[kPortCount];
    WakeSignal wakeSignal;
};

} // namespace tap
