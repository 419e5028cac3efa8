// Choosing the transport by name, for the program and ks-capture alike, and
// ks-capture recording a real line through the serial tap.
#include "LinkTestSupport.h"
#include "TapTestSupport.h"
#include "TransportChoice.h"
#include "CDisplayMode.h"
#include "support/TempDir.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(TransportChoice, APlainWordOnlyAndTheFirstSourceGiven)
{
    for (const char* good : {"tap", "usb-2", "My_Probe9"}) EXPECT_TRUE(IsPlainTransportName(good)) << good;
    for (const char* bad : {"", "../tap", "/usr/lib/x", "tap.so", "a b", "tap\n", "t\xc3\xa4p", "x/y"})
        EXPECT_FALSE(IsPlainTransportName(bad)) << bad;
    EXPECT_FALSE(IsPlainTransportName(std::string(65, 'a')));

    TempDir dir;
    WriteFileText(dir.Path("libCorvane-tap.so"), "");
    WriteFileText(dir.Path("libCorvane-other.so"), "");
    const std::string cli = "tap";
    TransportChoice c = ChooseTransport(dir.Root(), &cli, "other", "other");
    EXPECT_FALSE(c.Refused());
    EXPECT_EQ(c.libraryPath, dir.Path("libCorvane-tap.so")) << "the command line wins";
    c = ChooseTransport(dir.Root(), nullptr, "other", "tap");
    EXPECT_EQ(c.libraryPath, dir.Path("libCorvane-other.so")) << "then the environment";
    c = ChooseTransport(dir.Root(), nullptr, "", "tap");
    EXPECT_EQ(c.libraryPath, dir.Path("libCorvane-tap.so")) << "an empty variable is no choice; then the settings";
    c = ChooseTransport(dir.Root().substr(0, dir.Root().size() - 1), nullptr, nullptr);
    EXPECT_TRUE(c.name.empty());
    EXPECT_EQ(c.libraryPath, dir.Path("libCorvane.so")) << "the default, even when it is missing";
}

TEST(TransportChoice, RefusedNamesSayWhyAndLoadNothing)
{
    TempDir dir;
    const std::string path = "../../tmp/evil";
    TransportChoice c = ChooseTransport(dir.Root(), nullptr, path.c_str());
    ASSERT_TRUE(c.Refused());
    EXPECT_TRUE(c.libraryPath.empty());
    EXPECT_NE(c.error.find("KS_TRANSPORT"), std::string::npos) << c.error;
    EXPECT_NE(c.error.find("plain word"), std::string::npos) << c.error;
    c = ChooseTransport(dir.Root(), nullptr, "a\x1b[2Jb");
    EXPECT_EQ(c.error.find('\x1b'), std::string::npos) << "control characters are shown escaped";
    const std::string missing = "nosuch";
    c = ChooseTransport(dir.Root(), &missing, nullptr);
    ASSERT_TRUE(c.Refused()) << "no quiet fall-back to another transport";
    EXPECT_NE(c.error.find("libCorvane-nosuch.so"), std::string::npos) << c.error;
    const std::string none;
    EXPECT_TRUE(ChooseTransport(dir.Root(), &none, nullptr).Refused()) << "--transport without a name";

    std::string name;
    const char* argv1[] = {"ks", "--transport", "tap", "file.ksf"};
    EXPECT_TRUE(FindTransportArgument(4, argv1, name));
    EXPECT_EQ(name, "tap");
    const char* argv2[] = {"ks", "--transport=usb"};
    EXPECT_TRUE(FindTransportArgument(2, argv2, name));
    EXPECT_EQ(name, "usb");
    const char* argv3[] = {"ks", "--transport"};
    EXPECT_TRUE(FindTransportArgument(2, argv3, name));
    EXPECT_TRUE(name.empty());
    const char* argv4[] = {"ks", "--transports", "x"};
    EXPECT_FALSE(FindTransportArgument(3, argv4, name));
}

std::vector<std::string> CaptureArgs(const std::string& file, const std::string& seconds)
{
    return {"--output", file, "--seconds", seconds, "--baud", "230400", "--status", "--stamp"};
}

