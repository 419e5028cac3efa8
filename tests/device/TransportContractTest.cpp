// What every transport library must do for the program, checked through the
// real library and the real link: one suite, run against each transport.
// A new transport adds a TransportUnderTest below and gets every check.
#include "LinkTestSupport.h"
#include "ProbeTransport.h"
#include "SshServer.h"
#include "TapTestSupport.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include <dlfcn.h>

namespace {

class TransportUnderTest {
public:
    virtual ~TransportUnderTest() = default;
    virtual std::string Library() = 0;
    // Makes the observed line carry traffic in both directions now.
    virtual void Traffic() = 0;
    // The device goes away (unplugged) while it is open.
    virtual void Pull() = 0;
    // Why it cannot run on this machine; empty when it can.
    virtual std::string Unavailable() { return {}; }
};

class SimUnderTest final : public TransportUnderTest {
public:
    SimUnderTest()
    {
        std::filesystem::copy_file(BinDirectory() + "/libCorvane.so", Library());
        WriteFileText(dir.Path("ks-sim-probe.conf"), "scenario = full\nrate = 10\n");
    }
    std::string Library() override { return dir.Path("libCorvane.so"); }
    void Traffic() override {} // it streams by itself once started
    void Pull() override { WriteFileText(dir.Path("ks-sim-probe.unplugged"), ""); }

private:
    TempDir dir;
};

class TapUnderTest final : public TransportUnderTest {
public:
    TapUnderTest() { library.UseFakeModem(); }
    std::string Library() override { return library.Path(); }
    void Traffic() override
    {
        ports.txd.Write("AT\r");
        ports.rxd.Write("OK\r\n");
    }
    void Pull() override { ports.rxd.Hangup(); }

private:
    TapLibrary library;
    TapPorts ports;
};

// A simulated probe on another machine: ssh to a server of the test's own,
// whose sessions run the build's ks-capture --serve.
class RemoteUnderTest final : public TransportUnderTest {
public:
    RemoteUnderTest()
    {
        if (!server.Unavailable().empty()) return;
        WriteFileText(server.FarConfigDirectory() + "/ks-sim-probe.conf", "scenario = full\nrate = 10\n");
        for (const auto& [key, value] : server.DeskEnvironment(""))
            env.push_back(std::make_unique<ScopedEnv>(key.c_str(), value));
    }
    std::string Library() override { return BinDirectory() + "/libCorvane-remote.so"; }
    void Traffic() override {}
    void Pull() override { WriteFileText(server.FarConfigDirectory() + "/ks-sim-probe.unplugged", ""); }
    std::string Unavailable() override { return server.Unavailable(); }

private:
    SshServer server;
    std::vector<std::unique_ptr<ScopedEnv>> env;
};

std::unique_ptr<TransportUnderTest> Make(const std::string& name)
{
    if (name == "sim") return std::make_unique<SimUnderTest>();
    if (name == "remote") return std::make_unique<RemoteUnderTest>();
    return std::make_unique<TapUnderTest>();
}

class TransportContract : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        transport = Make(GetParam());
        if (!transport->Unavailable().empty()) GTEST_SKIP() << transport->Unavailable();
    }
    std::unique_ptr<TransportUnderTest> transport;
};

std::vector<uint8_t> Block(int baud, int sevenBits, int twoStops, int parity, int options)
{
    return {static_cast<uint8_t>(baud), static_cast<uint8_t>(sevenBits), static_cast<uint8_t>(twoStops),
            static_cast<uint8_t>(parity), static_cast<uint8_t>(options), 0, 0, 0};
}

std::size_t ByteCount(LinkRecorder& recorder)
{
    std::size_t n = 0;
    for (const auto& b : recorder.Blocks()) n += b.size();
    return n;
}

