#pragma once
// Shared pieces of the device-link tests: the scripted transport's controls,
// a recorder for the link's callbacks, a message service that keeps what it
// is shown, and a link whose operating-system seams can be made to fail.
#include "CUSBCom.h"
#include "MessageService.h"
#include "ScriptedControl.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The directory the test binary, the transports and the tools are built into.
std::string BinDirectory();

// The scripted transport, loaded from the same file the link will load, so
// that both share one instance.
class ScriptedTransport {
public:
    // variant: "" for the full build, or the entry point left out.
    explicit ScriptedTransport(const std::string& variant = "");
    ~ScriptedTransport();
    ScriptedTransport(const ScriptedTransport&) = delete;
    ScriptedTransport& operator=(const ScriptedTransport&) = delete;

    const std::string& Path() const { return path; }
    bool Loaded() const { return handle != nullptr; }

    void Reset() { reset(); }
    void FailOpenMask(bool fail) { failOpenMask(fail ? 1 : 0); }
    void FailOpenPipe(bool fail) { failOpenPipe(fail ? 1 : 0); }
    void SetRequestResult(int request, int result) { setRequestResult(request, result); }
    void SetFirmware(const char* text) { setFirmware(text); }
    bool Send(const std::vector<uint8_t>& block) { return send(block.data(), static_cast<int>(block.size())) == 1; }
    bool WaitConsumed(int timeoutMs = 5000) { return waitConsumed(timeoutMs) == 1; }
    void Unplug() { unplug(); }
    bool FailRead() { return failRead() == 1; }
    std::vector<ScriptedVendorCall> VendorCalls();
    ScriptedCounts Counts();

private:
    template <typename T> T Find(const char* name);

    std::string path;
    void* handle = nullptr;
    Scripted_Reset_fn reset = nullptr;
    Scripted_FailOpenMask_fn failOpenMask = nullptr;
    Scripted_FailOpenPipe_fn failOpenPipe = nullptr;
    Scripted_SetRequestResult_fn setRequestResult = nullptr;
    Scripted_SetFirmware_fn setFirmware = nullptr;
    Scripted_Send_fn send = nullptr;
    Scripted_WaitConsumed_fn waitConsumed = nullptr;
    Scripted_Unplug_fn unplug = nullptr;
    Scripted_FailRead_fn failRead = nullptr;
    Scripted_VendorCalls_fn vendorCalls = nullptr;
    Scripted_GetCounts_fn getCounts = nullptr;
};

// Keeps every text reported through the message service while it lives.
class CapturedMessages final : public ks::MessageService {
public:
    CapturedMessages() { previous = ks::SetMessageService(this); }
    ~CapturedMessages() override { ks::SetMessageService(previous); }
    ks::MessageResult Show(const QString& text, ks::MessageButtons) override;
    QStringList Texts();
    // Waits until at least n texts have been shown.
    bool WaitFor(int n, int timeoutMs = 5000);

private:
    ks::MessageService* previous = nullptr;
    std::mutex mutex;
    QStringList texts;
};

// Everything the link hands to its callbacks, in order. Waits poll under the
// lock, bounded, so that a failing test never hangs.
class LinkRecorder {
public:
    struct Call {
        bool empty;                 // (nullptr, 0)
        std::vector<uint8_t> bytes; // a block's bytes, copied during the call
        const uint8_t* pointer;     // where the link kept the block
    };

    static void Data(const uint8_t* data, uint32_t count, void* user);
    static void Lost(const uint8_t* data, uint32_t count, void* user);
    void Attach(CUSBCom& link) { link.SetCallbacks(&Data, &Lost, this); }

    // While closed, the data callback waits at its first block until Open
    // (bounded by 10 s, so that a failing test cannot hang).
    void CloseGate();
    void OpenGate();
    // Runs for every block (on the dispatch thread), after it was recorded.
    void OnBlock(std::function<void(const uint8_t*, uint32_t)> hook) { blockHook = std::move(hook); }

    bool WaitForBlocks(std::size_t n, int timeoutMs = 5000);
    // Waits for an empty call that comes after the n-th block.
    bool WaitForEmptyAfterBlocks(std::size_t n, int timeoutMs = 5000);
    bool WaitForLost(int timeoutMs = 5000);
    bool WaitUntilBlocked(int timeoutMs = 5000);

    std::vector<Call> Calls();
    std::vector<std::vector<uint8_t>> Blocks();
    std::vector<const uint8_t*> Pointers();
    int LostCalls();
    bool LostArgumentsWere(const uint8_t* data, uint32_t count);
    std::thread::id LostThread();
    std::thread::id DataThread();

private:
    template <typename Pred> bool Wait(Pred pred, int timeoutMs);

    std::mutex mutex;
    std::vector<Call> calls;
    std::size_t blocks = 0;
    int lost = 0;
    const uint8_t* lostData = reinterpret_cast<const uint8_t*>(1);
    uint32_t lostCount = 0;
    std::thread::id lostThread;
    std::thread::id dataThread;
    bool gateClosed = false;
    bool blockedAtGate = false;
    std::function<void(const uint8_t*, uint32_t)> blockHook;
};

// A link whose seams can fail on demand.
class TestableLink : public CUSBCom {
public:
    ~TestableLink() override { Close(); }

    bool failExitEvent = false;
    bool failReaderStart = false;
    bool failDispatchStart = false;
    std::atomic<int> pollFailures{0};  // the next n waits fail with EINVAL
    std::atomic<bool> pollInvalid{false}; // the next wait reports POLLNVAL on the pipe

protected:
    int CreateExitEvent() override;
    bool StartThread(ThreadRole role, std::thread& thread, void (*entry)(CUSBCom*)) override;
    int PollPipe(pollfd* fds, unsigned count, int timeoutMs) override;
};

// Names of this process's threads (from /proc), to see that link threads end.
std::vector<std::string> ThreadNames();
int CountThreads(const std::string& name);
// Waits (bounded) until exactly n threads carry the name.
bool WaitForThreadCount(const std::string& name, int n, int timeoutMs = 3000);

// A block of n bytes whose contents tell it apart: byte i is (seed + i).
std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed);
