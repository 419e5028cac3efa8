// Real udev events becoming notices: umockdev's test bed adds and removes
// USB devices and serial ports with the numbers and names we choose, and the
// notice sources hear them through libudev exactly as on a machine.
#include "DeviceNotice.h"
#include "DeviceNoticeHub.h"
#include "ProgramPaths.h"
#include "support/NoticeRecorder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <memory>
#include <string>
#include <vector>

using namespace ks;

namespace {

const std::vector<uint32_t> kArrival{kDeviceArrival};
const std::vector<uint32_t> kArrivalThenRemoval{kDeviceArrival, kDeviceRemoveComplete};

class UdevNotices : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The bed first: the udev monitor must be made inside it.
        testbed = umockdev_testbed_new();
        ASSERT_TRUE(umockdev_in_mock_environment()) << "the test main runs the tests under umockdev";
        ks::SetProgramPathsForTesting(dir.Root(), dir.Path("ks-settings.ini"));
        DeviceNoticeHub::Instance().SetWatchedSerialPorts({});
    }
    void TearDown() override
    {
        window.reset(); // ends the registration and the sources with it
        DeviceNoticeHub::Instance().SetWatchedSerialPorts({});
        ks::SetProgramPathsForTesting({}, {});
        g_object_unref(testbed);
    }

    // Registers the window; the sources start with the first registration.
    void Listen()
    {
        window = std::make_unique<NoticeRecorder>();
        const DeviceNotice filter = DeviceNotice::ForInterface(kProbeInterfaceClass);
        ASSERT_NE(RegisterDeviceNotificationA(window.get(), filter.Bytes(), 0), nullptr);
    }

    // A whole USB device, as the kernel and udev describe one; adding it
    // sends its "add" event.
    std::string AddUsbDevice(const char* name, const char* vendor, const char* product, const char* parent = nullptr)
    {
        const std::string productProperty = std::string(vendor) + "/" + product + "/100";
        gchar* path = umockdev_testbed_add_device(testbed, "usb", name, parent,
                                                  "idVendor", vendor, "idProduct", product, nullptr,
                                                  "DEVTYPE", "usb_device", "PRODUCT", productProperty.c_str(),
                                                  "ID_VENDOR_ID", vendor, "ID_MODEL_ID", product, nullptr);
        std::string result = path ? path : "";
        g_free(path);
        return result;
    }

    void Remove(const std::string& syspath)
    {
        umockdev_testbed_uevent(testbed, syspath.c_str(), "remove");
        umockdev_testbed_remove_device(testbed, syspath.c_str());
    }

    TempDir dir;
    UMockdevTestbed* testbed = nullptr;
    std::unique_ptr<NoticeRecorder> window;
};

} // namespace

TEST_F(UdevNotices, ThePlugAndPullOfTheProbesUsbDeviceAreNotices)
{
    Listen();
    const std::string probe = AddUsbDevice("1-1", "1115", "0010");
    ASSERT_FALSE(probe.empty());
    ASSERT_TRUE(window->WaitFor(1));
    ASSERT_TRUE(window->notices[0].header);
    EXPECT_EQ(window->notices[0].header->DeviceType(), kDeviceTypeInterface);
    EXPECT_EQ(window->notices[0].header->InterfaceClass(), kProbeInterfaceClass);

    // What else a plug brings (its interface, a "change") and other devices
    // say nothing.
    gchar* interface = umockdev_testbed_add_device(testbed, "usb", "1-1:1.0", probe.c_str(), nullptr,
                                                   "DEVTYPE", "usb_interface", "PRODUCT", "1115/10/100", nullptr);
    umockdev_testbed_uevent(testbed, probe.c_str(), "change");
    const std::string mouse = AddUsbDevice("1-2", "046d", "c077");
    window->Settle(150);
    EXPECT_EQ(window->Codes(), kArrival);

    umockdev_testbed_uevent(testbed, interface, "remove");
    umockdev_testbed_remove_device(testbed, interface);
    g_free(interface);
    Remove(mouse);
    Remove(probe);
    ASSERT_TRUE(window->WaitFor(2));
    window->Settle(100);
    EXPECT_EQ(window->Codes(), kArrivalThenRemoval);
}

TEST_F(UdevNotices, AProbePluggedInBeforeTheProgramStartedIsPresentAndItsPullIsHeard)
{
    const std::string probe = AddUsbDevice("2-1", "1115", "0010");
    Listen();
    window->Settle(100);
    EXPECT_TRUE(window->notices.empty()) << "already there: no arrival";
    Remove(probe);
    ASSERT_TRUE(window->WaitFor(1));
    EXPECT_EQ(window->Codes(), std::vector<uint32_t>{kDeviceRemoveComplete});
}

