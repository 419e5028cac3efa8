// The serial tap through the real library and the real link, with
// pseudo-terminals for the two adapters and a simulated modem behind the
// modem-status seam: the data path, the line parameters, marked errors,
// ordering across the ports, control lines, ticks and a lost adapter.
#include "LinkTestSupport.h"
#include "TapTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>

namespace {

struct Record {
    uint8_t b0, b1;
    bool operator==(const Record& o) const { return b0 == o.b0 && b1 == o.b1; }
};

std::vector<uint8_t> Block(int baud, int sevenBits, int twoStops, int parity, int options)
{
    return {static_cast<uint8_t>(baud), static_cast<uint8_t>(sevenBits), static_cast<uint8_t>(twoStops),
            static_cast<uint8_t>(parity), static_cast<uint8_t>(options), 0, 0, 0};
}

// A link on the tap over two fresh pseudo-terminals.
class TapLink {
public:
    explicit TapLink(bool fakeModem = true, const std::string& config = {})
    {
        if (fakeModem) library.UseFakeModem();
        if (!config.empty()) library.WriteConfig(config);
        recorder.Attach(link);
        link.SetLibraryPath(library.Path());
    }
    ~TapLink() { link.Close(); }

    bool Open(int options = 7, int baud = 18, int parity = 0)
    {
        return link.Open() && link.SetParameters(Block(baud, 0, 0, parity, options).data(), 8) == 1;
    }
    std::vector<Record> Records()
    {
        std::vector<Record> all;
        for (const auto& b : recorder.Blocks())
            for (std::size_t i = 0; i + 1 < b.size(); i += 2) all.push_back(Record{b[i], b[i + 1]});
        return all;
    }
    std::vector<Record> Without(int type)
    {
        std::vector<Record> out;
        for (const Record& r : Records())
            if ((r.b0 >> 5) != type) out.push_back(r);
        return out;
    }
    std::vector<Record> OfType(int type)
    {
        std::vector<Record> out;
        for (const Record& r : Records())
            if ((r.b0 >> 5) == type) out.push_back(r);
        return out;
    }
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    bool WaitForData(std::size_t n)
    {
        return WaitFor([&] { return OfType(1).size() >= n; });
    }