bool WaitForBytes(LinkRecorder& recorder, std::size_t n, const std::function<void()>& poke, int timeoutMs = 5000)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (ByteCount(recorder) < n) {
        if (std::chrono::steady_clock::now() > until) return false;
        poke();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

TEST_P(TransportContract, OpensOneDeviceAtATimeAndClosesIt)
{
    void* lib = ::dlopen(transport->Library().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    auto open = reinterpret_cast<USB_Open_mask_fn>(::dlsym(lib, "USB_Open_mask"));
    auto close = reinterpret_cast<USB_Close_fn>(::dlsym(lib, "USB_Close"));
    auto openPipe = reinterpret_cast<USB_OpenPipe_fn>(::dlsym(lib, "USB_OpenPipe"));
    auto request = reinterpret_cast<USB_VendorRequest_fn>(::dlsym(lib, "USB_VendorRequest"));
    ASSERT_TRUE(open && close && openPipe && request);

    EXPECT_EQ(open(12, 0, 0, 4373, 17, 0), -1) << "another product";
    const int device = open(12, 0, 0, 4373, 16, 0);
    ASSERT_NE(device, -1);
    EXPECT_NE(device, 0);
    EXPECT_EQ(open(12, 0, 0, 4373, 16, 0), -1) << "already open";
    EXPECT_EQ(openPipe(device + 1, 0, 0), -1) << "unknown handle";
    EXPECT_EQ(request(device + 1, 1, 1, 1, 0, 0, 0, nullptr), 0) << "unknown handle";
    const int pipe = openPipe(device, 0, 0);
    ASSERT_GE(pipe, 0);
    EXPECT_EQ(openPipe(device, 0, 0), -1) << "one pipe per open";
    ::close(pipe);
    EXPECT_EQ(close(-1), 0);
    EXPECT_EQ(close(device), 1);
    EXPECT_EQ(close(device), 0) << "already closed";
    EXPECT_EQ(request(device, 1, 1, 1, 0, 0, 0, nullptr), 0) << "closed";
    const int again = open(12, 0, 0, 4373, 16, 0);
    EXPECT_NE(again, -1) << "a new open after a close";
    EXPECT_EQ(close(again), 1);
    ::dlclose(lib);
}

TEST_P(TransportContract, AnswersTheRequestsAsTheLinkSendsThem)
{
    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(transport->Library());
    ASSERT_TRUE(link.Open());

    char text[64];
    std::memset(text, 'x', sizeof text);
    const int n = link.ReadFirmwareVersion(3, text, 64);
    ASSERT_GT(n, 1);
    ASSERT_LE(n, 64);
    EXPECT_EQ(text[n - 1], '\0');
    EXPECT_EQ(std::strlen(text), static_cast<std::size_t>(n - 1));
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(link.ReadFirmwareVersion(3, text, 5), 5) << "a short buffer gets a cut text";
    EXPECT_EQ(text[4], '\0');
    EXPECT_EQ(link.ReadFirmwareVersion(2, text, 64), 0) << "only value 3 is known";

    EXPECT_EQ(link.SetParameters(Block(10, 0, 0, 0, 3).data(), 8), 1);
    EXPECT_EQ(link.SetParameters(Block(18, 1, 1, 3, 7).data(), 8), 1);
    EXPECT_EQ(link.SetParameters(Block(11, 0, 0, 2, 7).data(), 8), 1) << "14400 baud";
    EXPECT_EQ(link.SetParameters(Block(19, 0, 0, 0, 3).data(), 8), 0) << "no such rate";
    EXPECT_EQ(link.SetParameters(Block(10, 0, 0, 1, 3).data(), 8), 0) << "1 is no parity code";
    EXPECT_EQ(link.SetParameters(Block(10, 0, 0, 0, 3).data(), 3), 0) << "too short";
    EXPECT_EQ(link.SetParameters(nullptr, 8), 0);
    EXPECT_EQ(link.RequestStart(), 1);
    EXPECT_EQ(link.RequestStart(), 1) << "a second start is harmless";
    EXPECT_EQ(link.RequestStop(), 1);
    EXPECT_EQ(link.RequestStop(), 1);
    link.Close();
    EXPECT_TRUE(messages.Texts().isEmpty());
    EXPECT_EQ(recorder.LostCalls(), 0);
}

TEST_P(TransportContract, StreamsWholeRecordsOnlyBetweenStartAndStop)
{
    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(transport->Library());
    ASSERT_TRUE(link.Open());
    ASSERT_EQ(link.SetParameters(Block(18, 0, 0, 0, 7).data(), 8), 1);

    transport->Traffic();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(ByteCount(recorder), 0u) << "nothing before the start";

    ASSERT_EQ(link.RequestStart(), 1);
    ASSERT_TRUE(WaitForBytes(recorder, 40, [&] { transport->Traffic(); }));
    ASSERT_EQ(link.RequestStop(), 1);
    // What was on its way at the stop still arrives; then the pipe is quiet.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::size_t atStop = ByteCount(recorder);
    transport->Traffic();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ByteCount(recorder), atStop) << "nothing after the stop";

    int data = 0;
    for (const auto& block : recorder.Blocks()) {
        ASSERT_EQ(block.size() % 2, 0u) << "whole records only";
        ASSERT_LE(block.size(), 2048u);
        for (std::size_t i = 0; i < block.size(); i += 2) {
            const int type = block[i] >> 5;
            EXPECT_TRUE(type == 1 || type == 2 || type == 4) << "record type " << type;
            data += type == 1 ? 1 : 0;
        }
    }
    EXPECT_GT(data, 0);
    link.Close();
    EXPECT_TRUE(messages.Texts().isEmpty());
    EXPECT_EQ(recorder.LostCalls(), 0);
}

TEST_P(TransportContract, EndsThePipeWhenTheDeviceIsLost)
{
    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(transport->Library());
    ASSERT_TRUE(link.Open());
    ASSERT_EQ(link.RequestStart(), 1);
    ASSERT_TRUE(WaitForBytes(recorder, 8, [&] { transport->Traffic(); }));

    transport->Pull();
    ASSERT_TRUE(recorder.WaitForLost(5000)) << "end of file on the pipe";
    EXPECT_TRUE(recorder.LostArgumentsWere(nullptr, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder.LostCalls(), 1);
    EXPECT_EQ(link.RequestStart(), 0) << "a lost device answers nothing";
    link.Close();

    CUSBCom again;
    LinkRecorder other;
    other.Attach(again);
    again.SetLibraryPath(transport->Library());
    EXPECT_FALSE(again.Open()) << "it stays gone";
}

INSTANTIATE_TEST_SUITE_P(Transports, TransportContract, ::testing::Values("sim", "tap", "remote"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