TEST_F(UdevNotices, TheSettingChoosesTheUsbNumbers)
{
    WriteFileText(dir.Path("ks-settings.ini"), "[Device]\nUsbVendor=0403\nUsbProduct=6001\n");
    Listen();
    const std::string probe = AddUsbDevice("3-1", "1115", "0010");
    const std::string adapter = AddUsbDevice("3-2", "0403", "6001");
    ASSERT_TRUE(window->WaitFor(1));
    window->Settle(100);
    EXPECT_EQ(window->Codes(), kArrival) << "only the configured pair";
    Remove(probe);
    Remove(adapter);
    ASSERT_TRUE(window->WaitFor(2));
    window->Settle(100);
    EXPECT_EQ(window->Codes(), kArrivalThenRemoval);
}

TEST_F(UdevNotices, SerialPortsOfTheProbeAreMatchedByNodeOrLink)
{
    DeviceNoticeHub::Instance().SetWatchedSerialPorts({"/dev/serial/by-id/usb-Tap_TXD-if00-port0", "/dev/ttyUSB1"});
    Listen();
    gchar* txd = umockdev_testbed_add_device(testbed, "tty", "ttyUSB0", nullptr, nullptr,
                                             "DEVNAME", "/dev/ttyUSB0",
                                             "DEVLINKS", "/dev/serial/by-path/pci-0:1.0-port0 /dev/serial/by-id/usb-Tap_TXD-if00-port0",
                                             nullptr);
    gchar* rxd = umockdev_testbed_add_device(testbed, "tty", "ttyUSB1", nullptr, nullptr, "DEVNAME", "/dev/ttyUSB1", nullptr);
    gchar* other = umockdev_testbed_add_device(testbed, "tty", "ttyUSB2", nullptr, nullptr, "DEVNAME", "/dev/ttyUSB2", nullptr);
    ASSERT_TRUE(window->WaitFor(2));
    window->Settle(100);
    EXPECT_EQ(window->Codes(), (std::vector<uint32_t>{kDeviceArrival, kDeviceArrival}));
    for (gchar* port : {other, txd}) {
        umockdev_testbed_uevent(testbed, port, "remove");
        umockdev_testbed_remove_device(testbed, port);
        g_free(port);
    }
    ASSERT_TRUE(window->WaitFor(3));
    window->Settle(100);
    EXPECT_EQ(window->Codes(), (std::vector<uint32_t>{kDeviceArrival, kDeviceArrival, kDeviceRemoveComplete}));
    g_free(rxd);
}

TEST_F(UdevNotices, TheSamePortsAgainKeepUnreadEventsAndNewPortsAlreadyThereArrive)
{
    const std::vector<std::string> ports{"/dev/ttyUSB0", "/dev/ttyUSB1"};
    DeviceNoticeHub::Instance().SetWatchedSerialPorts(ports);
    Listen();
    gchar* txd = umockdev_testbed_add_device(testbed, "tty", "ttyUSB0", nullptr, nullptr, "DEVNAME", "/dev/ttyUSB0", nullptr);
    ASSERT_TRUE(window->WaitFor(1));
    // The second adapter arrives while an open runs; the open then names the
    // same ports again before the event has been read.
    gchar* rxd = umockdev_testbed_add_device(testbed, "tty", "ttyUSB1", nullptr, nullptr, "DEVNAME", "/dev/ttyUSB1", nullptr);
    DeviceNoticeHub::Instance().SetWatchedSerialPorts(ports);
    ASSERT_TRUE(window->WaitFor(2)) << "the second adapter's arrival was lost";

    // Another transport's ports: one of them is plugged in already.
    gchar* other = umockdev_testbed_add_device(testbed, "tty", "ttyUSB2", nullptr, nullptr, "DEVNAME", "/dev/ttyUSB2", nullptr);
    window->Settle(100);
    ASSERT_EQ(window->notices.size(), 2u) << "not watched yet";
    DeviceNoticeHub::Instance().SetWatchedSerialPorts({"/dev/ttyUSB2", "/dev/ttyUSB3"});
    ASSERT_TRUE(window->WaitFor(3));
    window->Settle(100);
    EXPECT_EQ(window->Codes(), (std::vector<uint32_t>{kDeviceArrival, kDeviceArrival, kDeviceArrival}));
    for (gchar* port : {txd, rxd, other}) g_free(port);
}