TEST(CaptureToolTap, RecordsEveryNumberedByteOfBothDirectionsThroughTheTap)
{
    TapPorts ports;
    TempDir out, user;
    const std::string file = out.Path("tap.ksf");
    ChildProcess child;
    std::vector<std::string> args = CaptureArgs(file, "2");
    args.insert(args.begin(), {"--transport", "tap"});
    ASSERT_TRUE(child.Start(BinDirectory() + "/ks-capture", args,
                            {{"KS_TAP_TXD", ports.txd.Name()}, {"KS_TAP_RXD", ports.rxd.Name()},
                             {"XDG_CONFIG_HOME", user.Root()}}));
    ASSERT_TRUE(child.WaitForError("Capturing")) << child.Errors();
    for (int k = 0; k < 3000; ++k) {
        ports.txd.Write(std::vector<uint8_t>{static_cast<uint8_t>(k)});
        ports.rxd.Write(std::vector<uint8_t>{static_cast<uint8_t>(k >> 4)});
        if (k % 64 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(child.Finish(), 0) << child.Errors();
    EXPECT_NE(child.Errors().find("Tap TXD"), std::string::npos) << "the firmware text names the devices";

    const std::vector<uint8_t> bytes = ReadFileBytes(file);
    ASSERT_GT(bytes.size(), kCurrentHeaderSize);
    int tx = 0, rx = 0, stamps = 0;
    for (std::size_t i = kCurrentHeaderSize; i + 1 < bytes.size(); i += 2) {
        const uint8_t b0 = bytes[i], b1 = bytes[i + 1];
        if (b0 == 0xA0) {
            i += 6;
        } else if ((b0 >> 5) == 4) {
            ++stamps;
            i += 14;
        } else if (b0 == 0x20) {
            ASSERT_EQ(b1, static_cast<uint8_t>(tx)) << "TXD byte " << tx;
            ++tx;
        } else if (b0 == 0x28) {
            ASSERT_EQ(b1, static_cast<uint8_t>(rx >> 4)) << "RXD byte " << rx;
            ++rx;
        }
    }
    EXPECT_EQ(tx, 3000);
    EXPECT_EQ(rx, 3000);
    EXPECT_GT(stamps, 0);
}

TEST(CaptureToolTap, EveryFailureToOpenSaysWhatIsWrong)
{
    TempDir dir, user;
    WriteFileText(dir.Path("plain-file"), "");
    Pty a, b;
    const std::string file = dir.Path("never.ksf");
    const std::string capture = BinDirectory() + "/ks-capture";
    const std::map<std::string, std::string> base = {{"XDG_CONFIG_HOME", user.Root()}, {"KS_TRANSPORT", "tap"}};
    const auto run = [&](std::map<std::string, std::string> env, std::string& errors) {
        env.insert(base.begin(), base.end());
        return RunToEnd(capture, CaptureArgs(file, "1"), &errors, env);
    };
    struct Case {
        std::map<std::string, std::string> env;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{}, "KS_TAP_TXD"},
        {{{"KS_TAP_TXD", "/dev/no-such-adapter"}, {"KS_TAP_RXD", b.Name()}}, "does not exist"},
        {{{"KS_TAP_TXD", a.Name()}, {"KS_TAP_RXD", dir.Path("plain-file")}}, "is not a serial device"},
        {{{"KS_TAP_TXD", a.Name()}, {"KS_TAP_RXD", a.Name()}}, "the same device"},
        {{{"KS_TAP_TXD", a.Name()}, {"KS_TAP_RXD", b.Name()}, {"KS_TAP_LINES", "RTS=txd.cts DTR=txd.cts"}},
         "already carries RTS"},
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(run(c.env, errors), 1) << c.says;
        EXPECT_NE(errors.find(c.says), std::string::npos) << errors;
        EXPECT_NE(errors.find("Open Device Failed"), std::string::npos) << errors;
    }
    // A port another program holds.
    const int held = ::open(a.Name().c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    std::string errors;
    EXPECT_EQ(run({{"KS_TAP_TXD", a.Name()}, {"KS_TAP_RXD", b.Name()}}, errors), 1);
    EXPECT_NE(errors.find("in use by another program"), std::string::npos) << errors;
    ::close(held);
    // The transport's name itself.
    EXPECT_EQ(RunToEnd(capture, {"--output", file, "--transport", "../tap"}, &errors, base), 2);
    EXPECT_NE(errors.find("plain word"), std::string::npos) << errors;
    EXPECT_EQ(RunToEnd(capture, {"--output", file}, &errors, {{"KS_TRANSPORT", "nosuch"}}), 2);
    EXPECT_NE(errors.find("libCorvane-nosuch.so"), std::string::npos) << errors;
}

} // namespace