    TapLibrary library;
    TapPorts ports;
    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
};

constexpr uint8_t kTxd = 0x20, kRxd = 0x28;

TEST(TapTransport, EveryByteOfBothDirectionsArrivesInOrder)
{
    TapLink tap;
    ASSERT_TRUE(tap.Open(3));
    ASSERT_EQ(tap.link.RequestStart(), 1);
    // Numbered traffic, every byte value in both directions, including the
    // 0xFF that the driver doubles, written in bursts of uneven sizes.
    std::vector<uint8_t> tx, rx;
    for (int k = 0; k < 6000; ++k) {
        tx.push_back(static_cast<uint8_t>(k));
        rx.push_back(static_cast<uint8_t>(k * 7 + 3));
    }
    for (std::size_t at = 0; at < tx.size();) {
        const std::size_t n = std::min<std::size_t>(1 + at % 97, tx.size() - at);
        ASSERT_TRUE(tap.ports.txd.Write(std::vector<uint8_t>(tx.begin() + at, tx.begin() + at + n)));
        ASSERT_TRUE(tap.ports.rxd.Write(std::vector<uint8_t>(rx.begin() + at, rx.begin() + at + n)));
        at += n;
        if (at % 5 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(tap.WaitForData(12000));
    std::vector<uint8_t> gotTx, gotRx;
    for (const Record& r : tap.OfType(1)) {
        ASSERT_TRUE(r.b0 == kTxd || r.b0 == kRxd) << "no errors on a clean line";
        (r.b0 == kTxd ? gotTx : gotRx).push_back(r.b1);
    }
    EXPECT_EQ(gotTx, tx);
    EXPECT_EQ(gotRx, rx);
    EXPECT_EQ(tap.link.RequestStop(), 1);
}

TEST(TapTransport, AnExchangeKeepsItsOrderAcrossThePorts)
{
    TapLink tap;
    ASSERT_TRUE(tap.Open(3));
    ASSERT_EQ(tap.link.RequestStart(), 1);
    // Question and answer, as a master and a slave take turns. (How close
    // turns may come is the benchmark's business; here the pauses are long
    // enough for a busy test machine.)
    std::vector<Record> expected;
    for (int turn = 0; turn < 10; ++turn) {
        const bool rxd = turn % 2 == 1;
        const std::string text = (rxd ? "ok" : "q") + std::to_string(turn);
        ASSERT_TRUE((rxd ? tap.ports.rxd : tap.ports.txd).Write(text));
        for (const char c : text) expected.push_back(Record{rxd ? kRxd : kTxd, static_cast<uint8_t>(c)});
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    ASSERT_TRUE(tap.WaitForData(expected.size()));
    EXPECT_EQ(tap.OfType(1), expected);
}

TEST(TapTransport, LineParametersReachBothPortsAndABadBlockChangesNothing)
{
    TapLink tap;
    ASSERT_TRUE(tap.link.Open());
    // A pseudo-terminal keeps the rate and the stop bits it is given, but
    // always reads eight bits without parity; those two are seen in the data
    // below instead.
    struct Case {
        int index, twoStops;
        uint32_t baud;
        int stopBits;
    };
    for (const Case& c : {Case{18, 0, 230400, 1}, Case{11, 1, 14400, 2}, Case{0, 0, 50, 1}, Case{16, 1, 76800, 2}}) {
        ASSERT_EQ(tap.link.SetParameters(Block(c.index, 0, c.twoStops, 0, 7).data(), 8), 1);
        for (const Pty* pty : {&tap.ports.txd, &tap.ports.rxd}) {
            uint32_t baud = 0;
            int bits = 0, parity = -1, stops = 0;
            ASSERT_TRUE(pty->LineFormat(baud, bits, parity, stops)) << "raw, receive-only, errors marked";
            EXPECT_EQ(baud, c.baud);
            EXPECT_EQ(stops, c.stopBits);
        }
    }
    EXPECT_EQ(tap.link.SetParameters(Block(19, 0, 0, 0, 7).data(), 8), 0);
    uint32_t baud = 0;
    int bits = 0, parity = 0, stops = 0;
    ASSERT_TRUE(tap.ports.rxd.LineFormat(baud, bits, parity, stops));
    EXPECT_EQ(baud, 76800u);

    // Seven data bits: the eighth bit a port may deliver is not data.
    ASSERT_EQ(tap.link.SetParameters(Block(10, 1, 0, 2, 3).data(), 8), 1);
    ASSERT_EQ(tap.link.RequestStart(), 1);
    tap.ports.rxd.Write(std::vector<uint8_t>{0xC1, 0x42});
    ASSERT_TRUE(tap.WaitForData(2));
    const std::vector<Record> expected = {{kRxd, 0x41}, {kRxd, 0x42}};
    EXPECT_EQ(tap.OfType(1), expected);
}

TEST(TapTransport, MarkedErrorsAndBreaksBecomeErrorRecordsAcrossReads)
{
    TapLink tap;
    ASSERT_TRUE(tap.Open(3));
    tap.ports.txd.PassMarkersThrough();
    ASSERT_EQ(tap.link.RequestStart(), 1);
    // Each marker cut between writes, so that the tap reads it in pieces.
    const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(15)); };
    tap.ports.txd.Write("A\xff");
    pause();
    tap.ports.txd.Write(std::vector<uint8_t>{0x00});
    pause();
    tap.ports.txd.Write("B\xff");
    pause();
    tap.ports.txd.Write(std::vector<uint8_t>{0xFF, 0xFF, 0x00, 0x00, 'C'});
    ASSERT_TRUE(tap.WaitForData(5));
    const std::vector<Record> expected = {
        {kTxd, 'A'}, {0x32, 'B'}, {kTxd, 0xFF}, {0x32, 0x00}, {kTxd, 'C'}};
    EXPECT_EQ(tap.OfType(1), expected) << "without parity every error is a framing error; a break is a framing "
                                          "error on a NUL";
}

TEST(TapTransport, TheDriversCountersTellParityFromFramingErrors)
{
    TapLink tap;
    ASSERT_TRUE(tap.Open(3, 18, 2)); // even parity
    tap.ports.rxd.PassMarkersThrough();
    ASSERT_EQ(tap.link.RequestStart(), 1);
    FakeModem::Instance().AddErrorCounts(tap.ports.rxd, 0, 1);
    tap.ports.rxd.Write(std::vector<uint8_t>{0xFF, 0x00, 'P'});
    ASSERT_TRUE(tap.WaitForData(1));
    FakeModem::Instance().AddErrorCounts(tap.ports.rxd, 1, 0);
    tap.ports.rxd.Write(std::vector<uint8_t>{0xFF, 0x00, 'F'});
    ASSERT_TRUE(tap.WaitForData(2));
    ASSERT_TRUE(tap.link.RequestStop());
    // With error reports switched off the same marker is a plain character.
    ASSERT_EQ(tap.link.SetParameters(Block(18, 0, 0, 2, 2).data(), 8), 1);
    tap.ports.rxd.PassMarkersThrough(); // the new parameters marked them again
    ASSERT_EQ(tap.link.RequestStart(), 1);
    tap.ports.rxd.Write(std::vector<uint8_t>{0xFF, 0x00, 'Q'});
    ASSERT_TRUE(tap.WaitForData(3));
    const std::vector<Record> expected = {{0x38, 'P'}, {0x3A, 'F'}, {kRxd, 'Q'}};
    EXPECT_EQ(tap.OfType(1), expected);
}

TEST(TapTransport, ControlLinesFollowTheWiringWithShortPulsesKept)
{
    TapLink tap;
    FakeModem& modem = FakeModem::Instance();
    // The common cable: the TXD port's CTS and DSR hear RTS and DTR, the RXD
    // port's CTS, DSR and DCD hear CTS, DSR and CD. RTS and CD up at first.
    modem.SetLines(tap.ports.txd, TIOCM_CTS);
    modem.SetLines(tap.ports.rxd, TIOCM_CD);
    ASSERT_TRUE(tap.Open(2));
    ASSERT_EQ(tap.link.RequestStart(), 1);
    ASSERT_TRUE(tap.WaitFor([&] { return tap.OfType(2).size() >= 1; }));
    modem.SetLines(tap.ports.rxd, TIOCM_CD | TIOCM_CTS | TIOCM_DSR); // CTS and DSR come up
    ASSERT_TRUE(tap.WaitFor([&] { return tap.OfType(2).size() >= 2; }));
    modem.SetLines(tap.ports.txd, TIOCM_CTS | TIOCM_DSR); // DTR comes up
    ASSERT_TRUE(tap.WaitFor([&] { return tap.OfType(2).size() >= 3; }));
    modem.Pulse(tap.ports.rxd, TIOCM_CD); // CD drops and returns between two looks
    ASSERT_TRUE(tap.WaitFor([&] { return tap.OfType(2).size() >= 5; }));

    const std::vector<Record> expected = {
        {0x40 | 0x10 | 0x04 | 0x02, 0}, // only RTS and CD active
        {0x40 | 0x02, 0},               // CTS, DSR up
        {0x40, 0},                      // DTR up: all five active
        {0x40 | 0x01, 0},               // the pulse: CD inactive ...
        {0x40, 0},                      // ... and back
    };
    EXPECT_EQ(tap.OfType(2), expected);
}

TEST(TapTransport, AnotherWiringRingsAndPollingWhenTheDriverCannotWait)
{
    TapLink tap(true, "# a cable of our own\nKS_TAP_LINES = RTS=rxd.ri, CD=txd.dcd\n");
    FakeModem& modem = FakeModem::Instance();
    modem.FailWaitWith(EINVAL); // as some USB drivers answer TIOCMIWAIT
    ASSERT_TRUE(tap.Open(2));
    ASSERT_EQ(tap.link.RequestStart(), 1);
    ASSERT_TRUE(tap.WaitFor([&] { return tap.OfType(2).size() >= 1; }));
    modem.SetLines(tap.ports.txd, TIOCM_CD | TIOCM_CTS); // CTS of the TXD port is not wired now
    ASSERT_TRUE(tap.WaitFor([&] { return tap.OfType(2).size() >= 2; }));
    modem.Pulse(tap.ports.rxd, TIOCM_RI); // one ring, over before it was seen
    ASSERT_TRUE(tap.WaitFor([&] { return tap.OfType(2).size() >= 4; }));
    const std::vector<Record> expected = {
        {0x5F, 0}, {0x5E, 0}, {0x56, 0}, {0x5E, 0},
    };
    EXPECT_EQ(tap.OfType(2), expected);
}

TEST(TapTransport, TicksTellTheMillisecondsBetweenCharacters)
{
    TapLink tap;
    ASSERT_TRUE(tap.Open(5)); // errors and ticks, no control lines
    ASSERT_EQ(tap.link.RequestStart(), 1);
    tap.ports.txd.Write("a");
    ASSERT_TRUE(tap.WaitForData(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    tap.ports.rxd.Write("b");
    ASSERT_TRUE(tap.WaitForData(2));
    uint32_t before = 0, between = 0;
    bool seenA = false;
    for (const Record& r : tap.Records()) {
        ASSERT_NE(r.b0 >> 5, 2) << "control lines were not asked for";
        if ((r.b0 >> 5) == 4) {
            const uint32_t ms = ((r.b0 & 0x1Fu) << 8) | r.b1;
            (seenA ? between : before) += ms == 0 ? 8192 : ms;
        } else if (r.b1 == 'a') {
            seenA = true;
        }
    }
    EXPECT_LT(before, 100u);
    EXPECT_GE(between, 110u);
    EXPECT_LE(between, 400u);
}

TEST(TapTransport, AnAdapterPulledOutEndsTheCaptureAfterWhatItDelivered)
{
    TapLink tap;
    ASSERT_TRUE(tap.Open(3));
    ASSERT_EQ(tap.link.RequestStart(), 1);
    tap.ports.txd.Write("before");
    tap.ports.rxd.Write("too");
    ASSERT_TRUE(tap.WaitForData(9));
    tap.ports.txd.Hangup();
    ASSERT_TRUE(tap.recorder.WaitForLost());
    EXPECT_EQ(tap.OfType(1).size(), 9u);
    EXPECT_EQ(tap.recorder.LostCalls(), 1);
    EXPECT_TRUE(tap.messages.Texts().isEmpty()) << "a lost probe is the program's to report";
}

// RS-485 two-wire: one adapter hears master and slaves on one pair.
TEST(TapTransport, ASharedBusIsHeardOnItsOnePortAsTxd)
{
    TapLink tap;
    ScopedEnv busOnly("KS_TAP_RXD", "");
    ASSERT_TRUE(tap.Open(3));
    char firmware[64] = {};
    tap.link.ReadFirmwareVersion(3, firmware, sizeof firmware);
    EXPECT_EQ(std::string(firmware), "Tap bus " + tap.ports.txd.Name().substr(5));
    ASSERT_EQ(tap.link.RequestStart(), 1);
    const std::string exchange = "\x01\x03\x00\x00\x00\x02\xc4\x0b\x01\x03\x04\x00\x2a\x00\x07";
    ASSERT_TRUE(tap.ports.txd.Write(exchange));
    ASSERT_TRUE(tap.WaitForData(exchange.size()));
    std::string heard;
    for (const Record& r : tap.OfType(1)) {
        EXPECT_EQ(r.b0, kTxd);
        heard += static_cast<char>(r.b1);
    }
    EXPECT_EQ(heard, exchange);
    EXPECT_EQ(tap.link.RequestStop(), 1);
}

// The reader dates what it reads: on a loaded machine it must not wait
// behind ordinary threads for a core.
TEST(TapTransport, TheReaderRunsAboveOrdinaryThreads)
{
    TapLink tap;
    ASSERT_TRUE(tap.Open(3));
    pid_t reader = 0;
    ASSERT_TRUE(tap.WaitFor([&] {
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            std::ifstream comm(task.path() / "comm");
            std::string name;
            if (std::getline(comm, name) && name == "ks-tap-read") reader = std::stoi(task.path().filename().string());
        }
        return reader != 0;
    })) << "no reader thread";
    const bool realTime = ::sched_getscheduler(reader) == SCHED_FIFO;
    const bool nicer = ::getpriority(PRIO_PROCESS, static_cast<id_t>(reader)) < ::getpriority(PRIO_PROCESS, 0);
    EXPECT_TRUE(realTime || nicer);
}

} // namespace

TEST(TapTransport, TheLinkLearnsTheTapsPortsEvenWhenTheyAreAbsent)
{
    // The program watches these for plugging and pulling, so it must learn
    // them from a tap whose adapters are not there yet.
    TapLibrary library;
    ScopedEnv txd("KS_TAP_TXD", "/dev/serial/by-id/usb-line-txd");
    ScopedEnv rxd("KS_TAP_RXD", "/dev/ttyUSB9");
    CUSBCom link;
    link.SetLibraryPath(library.Path());
    link.SetCallbacks([](const uint8_t*, uint32_t, void*) {}, [](const uint8_t*, uint32_t, void*) {}, nullptr);
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.DeviceNodes(), (std::vector<std::string>{"/dev/serial/by-id/usb-line-txd", "/dev/ttyUSB9"}));

    CUSBCom simulated; // the simulated probe is no serial port
    simulated.SetCallbacks([](const uint8_t*, uint32_t, void*) {}, [](const uint8_t*, uint32_t, void*) {}, nullptr);
    simulated.Open();
    EXPECT_TRUE(simulated.DeviceNodes().empty());
}
