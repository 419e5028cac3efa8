// The simulated probe, loaded by the real link from a private copy of the
// program directory: its answers, its pacing, its scenarios and its plug.
#include "LinkTestSupport.h"
#include "ProbeTransport.h"
#include "support/RunInChild.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

// A program directory of its own, so that pulling this probe disturbs no
// other test running at the same time.
class SimProbeDir {
public:
    SimProbeDir()
    {
        std::filesystem::copy_file(BinDirectory() + "/libCorvane.so", Library());
    }
    std::string Library() const { return dir.Path("libCorvane.so"); }
    std::string Root() const { return dir.Root(); }
    void Configure(const std::string& text) { WriteFileText(dir.Path("ks-sim-probe.conf"), text); }
    void Pull() { WriteFileText(dir.Path("ks-sim-probe.unplugged"), ""); }
    void Plug() { std::filesystem::remove(dir.Path("ks-sim-probe.unplugged")); }

private:
    TempDir dir;
};

std::vector<uint8_t> Block(int baudIndex, bool sevenBits, bool twoStops, int parityCode, int options)
{
    return {static_cast<uint8_t>(baudIndex), static_cast<uint8_t>(sevenBits ? 1 : 0),
            static_cast<uint8_t>(twoStops ? 1 : 0), static_cast<uint8_t>(parityCode),
            static_cast<uint8_t>(options), 0, 0, 0};
}

