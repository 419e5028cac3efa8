// The simulated probe pulled and plugged through the per-user configuration
// folder, as a user must when its library's folder belongs to root: the real
// ks-probe command, real files and real inotify, heard as device notices.
#include "DeviceNoticeHub.h"
#include "support/ChildProcess.h"
#include "support/NoticeRecorder.h"
#include "support/RunInChild.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

using namespace ks;

namespace {

const DeviceNotice kProbeFilter = DeviceNotice::ForInterface(kProbeInterfaceClass);

bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }

class SimProbeUserFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        // As installed: ks-probe beside the library, whose folder the user
        // can read but not write (made read-only by the tests that need it).
        MakeReachable(tmp.Root());
        std::filesystem::create_directories(library);
        std::filesystem::create_directories(config);
        std::filesystem::copy_file(QCoreApplication::applicationDirPath().toStdString() + "/ks-probe", tool);
        MakeReachable(library);
        MakeWritableForAll(config);
        DeviceNoticeHub::Instance().SetSimulatedProbeDirectory(library);
    }
    void TearDown() override { ::chmod(library.c_str(), 0755); }

    // The per-user folder made beforehand, writable by the unprivileged user.
    void MakeUserFolder()
    {
        std::filesystem::create_directories(user);
        MakeWritableForAll(user);
    }
    void Register()
    {
        window = std::make_unique<NoticeRecorder>();
        ASSERT_NE(RegisterDeviceNotificationA(window.get(), kProbeFilter.Bytes(), 0), nullptr);
    }
    // Runs ks-probe as a user without privileges; `said` gets what it
    // printed, on either stream.
    int Probe(const char* command, std::string* said = nullptr)
    {
        const std::string saidPath = config + "/said.txt";
        const int status = RunUnprivileged([&] {
            ChildProcess child;
            child.KeepOutput();
            if (!child.Start(tool, {command})) return 100;
            const int result = child.Finish();
            WriteFileText(saidPath, child.Errors());
            return result;
        });
        if (said) *said = ReadFileText(saidPath);
        return status;
    }
    std::vector<uint32_t> Codes(int settleMs = 100)
    {
        window->Settle(settleMs);
        return window->Codes();
    }

    TempDir tmp;
    std::string library = tmp.Path("lib");
    std::string config = tmp.Path("config");
    std::string user = config + "/Kestrane";
    std::string tool = library + "/ks-probe";
    std::string besideMarker = library + "/ks-sim-probe.unplugged";
    std::string userMarker = user + "/ks-sim-probe.unplugged";
    ScopedEnv xdg{"XDG_CONFIG_HOME", config};
    std::unique_ptr<NoticeRecorder> window; // gone before the environment is put back
};

TEST_F(SimProbeUserFolder, AReadOnlyLibraryFolderSendsThePullToTheUsersFolderAndTheNoticesFollow)
{
    MakeUserFolder();
    ::chmod(library.c_str(), 0555);
    Register();
    EXPECT_EQ(DeviceNoticeHub::Instance().WatchedSimulatedProbeFolders(), (std::vector<std::string>{library, user}));

    std::string said;
    ASSERT_EQ(Probe("pull", &said), 0) << said;
    EXPECT_TRUE(Exists(userMarker));
    EXPECT_FALSE(Exists(besideMarker));
    ASSERT_TRUE(window->WaitFor(1));
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete}));

    ASSERT_EQ(Probe("status", &said), 0);
    EXPECT_NE(said.find("probe pulled out"), std::string::npos) << said;
    EXPECT_NE(said.find(userMarker), std::string::npos) << "status says where the marker is: " << said;

    ASSERT_EQ(Probe("plug", &said), 0) << said;
    EXPECT_FALSE(Exists(userMarker));
    ASSERT_TRUE(window->WaitFor(2));
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete, kDeviceArrival}));
}

TEST_F(SimProbeUserFolder, AMarkerInBothPlacesIsOnePullAndPlugClearsBoth)
{
    MakeUserFolder();
    MakeWritableForAll(library); // a build of the user's own
    Register();
    WriteFileText(besideMarker, "");
    ASSERT_TRUE(window->WaitFor(1));
    WriteFileText(userMarker, "");
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete})) << "pulled already: nothing more";

    // Taking one away leaves the probe pulled out by the other.
    ASSERT_TRUE(std::filesystem::remove(besideMarker));
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete}));
    WriteFileText(besideMarker, "");

    std::string said;
    ASSERT_EQ(Probe("plug", &said), 0) << said;
    EXPECT_FALSE(Exists(besideMarker));
    EXPECT_FALSE(Exists(userMarker));
    ASSERT_TRUE(window->WaitFor(2));
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete, kDeviceArrival})) << "one arrival, when none is left";
}

TEST_F(SimProbeUserFolder, APlugThatCannotRemoveTheMarkerBesideTheLibrarySaysSoAndFails)
{
    MakeUserFolder();
    WriteFileText(besideMarker, ""); // pulled by the folder's owner
    WriteFileText(userMarker, "");
    ::chmod(library.c_str(), 0555);
    Register();

    std::string said;
    EXPECT_EQ(Probe("plug", &said), 1);
    EXPECT_NE(said.find("cannot remove " + besideMarker), std::string::npos) << said;
    EXPECT_TRUE(Exists(besideMarker));
    EXPECT_FALSE(Exists(userMarker)) << "what could be removed was";
    EXPECT_TRUE(Codes().empty()) << "still pulled out";
}

TEST_F(SimProbeUserFolder, TheUsersFolderIsMadeWhenAbsentSoThatALaterPullThereIsHeard)
{
    ASSERT_FALSE(Exists(user));
    Register();
    ASSERT_TRUE(Exists(user));
    WriteFileText(userMarker, "");
    ASSERT_TRUE(window->WaitFor(1));
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete}));
}

} // namespace
