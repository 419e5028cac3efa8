#pragma once
// Pseudo-terminals standing in for the tap's two adapters, the tap library
// copied into a program directory of its own (so that no ks-tap.conf of the
// build or of the user is read), and a simulated modem behind the tap's
// modem-status seam.
#include "TapModemSeam.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// One pseudo-terminal: the test writes into the master what the adapter
// would have received from the line; the tap opens the slave by its name.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    const std::string& Name() const { return name; }
    bool Write(const std::vector<uint8_t>& bytes);
    bool Write(const std::string& text) { return Write(std::vector<uint8_t>(text.begin(), text.end())); }
    // The adapter is pulled out: the slave side reads end of file / EIO.
    void Hangup();
    // Clears PARMRK on the slave, so that bytes written afterwards reach the
    // tap as they are: the test then writes the markers a driver would make.
    void PassMarkersThrough();
    // Reads the slave's rate and frame as the tap set them.
    bool LineFormat(uint32_t& baud, int& dataBits, int& parity, int& stopBits) const;

private:
    int master = -1;
    std::string name;
};

// A simulated modem behind the seam: input levels and interrupt counters per
// pseudo-terminal, changed by the test; the tap's waits wake on a change.
class FakeModem {
public:
    static FakeModem& Instance();
    KsTapModemIo Seam();
    void Reset();
    void SetLines(const Pty& pty, int tiocm); // changes levels, counting edges
    void Pulse(const Pty& pty, int tiocm);    // toggles and back: counters only
    void AddErrorCounts(const Pty& pty, int frame, int parity); // what the driver counted
    void FailWaitWith(int err);               // the next waits fail (EINVAL: no support)
    void FailLinesWith(int err);              // TIOCMGET fails from now on
    void SetCountsSupported(bool supported);
    int Waits();                              // how often the tap waited

private:
    struct Port {
        int tiocm = 0;
        KsTapCounts counts{};
        uint64_t generation = 0;
    };
    static int Wait(void* context, int fd, int mask);
    static int Lines(void* context, int fd, int* tiocm);
    static int Counts(void* context, int fd, KsTapCounts* counts);
    Port& PortOf(int fd);
    Port& PortOf(const Pty& pty);

    std::mutex mutex;
    std::map<uint64_t, Port> ports; // by device number
    int waitError = 0;
    int linesError = 0;
    bool countsSupported = true;
    int waits = 0;
};

// The tap library in a temporary program directory, loaded once by the test
// so that the link's later load shares its instance (and its seam).
class TapLibrary {
public:
    TapLibrary();
    ~TapLibrary();
    TapLibrary(const TapLibrary&) = delete;
    TapLibrary& operator=(const TapLibrary&) = delete;
    const std::string& Path() const { return path; }
    std::string Directory() const { return dir.Root(); }
    void WriteConfig(const std::string& text) { WriteFileText(dir.Path("ks-tap.conf"), text); }
    void UseFakeModem();
    void* Handle() const { return handle; }

private:
    TempDir dir;
    TempDir userConfig;
    std::string path;
    void* handle = nullptr;
};

// The tap's configuration for two pseudo-terminals, in the environment.
struct TapPorts {
    Pty txd, rxd;
    ScopedEnv txdEnv{"KS_TAP_TXD", txd.Name()};
    ScopedEnv rxdEnv{"KS_TAP_RXD", rxd.Name()};
};
