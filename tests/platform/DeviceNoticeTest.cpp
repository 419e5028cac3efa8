// Device notices in the platform layer: the header's bytes, who receives a
// notice, how long a registration lasts, and the simulated probe's control
// file becoming notices (written directly and by the ks-probe command).
#include "DeviceNotice.h"
#include "DeviceNoticeHub.h"
#include "InotifyRecords.h"
#include "TestNoticeSource.h"
#include "UsbDeviceIds.h"
#include "support/NoticeRecorder.h"
#include "support/RunTool.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/inotify.h>

using namespace ks;

namespace {

const ks::DeviceNotice kProbeFilter = DeviceNotice::ForInterface(kProbeInterfaceClass);

DeviceNotice OtherInterface()
{
    InterfaceClassId other = kProbeInterfaceClass;
    other[15] ^= 0x01; // differs in the last byte only
    return DeviceNotice::ForInterface(other);
}

} // namespace

TEST(DeviceNoticeHeader, IsLaidOutAsTheNoticesTheProgramReads)
{
    const DeviceNotice notice = DeviceNotice::ForInterface(kProbeInterfaceClass);
    const uint8_t expected[32] = {32,   0,    0,    0,    5,    0,    0,    0,    0,    0,    0,
                                  0,    0xAF, 0xDD, 0x07, 0x7E, 0xE4, 0x5A, 0xEF, 0x46, 0xB1, 0xC7,
                                  0x63, 0xAC, 0xEC, 0x02, 0x58, 0x6F, 0,    0,    0,    0};
    EXPECT_EQ(std::memcmp(notice.Bytes(), expected, sizeof expected), 0);
    EXPECT_EQ(notice.Size(), 32u);
    EXPECT_EQ(notice.DeviceType(), kDeviceTypeInterface);
    EXPECT_EQ(notice.InterfaceClass(), kProbeInterfaceClass);
    // A short source is padded, a long one cut to the header.
    const DeviceNotice shortOne = DeviceNotice::FromBytes(expected, 8);
    EXPECT_EQ(shortOne.DeviceType(), 5u);
    EXPECT_EQ(shortOne.InterfaceClass(), InterfaceClassId{});
}

class DeviceNoticeHubTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Sources watch a folder of this test's own; udev may or may not be
        // reachable here, which changes nothing below.
        DeviceNoticeHub::Instance().SetSimulatedProbeDirectory(dir.Path("probe"));
        QDir().mkpath(QString::fromStdString(dir.Path("probe")));
    }

    void* Register(QObject* window, const DeviceNotice& filter = kProbeFilter)
    {
        return RegisterDeviceNotificationA(window, filter.Bytes(), 0);
    }

    TempDir dir;
};

TEST_F(DeviceNoticeHubTest, RefusesWhatIsNotAWindowRegisteringForAnInterface)
{
    NoticeRecorder window;
    EXPECT_EQ(Register(nullptr), nullptr);
    DeviceNotice volume = kProbeFilter;
    volume.SetDeviceType(2);
    EXPECT_EQ(Register(&window, volume), nullptr);
    EXPECT_EQ(RegisterDeviceNotificationA(&window, kProbeFilter.Bytes(), 1), nullptr) << "only windows are notified";
    EXPECT_EQ(DeviceNoticeHub::Instance().Register(&window, kProbeFilter.Bytes(), 16), nullptr) << "filter too short";
    EXPECT_EQ(DeviceNoticeHub::Instance().RegistrationCount(), 0);

    TestNoticeSource::Broadcast(kDeviceArrival);
    window.Settle(50);
    EXPECT_TRUE(window.notices.empty()) << "a refused registration receives nothing";
}

TEST_F(DeviceNoticeHubTest, EachRegistrationOfItsClassGetsTheNoticeWithItsHeader)
{
    NoticeRecorder twice, other;
    void* first = Register(&twice);
    void* second = Register(&twice);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    ASSERT_NE(Register(&other, OtherInterface()), nullptr);

    TestNoticeSource::Broadcast(kDeviceRemoveComplete);
    ASSERT_TRUE(twice.WaitFor(2));
    twice.Settle(30);
    ASSERT_EQ(twice.notices.size(), 2u) << "registered twice, told twice";
    for (const auto& n : twice.notices) {
        EXPECT_EQ(n.eventCode, kDeviceRemoveComplete);
        ASSERT_TRUE(n.header);
        EXPECT_EQ(std::memcmp(n.header->Bytes(), kProbeFilter.Bytes(), DeviceNotice::kSize), 0);
    }
    EXPECT_TRUE(other.notices.empty()) << "another interface class is not told";

    TestNoticeSource::Broadcast(kDeviceArrival, OtherInterface());
    ASSERT_TRUE(other.WaitFor(1));
    EXPECT_EQ(twice.notices.size(), 2u);
}