std::vector<uint8_t> Joined(const std::vector<std::vector<uint8_t>>& blocks)
{
    std::vector<uint8_t> all;
    for (const auto& b : blocks) {
        EXPECT_EQ(b.size() % 2, 0u) << "the probe sends whole records";
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

uint32_t TickMs(uint8_t b0, uint8_t b1)
{
    const uint32_t ms = (static_cast<uint32_t>(b0 & 0x1F) << 8) | b1;
    return ms == 0 ? 8192 : ms;
}

// Opens a link on the probe in `dir`, sends the block, records `ms` of
// traffic and stops; returns the records received.
std::vector<uint8_t> Capture(SimProbeDir& dir, const std::vector<uint8_t>& block, std::size_t minBytes,
                             int timeoutMs = 10000)
{
    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(dir.Library());
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(link.SetParameters(block.data(), 8), 1);
    EXPECT_EQ(link.RequestStart(), 1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t have = 0;
    while (have < minBytes && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        have = 0;
        for (const auto& b : recorder.Blocks()) have += b.size();
    }
    EXPECT_EQ(link.RequestStop(), 1);
    link.Close();
    EXPECT_TRUE(messages.Texts().isEmpty());
    EXPECT_EQ(recorder.LostCalls(), 0);
    return Joined(recorder.Blocks());
}

struct Directions {
    std::string txd, rxd;
};

Directions Text(const std::vector<uint8_t>& records)
{
    Directions d;
    for (std::size_t i = 0; i + 1 < records.size(); i += 2) {
        if ((records[i] >> 5) != 1) continue;
        ((records[i] & 0x08) ? d.rxd : d.txd) += static_cast<char>(records[i + 1]);
    }
    return d;
}

TEST(SimProbe, AnswersOnlyItsVendorAndProductOnceAtATime)
{
    SimProbeDir dir;
    void* lib = ::dlopen(dir.Library().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr);
    auto open = reinterpret_cast<USB_Open_mask_fn>(::dlsym(lib, "USB_Open_mask"));
    auto close = reinterpret_cast<USB_Close_fn>(::dlsym(lib, "USB_Close"));
    auto request = reinterpret_cast<USB_VendorRequest_fn>(::dlsym(lib, "USB_VendorRequest"));
    EXPECT_EQ(open(12, 0, 0, 4373, 17, 0), -1);
    EXPECT_EQ(open(12, 0, 0, 4372, 16, 0), -1);
    const int device = open(12, 0, 0, 4373, 16, 0);
    EXPECT_NE(device, -1);
    EXPECT_NE(device, 0);
    EXPECT_EQ(open(12, 0, 0, 4373, 16, 0), -1) << "already open";
    EXPECT_EQ(request(device + 1, 1, 1, 1, 0, 0, 0, nullptr), 0) << "unknown handle";
    EXPECT_EQ(close(-1), 0);
    EXPECT_EQ(close(device), 1);
    EXPECT_EQ(request(device, 1, 1, 1, 0, 0, 0, nullptr), 0) << "closed";
    const int again = open(12, 0, 0, 4373, 16, 0);
    EXPECT_NE(again, -1);
    EXPECT_EQ(close(again), 1);
    ::dlclose(lib);
}

TEST(SimProbe, FirmwareTextAndParameterBlocks)
{
    SimProbeDir dir;
    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(dir.Library());
    ASSERT_TRUE(link.Open());

    char text[64];
    std::memset(text, 'x', sizeof text);
    const int n = link.ReadFirmwareVersion(3, text, 64);
    ASSERT_GT(n, 0);
    ASSERT_LE(n, 64);
    EXPECT_EQ(text[n - 1], '\0');
    EXPECT_LE(std::strlen(text), 33u) << "fits the status bar";
    EXPECT_EQ(std::string(text).rfind("Firmware Version: ", 0), 0u);
    // A short buffer gets a cut, still terminated text.
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(link.ReadFirmwareVersion(3, text, 9), 9);
    EXPECT_STREQ(text, "Firmware");
    EXPECT_EQ(link.ReadFirmwareVersion(2, text, 64), 0) << "only value 3 is known";

    EXPECT_EQ(link.SetParameters(Block(10, false, false, 0, 3).data(), 8), 1);
    EXPECT_EQ(link.SetParameters(Block(18, true, true, 3, 7).data(), 8), 1);
    EXPECT_EQ(link.SetParameters(Block(19, false, false, 0, 3).data(), 8), 0) << "no such baud rate";
    EXPECT_EQ(link.SetParameters(Block(10, false, false, 1, 3).data(), 8), 0) << "1 is no parity code";
    EXPECT_EQ(link.SetParameters(Block(10, false, false, 0, 3).data(), 3), 0) << "too short";
    EXPECT_EQ(link.SetParameters(nullptr, 8), 0);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

// Pair k of the full-rate scenario: TXD low byte, RXD next byte, both
// completing after k + 1 character times; ticks tell the elapsed
// milliseconds of the line, so their running sum follows the frame exactly.
void CheckNumberedStream(const std::vector<uint8_t>& records, uint32_t baud, int frameBits, uint8_t mask,
                         bool ticks, bool status)
{
    uint64_t k = 0;
    uint64_t tickSum = 0;
    std::size_t i = 0;
    int statusRecords = 0;
    for (; i + 1 < records.size(); i += 2) {
        const uint8_t b0 = records[i], b1 = records[i + 1];
        switch (b0 >> 5) {
        case 2: ++statusRecords; break;
        case 4:
            ASSERT_TRUE(ticks);
            tickSum += TickMs(b0, b1);
            break;
        case 1: {
            ASSERT_EQ(b0, 0x20) << "TXD of pair " << k;
            ASSERT_EQ(b1, (k & 0xFF) & mask) << "pair " << k;
            ASSERT_LT(i + 3, records.size());
            ASSERT_EQ(records[i + 2], 0x28) << "RXD of pair " << k;
            ASSERT_EQ(records[i + 3], ((k >> 8) & 0xFF) & mask) << "pair " << k;
            if (ticks) {
                ASSERT_EQ(tickSum, (k + 1) * frameBits * 1000 / baud) << "pair " << k;
            }
            i += 2;
            ++k;
            break;
        }
        default: FAIL() << "record type " << (b0 >> 5);
        }
    }
    EXPECT_GT(k, 100u);
    EXPECT_EQ(statusRecords > 0, status);
}


TEST(SimProbe, FullRateTrafficIsNumberedAndPacedByTheLineFormat)
{
    SimProbeDir dir;
    dir.Configure("scenario = full\n");
    {
        SCOPED_TRACE("230400 8N1, every option");
        const auto records = Capture(dir, Block(18, false, false, 0, 7), 40000);
        CheckNumberedStream(records, 230400, 10, 0xFF, true, true);
    }
    {
        SCOPED_TRACE("9600 7E2: eleven bits a character");
        const auto records = Capture(dir, Block(10, true, true, 2, 7), 1500);
        CheckNumberedStream(records, 9600, 11, 0x7F, true, true);
    }
    {
        SCOPED_TRACE("115200 8O1 without ticks and control lines");
        const auto records = Capture(dir, Block(17, false, false, 3, 1), 10000);
        CheckNumberedStream(records, 115200, 11, 0xFF, false, false);
    }
}

TEST(SimProbe, StreamsOnlyBetweenStartAndStopAndEachStartBeginsAfresh)
{
    SimProbeDir dir;
    dir.Configure("scenario = full\n");
    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(dir.Library());
    ASSERT_TRUE(link.Open());
    ASSERT_EQ(link.SetParameters(Block(18, false, false, 0, 3).data(), 8), 1);
    ASSERT_TRUE(recorder.WaitForEmptyAfterBlocks(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(recorder.Blocks().empty()) << "nothing before the start";

    for (int run = 0; run < 2; ++run) {
        const std::size_t before = recorder.Blocks().size();
        ASSERT_EQ(link.RequestStart(), 1);
        ASSERT_TRUE(recorder.WaitForBlocks(before + 5));
        ASSERT_EQ(link.RequestStop(), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto blocks = recorder.Blocks();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(recorder.Blocks().size(), blocks.size()) << "nothing after the stop";
        // Every run starts with the line state and then pair 0.
        EXPECT_EQ(blocks[before][0] >> 5, 2);
        const auto records = Joined({blocks.begin() + static_cast<std::ptrdiff_t>(before), blocks.end()});
        CheckNumberedStream(records, 230400, 10, 0xFF, false, true);
    }
    link.Close();
    EXPECT_EQ(recorder.LostCalls(), 0);
}

TEST(SimProbe, SameSeedSameTraffic)
{
    SimProbeDir dir;
    const auto block = Block(17, false, false, 2, 7);
    dir.Configure("scenario = random\nseed = 7\nrate = 100\n");
    const auto a = Capture(dir, block, 6000);
    const auto b = Capture(dir, block, 6000);
    dir.Configure("scenario = random\nseed = 8\nrate = 100\n");
    const auto c = Capture(dir, block, 6000);
    const std::size_t n = std::min({a.size(), b.size(), c.size()});
    ASSERT_GE(n, 6000u);
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), b.begin()));
    EXPECT_FALSE(std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), c.begin()));
}

TEST(SimProbe, ModemSessionDialsWithTheControlLinesUp)
{
    SimProbeDir dir;
    dir.Configure("scenario = modem\nrate = 1000\n"); // pauses ten times shorter
    std::vector<uint8_t> records;
    for (std::size_t want = 400; want < 20000; want *= 2) {
        records = Capture(dir, Block(17, false, false, 0, 3), want);
        if (Text(records).txd.find("ATDT") != std::string::npos) break;
    }
    const Directions d = Text(records);
    EXPECT_NE(d.txd.find("AT\r"), std::string::npos) << d.txd;
    EXPECT_NE(d.txd.find("ATDT"), std::string::npos) << d.txd;
    EXPECT_NE(d.rxd.find("\r\nOK\r\n"), std::string::npos) << d.rxd;
    // The first command only goes out with DTR, DSR, RTS and CTS active.
    uint8_t lines = 0x1F;
    for (std::size_t i = 0; i + 1 < records.size(); i += 2) {
        if ((records[i] >> 5) == 2) lines = records[i] & 0x1F;
        if ((records[i] >> 5) == 1) {
            EXPECT_EQ(lines & (0x02 | 0x04 | 0x08 | 0x10), 0) << "lines " << int(lines);
            break;
        }
    }
}

bool ModbusCrcOk(const uint8_t* frame, std::size_t size)
{
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i + 2 < size; ++i) {
        crc ^= frame[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return frame[size - 2] == (crc & 0xFF) && frame[size - 1] == (crc >> 8);
}

TEST(SimProbe, ModbusMasterSendsValidFramesWithRtsKeyed)
{
    SimProbeDir dir;
    dir.Configure("scenario = modbus\nrate = 400\n");
    const auto records = Capture(dir, Block(14, false, false, 0, 3), 600);
    const Directions d = Text(records);
    ASSERT_GE(d.txd.size(), 24u);
    // Every request the master sends is eight bytes long.
    for (std::size_t f = 0; f + 8 <= d.txd.size(); f += 8) {
        const auto* frame = reinterpret_cast<const uint8_t*>(d.txd.data() + f);
        EXPECT_TRUE(frame[0] == 1 || frame[0] == 2) << f;
        EXPECT_TRUE(frame[1] == 3 || frame[1] == 4 || frame[1] == 6) << f;
        EXPECT_TRUE(ModbusCrcOk(frame, 8)) << f;
    }
    EXPECT_FALSE(d.rxd.empty());
    uint8_t lines = 0x1F;
    for (std::size_t i = 0; i + 1 < records.size(); i += 2) {
        if ((records[i] >> 5) == 2) lines = records[i] & 0x1F;
        if (records[i] == 0x20 || records[i] == 0x30 || records[i] == 0x32) {
            EXPECT_EQ(lines & 0x08, 0) << "TXD with RTS off";
        }
    }
}

// Splits a direction's text into its CR LF terminated lines.
std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

TEST(SimProbe, NmeaAsciiAndSharedBusScenariosFrameTheirTraffic)
{
    {
        SimProbeDir dir;
        dir.Configure("scenario = nmea\nrate = 1000\nseed = 5\n");
        const Directions d = Text(Capture(dir, Block(14, false, false, 0, 3), 3000));
        EXPECT_TRUE(d.txd.empty()) << "the receiver only talks";
        int good = 0, bad = 0;
        for (const std::string& line : LinesOf(d.rxd)) {
            const std::size_t star = line.find('*');
            ASSERT_TRUE(line.size() > 4 && line[0] == '$' && star == line.size() - 3) << line;
            uint8_t sum = 0;
            for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<uint8_t>(line[i]);
            (std::stoi(line.substr(star + 1), nullptr, 16) == sum ? good : bad)++;
        }
        EXPECT_GT(good, 15);
        EXPECT_GT(bad, 0) << "some checksums are wrong on purpose";
    }
    {
        SimProbeDir dir;
        dir.Configure("scenario = modbus-ascii\nrate = 1000\nseed = 5\n");
        const Directions d = Text(Capture(dir, Block(14, false, false, 0, 3), 8000));
        int good = 0;
        for (const std::string* direction : {&d.txd, &d.rxd}) {
            for (const std::string& line : LinesOf(*direction)) {
                const std::size_t colon = line.find(':'); // noise may come before the frame
                ASSERT_NE(colon, std::string::npos) << line;
                const std::string hex = line.substr(colon + 1);
                ASSERT_EQ(hex.size() % 2, 0u) << line;
                uint8_t sum = 0;
                for (std::size_t i = 0; i < hex.size(); i += 2) sum = static_cast<uint8_t>(sum + std::stoi(hex.substr(i, 2), nullptr, 16));
                good += sum == 0;
            }
        }
        EXPECT_GT(good, 10) << "the LRC makes the bytes sum to zero";
    }
    {
        SimProbeDir dir;
        dir.Configure("scenario = modbus-bus\nrate = 1000\nseed = 5\n");
        const Directions d = Text(Capture(dir, Block(14, false, false, 0, 3), 4000));
        EXPECT_TRUE(d.rxd.empty()) << "one port hears the whole bus";
        EXPECT_GE(d.txd.size(), 1000u);
    }
}

TEST(SimProbe, ErrorsAreFlaggedOnlyWhenAskedAndParityErrorsOnlyWithParity)
{
    SimProbeDir dir;
    dir.Configure("scenario = random\nrate = 100\nseed = 3\n");
    const auto count = [](const std::vector<uint8_t>& r, uint8_t mask, uint8_t value) {
        int n = 0;
        for (std::size_t i = 0; i + 1 < r.size(); i += 2) n += ((r[i] >> 5) == 1 && (r[i] & mask) == value) ? 1 : 0;
        return n;
    };
    const auto even = Capture(dir, Block(17, false, false, 2, 7), 16000);
    EXPECT_GT(count(even, 0x12, 0x12), 0) << "framing errors";
    EXPECT_GT(count(even, 0x12, 0x10), 0) << "parity errors";
    const auto none = Capture(dir, Block(17, false, false, 0, 7), 16000);
    EXPECT_GT(count(none, 0x12, 0x12), 0);
    EXPECT_EQ(count(none, 0x12, 0x10), 0) << "no parity bit, no parity error";
    const auto quiet = Capture(dir, Block(17, false, false, 2, 6), 16000);
    EXPECT_EQ(count(quiet, 0x10, 0x10), 0) << "errors not asked for";
}

TEST(SimProbe, EnvironmentOverridesTheFile)
{
    SimProbeDir dir;
    dir.Configure("scenario = full\n");
    ::setenv("KS_SIM_SCENARIO", "modbus", 1);
    const auto records = Capture(dir, Block(14, false, false, 0, 3), 40);
    ::unsetenv("KS_SIM_SCENARIO");
    const Directions d = Text(records);
    ASSERT_FALSE(d.txd.empty());
    EXPECT_TRUE(d.txd[0] == 1 || d.txd[0] == 2) << "a Modbus slave address, not pair 0";
}

TEST(SimProbe, PulledDuringACaptureAndPluggedAgain)
{
    SimProbeDir dir;
    dir.Configure("scenario = full\n");
    const std::string probeTool = BinDirectory() + "/ks-probe";
    for (int cycle = 0; cycle < 6; ++cycle) {
        SCOPED_TRACE(cycle);
        CapturedMessages messages;
        LinkRecorder recorder;
        CUSBCom link;
        recorder.Attach(link);
        link.SetLibraryPath(dir.Library());
        ASSERT_TRUE(link.Open());
        ASSERT_EQ(link.SetParameters(Block(18, false, false, 0, 3).data(), 8), 1);
        ASSERT_EQ(link.RequestStart(), 1);
        ASSERT_TRUE(recorder.WaitForBlocks(3));
        // Half the cycles go through the command a user would type.
        if (cycle % 2) ASSERT_EQ(RunToEnd(probeTool, {"--dir", dir.Root(), "pull"}), 0);
        else dir.Pull();
        ASSERT_TRUE(recorder.WaitForLost());
        ASSERT_TRUE(recorder.WaitForEmptyAfterBlocks(recorder.Blocks().size()));
        // What arrived before the pull is a clean numbered stream.
        CheckNumberedStream(Joined(recorder.Blocks()), 230400, 10, 0xFF, false, true);
        EXPECT_EQ(link.RequestStart(), 0) << "the probe is gone";
        link.Close();
        EXPECT_EQ(recorder.LostCalls(), 1);

        CUSBCom second;
        second.SetCallbacks(&LinkRecorder::Data, &LinkRecorder::Lost, &recorder);
        second.SetLibraryPath(dir.Library());
        EXPECT_FALSE(second.Open()) << "pulled out";
        second.Close();
        if (cycle % 2) ASSERT_EQ(RunToEnd(probeTool, {"--dir", dir.Root(), "plug"}), 0);
        else dir.Plug();
        EXPECT_TRUE(messages.Texts().isEmpty());
    }
    LinkRecorder recorder; // outlives the link that calls it
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(dir.Library());
    EXPECT_TRUE(link.Open()) << "plugged in again";
}

// The per-user configuration folder, in a temporary folder of the test's own
// that a user without privileges can write into.
class UserFolder {
public:
    UserFolder() { MakeWritableForAll(root.Root()); }
    std::string Kestrane() const { return root.Path("Kestrane"); }
    std::string Marker() const { return root.Path("Kestrane/ks-sim-probe.unplugged"); }

private:
    TempDir root;
    ScopedEnv xdg{"XDG_CONFIG_HOME", root.Root()};
};

TEST(SimProbe, ThePerUserFileOverridesTheLibrarysKeyByKey)
{
    SimProbeDir dir;
    UserFolder user;
    std::filesystem::create_directories(user.Kestrane());
    const auto block = Block(17, false, false, 2, 7);
    // The scenario and rate come from beside the library, the seed from the
    // user's own file: the same traffic as the library's file saying all.
    dir.Configure("scenario = random\nseed = 8\nrate = 100\n");
    WriteFileText(user.Kestrane() + "/ks-sim-probe.conf", "seed = 7\n");
    const auto layered = Capture(dir, block, 6000);
    std::filesystem::remove(user.Kestrane() + "/ks-sim-probe.conf");
    dir.Configure("scenario = random\nseed = 7\nrate = 100\n");
    const auto whole = Capture(dir, block, 6000);
    const std::size_t n = std::min(layered.size(), whole.size());
    ASSERT_GE(n, 6000u);
    EXPECT_TRUE(std::equal(layered.begin(), layered.begin() + static_cast<std::ptrdiff_t>(n), whole.begin()));
}

TEST(SimProbe, AUserWhoCannotWriteBesideTheLibraryPullsItThroughTheirOwnFolder)
{
    // As installed: ks-probe beside the library in a folder that takes no
    // new file from the user.
    SimProbeDir dir;
    UserFolder user;
    dir.Configure("scenario = full\n");
    const std::string tool = dir.Root() + "ks-probe";
    std::filesystem::copy_file(BinDirectory() + "/ks-probe", tool);
    MakeReachable(dir.Root());
    ::chmod(dir.Root().c_str(), 0555);
    struct Writable {
        std::string path;
        ~Writable() { ::chmod(path.c_str(), 0755); }
    } restore{dir.Root()};
    auto probe = [&](const char* command) { return RunUnprivileged([&] { return RunToEnd(tool, {command}); }); };

    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(dir.Library());
    ASSERT_TRUE(link.Open());
    ASSERT_EQ(link.SetParameters(Block(18, false, false, 0, 3).data(), 8), 1);
    ASSERT_EQ(link.RequestStart(), 1);
    ASSERT_TRUE(recorder.WaitForBlocks(3));

    EXPECT_EQ(probe("pull"), 0);
    EXPECT_TRUE(std::filesystem::exists(user.Marker()));
    EXPECT_FALSE(std::filesystem::exists(dir.Root() + "ks-sim-probe.unplugged"));
    EXPECT_TRUE(recorder.WaitForLost()) << "the probe saw the pull in the user's folder";
    link.Close();
    {
        CUSBCom second;
        second.SetCallbacks(&LinkRecorder::Data, &LinkRecorder::Lost, &recorder);
        second.SetLibraryPath(dir.Library());
        EXPECT_FALSE(second.Open()) << "pulled out";
    }

    EXPECT_EQ(probe("plug"), 0);
    EXPECT_FALSE(std::filesystem::exists(user.Marker()));
    LinkRecorder again; // outlives the link that calls it
    CUSBCom third;
    again.Attach(third);
    third.SetLibraryPath(dir.Library());
    EXPECT_TRUE(third.Open()) << "plugged in again";
    EXPECT_TRUE(messages.Texts().isEmpty());
}

} // namespace
