// The four vendor requests: only while opened, with the fixed arguments, and
// with the results the callers rely on.
#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void ExpectCall(const ScriptedVendorCall& c, int directionIn, int request, int value, int length, bool buffer)
{
    EXPECT_EQ(c.device, SCRIPTED_DEVICE);
    EXPECT_EQ(c.directionIn, directionIn);
    EXPECT_EQ(c.type, 1);
    EXPECT_EQ(c.request, request);
    EXPECT_EQ(c.value, value);
    EXPECT_EQ(c.index, 0);
    EXPECT_EQ(c.length, length);
    EXPECT_EQ(c.hadBuffer != 0, buffer);
}

TEST(LinkRequests, NothingReachesTheTransportUnlessOpened)
{
    ScriptedTransport transport;
    CapturedMessages messages;
    LinkRecorder recorder;
    const uint8_t block[8] = {10, 0, 0, 0, 3, 0, 0, 0};
    char text[64] = {};
    const auto tryAll = [&](CUSBCom& link) {
        EXPECT_EQ(link.RequestStart(), 0);
        EXPECT_EQ(link.RequestStop(), 0);
        EXPECT_EQ(link.SetParameters(block, 8), 0);
        EXPECT_EQ(link.ReadFirmwareVersion(3, text, 64), 0);
    };
    {
        CUSBCom link;
        recorder.Attach(link);
        link.SetLibraryPath(transport.Path());
        tryAll(link); // never opened
        transport.FailOpenPipe(true);
        EXPECT_FALSE(link.Open());
        tryAll(link); // device open, but the open failed
        transport.FailOpenPipe(false);
        link.Close();
        ASSERT_TRUE(link.Open());
        link.Close();
        tryAll(link); // closed again
    }
    EXPECT_EQ(transport.Counts().vendorRequest, 0);
}

TEST(LinkRequests, ArgumentsAndResults)
{
    ScriptedTransport transport;
    CapturedMessages messages;
    LinkRecorder recorder;
    CUSBCom link;
    recorder.Attach(link);
    link.SetLibraryPath(transport.Path());
    ASSERT_TRUE(link.Open());

    EXPECT_EQ(link.RequestStart(), 1);
    EXPECT_EQ(link.RequestStop(), 1);
    const uint8_t block[8] = {0x12, 0x01, 0x01, 0x03, 0x03, 0x00, 0x00, 0x00};
    EXPECT_EQ(link.SetParameters(block, 8), 1);
    char text[64];
    std::memset(text, 'x', sizeof text);
    const char* firmware = "Firmware Version: SCRIPTED";
    EXPECT_EQ(link.ReadFirmwareVersion(3, text, 64), static_cast<int>(std::strlen(firmware)) + 1);
    EXPECT_STREQ(text, firmware);

    const std::vector<ScriptedVendorCall> calls = transport.VendorCalls();
    ASSERT_EQ(calls.size(), 4u);
    ExpectCall(calls[0], 1, 1, 0, 0, false);
    ExpectCall(calls[1], 1, 2, 0, 0, false);
    ExpectCall(calls[2], 0, 3, 0, 8, true); // the only request that sends data
    EXPECT_EQ(std::memcmp(calls[2].data, block, 8), 0);
    ExpectCall(calls[3], 1, 0, 3, 64, true);

    // Start and stop answer 1 for any success, 0 for failure; the other two
    // hand the transport's result through unchanged.
    transport.SetRequestResult(1, 42);
    transport.SetRequestResult(2, 0);
    transport.SetRequestResult(3, 7);
    transport.SetRequestResult(0, -5);
    EXPECT_EQ(link.RequestStart(), 1);
    EXPECT_EQ(link.RequestStop(), 0);
    EXPECT_EQ(link.SetParameters(block, 8), 7);
    EXPECT_EQ(link.ReadFirmwareVersion(3, text, 64), -5);
    transport.SetRequestResult(1, -1);
    EXPECT_EQ(link.RequestStart(), 1);
    transport.SetRequestResult(1, 0);
    EXPECT_EQ(link.RequestStart(), 0);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

} // namespace