TEST_F(DeviceNoticeHubTest, ARegistrationEndsWithItsWindowAndTheSourcesWithTheLast)
{
    auto window = std::make_unique<NoticeRecorder>();
    NoticeRecorder survivor;
    ASSERT_NE(Register(window.get()), nullptr);
    ASSERT_NE(Register(&survivor), nullptr);
    EXPECT_TRUE(DeviceNoticeHub::Instance().SourcesRunning());
    EXPECT_EQ(DeviceNoticeHub::Instance().WatchedSimulatedProbeDirectory(), dir.Path("probe"));

    // A notice queued for the window just before it goes is dropped with it.
    TestNoticeSource::Broadcast(kDeviceArrival);
    window.reset();
    EXPECT_EQ(DeviceNoticeHub::Instance().RegistrationCount(), 1);
    ASSERT_TRUE(survivor.WaitFor(1));
    EXPECT_TRUE(DeviceNoticeHub::Instance().SourcesRunning());
}

TEST_F(DeviceNoticeHubTest, SourcesStopWhenTheLastWindowGoes)
{
    {
        NoticeRecorder window;
        ASSERT_NE(Register(&window), nullptr);
        EXPECT_TRUE(DeviceNoticeHub::Instance().SourcesRunning());
    }
    EXPECT_EQ(DeviceNoticeHub::Instance().RegistrationCount(), 0);
    EXPECT_FALSE(DeviceNoticeHub::Instance().SourcesRunning());
    EXPECT_TRUE(DeviceNoticeHub::Instance().WatchedSimulatedProbeDirectory().empty());
}

// The simulated probe: pulled out while its control file exists.
class SimProbeNotices : public DeviceNoticeHubTest {
protected:
    void SetUp() override
    {
        DeviceNoticeHubTest::SetUp();
        ASSERT_NE(Register(&window), nullptr);
    }
    std::string Marker() const { return dir.Path("probe/ks-sim-probe.unplugged"); }
    int Probe(const char* command)
    {
        const std::string tool = QCoreApplication::applicationDirPath().toStdString() + "/ks-probe";
        return RunTool(tool, {"--dir", dir.Path("probe"), command});
    }

    NoticeRecorder window;
};

TEST_F(SimProbeNotices, PullAndPlugByTheControlFileAreRemovalAndArrival)
{
    WriteFileText(Marker(), "pulled");
    ASSERT_TRUE(window.WaitFor(1));
    // Written again while pulled: still pulled, nothing new. Other files in
    // the folder are none of its business.
    WriteFileText(Marker(), "still pulled");
    WriteFileText(dir.Path("probe/ks-sim-probe.conf"), "scenario = full\n");
    QFile::remove(QString::fromStdString(dir.Path("probe/ks-sim-probe.conf")));
    window.Settle(100);
    ASSERT_EQ(window.Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete}));

    QFile::remove(QString::fromStdString(Marker()));
    ASSERT_TRUE(window.WaitFor(2));
    EXPECT_EQ(window.notices[1].eventCode, kDeviceArrival);
    ASSERT_TRUE(window.notices[1].header);
    EXPECT_EQ(window.notices[1].header->InterfaceClass(), kProbeInterfaceClass);

    // Renamed into place and away, as an editor or a script might.
    WriteFileText(dir.Path("probe/next"), "x");
    QFile::rename(QString::fromStdString(dir.Path("probe/next")), QString::fromStdString(Marker()));
    QFile::rename(QString::fromStdString(Marker()), QString::fromStdString(dir.Path("probe/gone")));
    ASSERT_TRUE(window.WaitFor(4));
    EXPECT_EQ(window.Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete, kDeviceArrival, kDeviceRemoveComplete, kDeviceArrival}));
}

TEST_F(SimProbeNotices, TheProbeCommandPullsAndPlugs)
{
    ASSERT_EQ(Probe("pull"), 0);
    ASSERT_TRUE(window.WaitFor(1));
    EXPECT_EQ(Probe("pull"), 0) << "pulling a pulled probe";
    ASSERT_EQ(Probe("plug"), 0);
    ASSERT_TRUE(window.WaitFor(2));
    window.Settle(50);
    EXPECT_EQ(window.Codes(), (std::vector<uint32_t>{kDeviceRemoveComplete, kDeviceArrival}));
}

