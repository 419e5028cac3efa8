#pragma once
// The link to the probe: binds the transport library by name from the program
// directory, opens the device and its input pipe, and runs two threads. The
// reader keeps one 2048-byte read outstanding and queues each block; the
// dispatch thread hands the blocks, oldest first, to the data callback and
// calls it once with (nullptr, 0) whenever the queue has run dry. Vendor
// requests (start, stop, set parameters, firmware version) go through here.
#include <cstdint>
#include <string>

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

    // The transport library's file name, looked up in the program directory.
    static constexpr const char* kLibraryName = "libCorvane.so";
};
