#pragma once
// What `ks-capture --serve` sends: frames queued by the request loop and the
// link's dispatch thread, written to standard output by a thread of its own,
// so that a stalled network never holds up the link (and so the probe). The
// records wait up to kRecordLimit; beyond it they are dropped, and that is
// said once (as a notice frame that is never dropped).
#include "RemoteFrames.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ServeOutput {
public:
    explicit ServeOutput(int fd);
    ~ServeOutput(); // Finish(0)

    void Start();
    // Queues a frame of any kind but records; never dropped.
    void Send(remote::FrameType type, const std::string& text = {});
    void SendAnswer(remote::FrameType request, int32_t result, const std::string& data = {});
    void SendHello();
    // Queues records (a whole number of them); dropped beyond the limit.
    void AddRecords(const uint8_t* data, std::size_t size);
    // Records dropped so far.
    uint64_t Dropped() const;
    // Writes what is queued for at most `waitMs`, then ends the thread.
    void Finish(int waitMs);

    static constexpr std::size_t kRecordLimit = 8u << 20;
    // Records wait this long for more before they go out, so that the
    // network (and ssh and sshd on both ends) carries fewer, larger packets;
    // answers and notices go at once.
    static constexpr int kGatherMs = 12;
    static constexpr std::size_t kGatherBytes = 32768;

private:
    void Run();

    const int fd;
    mutable std::mutex mutex;
    std::condition_variable queued;
    std::vector<uint8_t> out;     // encoded frames
    std::size_t outPos = 0;
    uint64_t dropped = 0;
    bool droppedSaid = false;
    bool quit = false;
    bool broken = false;          // the desk is gone: nothing more can be written
    bool urgent = false;          // a frame that is not records waits
    std::chrono::steady_clock::time_point firstQueued; // of the records waiting
    std::thread writer;
};