TEST_F(SimProbeNotices, AFolderThatGoesAwayEndsTheNoticesQuietly)
{
    const QString folder = QString::fromStdString(dir.Path("probe"));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    window.Settle(50);
    EXPECT_TRUE(window.notices.empty());
    // Made again: not watched any more, and nothing breaks.
    QDir().mkpath(folder);
    WriteFileText(Marker(), "pulled");
    window.Settle(50);
    EXPECT_TRUE(window.notices.empty());
    // Pointing the source at it again watches it again.
    DeviceNoticeHub::Instance().SetSimulatedProbeDirectory(dir.Path("probe"));
    QFile::remove(QString::fromStdString(Marker()));
    EXPECT_TRUE(window.WaitFor(1));
    EXPECT_EQ(window.Codes(), (std::vector<uint32_t>{kDeviceArrival}));
}

// --- inotify records ------------------------------------------------------------------

namespace {

void AppendRecord(std::vector<char>& buffer, uint32_t mask, const std::string& name, uint32_t padded, int watch = 1)
{
    inotify_event event{};
    event.wd = watch;
    event.mask = mask;
    event.len = padded;
    const std::size_t at = buffer.size();
    buffer.resize(at + sizeof event + padded, '\0');
    std::memcpy(buffer.data() + at, &event, sizeof event);
    std::memcpy(buffer.data() + at + sizeof event, name.data(), name.size());
}

} // namespace

TEST(InotifyRecords, WalksPaddedRecordsAndStopsAtOneThatDoesNotFit)
{
    std::vector<char> buffer;
    AppendRecord(buffer, IN_CREATE, "ks-sim-probe.unplugged", 32);
    AppendRecord(buffer, IN_DELETE_SELF, "", 0, 2);
    AppendRecord(buffer, IN_DELETE, "abc", 16);
    std::vector<std::pair<uint32_t, std::string>> seen;
    std::vector<int> watches; // which folder each record is about
    auto keep = [&](int watch, uint32_t mask, std::string_view name) {
        seen.emplace_back(mask, std::string(name));
        watches.push_back(watch);
    };
    EXPECT_EQ(ForEachInotifyRecord(buffer.data(), buffer.size(), keep), 3u);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(watches, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(seen[0], std::make_pair(uint32_t{IN_CREATE}, std::string("ks-sim-probe.unplugged")));
    EXPECT_EQ(seen[1], std::make_pair(uint32_t{IN_DELETE_SELF}, std::string()));
    EXPECT_EQ(seen[2], std::make_pair(uint32_t{IN_DELETE}, std::string("abc")));

    // Cut inside the last name, or a length that runs past the end.
    seen.clear();
    EXPECT_EQ(ForEachInotifyRecord(buffer.data(), buffer.size() - 1, keep), 2u);
    std::vector<char> lying;
    AppendRecord(lying, IN_CREATE, "x", 8);
    inotify_event head;
    std::memcpy(&head, lying.data(), sizeof head);
    head.len = 1000;
    std::memcpy(lying.data(), &head, sizeof head);
    EXPECT_EQ(ForEachInotifyRecord(lying.data(), lying.size(), keep), 0u);
    // A name that fills its space without a zero byte stays within it.
    std::vector<char> full;
    AppendRecord(full, IN_CREATE, "12345678", 8);
    seen.clear();
    ForEachInotifyRecord(full.data(), full.size(), keep);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].second, "12345678");
}

// --- USB ids ------------------------------------------------------------------------

TEST(UsbDeviceIds, ReadAsUdevWritesThem)
{
    EXPECT_EQ(ParseUsbId("1115"), uint16_t{0x1115});
    EXPECT_EQ(ParseUsbId("0010"), uint16_t{16});
    EXPECT_EQ(ParseUsbId("aBc"), uint16_t{0xABC});
    for (const char* bad : {"", "12345", "0x10", "-1", " 10", "1g"}) EXPECT_FALSE(ParseUsbId(bad)) << bad;

    EXPECT_EQ(ParseUsbProductProperty("1115/10/100"), (UsbDeviceIds{0x1115, 0x10}));
    for (const char* bad : {"1115/10", "1115", "/10/1", "1115//1", "11155/10/1"})
        EXPECT_FALSE(ParseUsbProductProperty(bad)) << bad;
}

TEST(UsbDeviceIds, ComeFromTheSettingsFileWithTheProbesPairAsDefault)
{
    TempDir dir;
    const std::string ini = dir.Path("ks-settings.ini");
    EXPECT_EQ(UsbIdsFromSettings(ini), kProbeUsbIds) << "no file";
    EXPECT_EQ(kProbeUsbIds, (UsbDeviceIds{4373, 16})) << "the pair the link opens";
    WriteFileText(ini, "[Device]\nUsbVendor=0403\nUsbProduct=6001\n");
    EXPECT_EQ(UsbIdsFromSettings(ini), (UsbDeviceIds{0x0403, 0x6001}));
    WriteFileText(ini, "[Device]\nUsbVendor=ftdi\n");
    EXPECT_EQ(UsbIdsFromSettings(ini), kProbeUsbIds) << "garbage keeps the default";
}
