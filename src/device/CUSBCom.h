#pragma once
// The link to the probe: binds the transport library by name from the program
// directory, opens the device and its input pipe, and runs two threads. The
// reader keeps one 2048-byte read outstanding and queues each block; the
// dispatch thread hands the blocks, oldest first, to the data callback and
// calls it once with (nullptr, 0) whenever the queue has run dry. Vendor
// requests (start, stop, set parameters, firmware version) go through here.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct pollfd;

// Both callbacks take (data, count, userData). The data callback runs on the
// dispatch thread and receives at most 2048 bytes, valid only during the call;
// the lost callback is called once, (nullptr, 1, userData), on the reader
// thread when the probe is gone.
using LinkCallback = void (*)(const uint8_t* data, uint32_t count, void* userData);

class CUSBCom {
public:
    CUSBCom();
    CUSBCom(const CUSBCom&) = delete;
    CUSBCom& operator=(const CUSBCom&) = delete;
    virtual ~CUSBCom(); // runs Close

    void SetCallbacks(LinkCallback dataCallback, LinkCallback lostCallback, void* userData);
    bool Open();
    bool Close();
    bool IsOpened() const;

    int RequestStart();
    int RequestStop();
    int SetParameters(const uint8_t* block, int length);
    int ReadFirmwareVersion(int value, char* buffer, int length);

    // The device nodes the transport says it is made of (its optional
    // Transport_DeviceNodes export), asked when Open loaded it; empty for a
    // transport without them or one that could not be loaded.
    const std::vector<std::string>& DeviceNodes() const { return deviceNodes; }

    // The transport library's file name, looked up in the program directory.
    static constexpr const char* kLibraryName = "libCorvane.so";

    // Loads the transport from this full path instead of the program
    // directory's libCorvane.so (tests and benchmarks keep their transports
    // elsewhere). Empty restores the program's lookup. Call before Open.
    void SetLibraryPath(std::string path);

    // Bytes asked for by every read, and the size of a receive buffer.
    static constexpr std::size_t kReadSize = 2048;
    static constexpr std::size_t kBufferSize = 2049;
    // Longest single wait of the reader, and how long Close waits for the
    // threads before it says so.
    static constexpr int kReaderWaitMs = 500;
    static constexpr int kCloseWaitMs = 2000;

protected:
    // Operating-system seams. The program always uses the defaults; tests
    // override them to provoke failures a healthy machine never shows (a
    // thread that cannot be created, an event that cannot be made, a wait
    // that fails). A subclass that overrides them must Close() in its own
    // destructor, because the threads call PollPipe.
    enum class ThreadRole { Reader, Dispatch };
    virtual int CreateExitEvent();
    virtual bool StartThread(ThreadRole role, std::thread& thread, void (*entry)(CUSBCom*));
    virtual int PollPipe(pollfd* fds, unsigned count, int timeoutMs);

private:
    struct READ_STRUCT {
        uint8_t* pBuf;          // a pool buffer
        uint32_t length;        // bytes read, at least 1
        std::size_t poolIndex;  // where pBuf sits in bufferPool
    };
    struct BUF_STRUCT {
        std::unique_ptr<uint8_t[]> pBuf; // kBufferSize bytes
        int inUse;                       // being read into, queued or dispatched
    };

    static void ReaderMain(CUSBCom* link);
    static void DispatchMain(CUSBCom* link);
    void ReaderLoop();
    void DispatchLoop();
    void DeliverQueued();
    std::size_t TakeBuffer();
    void ReturnBuffer(std::size_t index);
    void SignalExit();
    void ClearExit();
    void WaitForThreads();
    void ThreadEnded();
    void WaitForNextPass();
    bool OnLinkThread() const;
    std::string LibraryPath() const;

    void* userData = nullptr;
    std::thread m_hReader;
    std::thread m_hDraw;
    std::atomic<bool> threadsRun{false};
    std::deque<READ_STRUCT> readQueue;     // guarded by linkLock
    std::vector<BUF_STRUCT> bufferPool;    // guarded by linkLock
    int device = 0;                        // -1: no device, 0: none yet
    int pipe = -1;
    void* library = nullptr;
    int exitEvent = -1;                    // eventfd, polled with the pipe
    int queuedEvent = -1;                  // eventfd: the reader queued into an empty queue
    std::atomic<bool> exitRequested{false};
    int (*fnOpenMask)(int, int, int, int, int, int) = nullptr;
    int (*fnClose)(int) = nullptr;
    int (*fnOpenPipe)(int, int, int) = nullptr;
    int (*fnVendorRequest)(int, int, int, int, int, int, int, void*) = nullptr;
    int (*fnOpen)() = nullptr;             // looked up, never called
    std::vector<std::string> deviceNodes;
    LinkCallback dataCallback = nullptr;
    LinkCallback lostCallback = nullptr;
    std::atomic<bool> opened{false};

    std::mutex linkLock;                   // readQueue, bufferPool, in-use flags
    std::atomic<int> threadsAlive{0};      // link threads started and not yet ended
    std::string libraryPath;
};
