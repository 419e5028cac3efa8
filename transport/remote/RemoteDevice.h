#pragma once
// A probe on another machine as the program sees a local one: at open, ssh
// runs `ks-capture --serve` there; the program's requests become request
// frames and wait (bounded) for their answers, and one reader thread takes
// the far side's frames and messages, writing the records into the pipe the
// program reads.
#include "RemoteConfig.h"
#include "RemoteFrames.h"
#include "SshProcess.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace remote {

class RemoteDevice {
public:
    ~RemoteDevice();

    int Open(int vendor, int product);
    int Close(int device);
    int OpenPipe(int device);
    int Request(int device, int directionIn, int request, int value, int length, void* buffer);

    // How long an open waits for the far side (ssh's own connect timeout
    // is 10 s), and a request for its answer.
    static constexpr int kOpenWaitMs = 20000;
    static constexpr int kAnswerWaitMs = 5000;
    // What is kept while the program does not read; beyond it records are
    // lost, and that is said.
    static constexpr std::size_t kBacklogLimit = 8u << 20;

private:
    enum class Phase { Idle, Opening, Open, Ended };

    void Run();
    void ReadErrors(bool all);
    void OnFrame(const Frame& frame);
    void Ended(const std::string& why);
    void Lost(const std::string& why);
    void Wake();
    void Say(const std::string& text) const;
    bool Ask(std::unique_lock<std::mutex>& lock, FrameType type, const std::string& payload, int waitMs,
             int32_t& result, std::string& data);
    // Ends the far side and ssh, the reader and every descriptor; the wait status of ssh.
    int Shutdown(std::unique_lock<std::mutex>& lock, int graceMs);

    std::mutex mutex;
    std::condition_variable answered;
    Phase phase = Phase::Idle;
    int handle = 0;
    int nextHandle = 0x5200;
    RemoteConfig config;
    SshProcess ssh;
    std::thread reader;
    bool quit = false;
    bool closing = false;
    int wakeFd = -1;
    FrameDecoder decoder;
    bool helloSeen = false;
    uint16_t farVersion = 0;
    bool haveAnswer = false;
    FrameType answerType = FrameType::Answer;
    int32_t answerResult = 0;
    std::string answerData;
    std::string endReason;        // why the far side ended, said once
    std::string errorText;        // ssh's and the far side's messages
    std::string errorLine;        // a message line not yet complete
    bool sayErrors = false;       // after the open: pass them on as they come
    std::vector<uint8_t> out;     // records not yet in the program's pipe
    std::size_t outPos = 0;
    bool overflowSaid = false;
    int writeFd = -1;
};

} // namespace remote
