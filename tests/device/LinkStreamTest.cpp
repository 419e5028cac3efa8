// Blocks from the pipe to the data callback: boundaries, order, the empty
// call, the receive-buffer pool, and every way the reading can end.
#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>

namespace {

struct ScriptedLink {
    ScriptedTransport transport;
    CapturedMessages messages;
    LinkRecorder recorder;
    TestableLink link;

    ScriptedLink()
    {
        recorder.Attach(link);
        link.SetLibraryPath(transport.Path());
    }
    ~ScriptedLink() { link.Close(); }
};

bool LinkThreadsEnd(int timeoutMs = 3000)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (CountThreads("ks-link-reader") + CountThreads("ks-link-draw") > 0) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(LinkStream, BlocksArriveWholeInOrderOnTheDispatchThread)
{
    ScriptedLink s;
    ASSERT_TRUE(s.link.Open());
    // Odd sizes and single bytes break the transport's promise; the link
    // still hands them over as they came (the owner ignores an odd byte).
    const std::vector<std::vector<uint8_t>> sent = {
        Pattern(2, 1), Pattern(2048, 2), Pattern(1, 3), Pattern(7, 4), Pattern(100, 5), Pattern(2047, 6), Pattern(2, 7)};
    for (const auto& b : sent) ASSERT_TRUE(s.transport.Send(b));
    ASSERT_TRUE(s.recorder.WaitForBlocks(sent.size()));
    EXPECT_EQ(s.recorder.Blocks(), sent);
    EXPECT_NE(s.recorder.DataThread(), std::this_thread::get_id());
    EXPECT_TRUE(s.messages.Texts().isEmpty());
}

TEST(LinkStream, QueuedBlocksGoBackToBackAndAnEmptyCallEndsEachBurst)
{
    ScriptedLink s;
    ASSERT_TRUE(s.link.Open());
    // While nothing arrives the owner hears (nullptr, 0) again and again.
    ASSERT_TRUE(s.recorder.WaitForEmptyAfterBlocks(0));
    s.recorder.CloseGate();
    for (uint8_t i = 0; i < 5; ++i) ASSERT_TRUE(s.transport.Send(Pattern(64, i)));
    ASSERT_TRUE(s.recorder.WaitUntilBlocked());
    ASSERT_TRUE(s.transport.WaitConsumed());
    s.recorder.OpenGate();
    ASSERT_TRUE(s.recorder.WaitForEmptyAfterBlocks(5));

    const auto calls = s.recorder.Calls();
    std::size_t first = 0;
    while (calls[first].empty) ++first;
    ASSERT_GE(calls.size(), first + 6);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_FALSE(calls[first + i].empty) << i;
        EXPECT_EQ(calls[first + i].bytes, Pattern(64, static_cast<uint8_t>(i)));
    }
    EXPECT_TRUE(calls[first + 5].empty);
}

TEST(LinkStream, BurstGrowsThePoolOneBufferPerBlockAndFreedBuffersAreReusedLowestFirst)
{
    ScriptedLink s;
    // Every block must stay exactly as read until its callback returns, even
    // while the reader keeps reading into other buffers.
    std::atomic<int> changedDuringCall{0};
    s.recorder.OnBlock([&](const uint8_t* data, uint32_t count) {
        const std::vector<uint8_t> before(data, data + count);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (std::memcmp(before.data(), data, count) != 0) ++changedDuringCall;
    });
    ASSERT_TRUE(s.link.Open());

    constexpr int kBurst = 20;
    s.recorder.CloseGate();
    for (int i = 0; i < kBurst; ++i) ASSERT_TRUE(s.transport.Send(Pattern(2048, static_cast<uint8_t>(i))));
    ASSERT_TRUE(s.recorder.WaitUntilBlocked());
    ASSERT_TRUE(s.transport.WaitConsumed());
    s.recorder.OpenGate();
    ASSERT_TRUE(s.recorder.WaitForEmptyAfterBlocks(kBurst));

    auto pointers = s.recorder.Pointers();
    ASSERT_EQ(pointers.size(), static_cast<std::size_t>(kBurst));
    const std::set<const uint8_t*> burst(pointers.begin(), pointers.end());
    EXPECT_EQ(burst.size(), static_cast<std::size_t>(kBurst)) << "one new buffer per queued block";
    for (int i = 0; i < kBurst; ++i) EXPECT_EQ(s.recorder.Blocks()[static_cast<std::size_t>(i)], Pattern(2048, static_cast<uint8_t>(i)));

    // One at a time now: the first lands in the buffer the reader took after
    // the burst, then the reader alternates between the two lowest buffers.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(s.transport.Send(Pattern(10, static_cast<uint8_t>(100 + i))));
        ASSERT_TRUE(s.recorder.WaitForEmptyAfterBlocks(static_cast<std::size_t>(kBurst + i + 1)));
    }
    pointers = s.recorder.Pointers();
    const auto at = [&](int i) { return pointers[static_cast<std::size_t>(i)]; };
    EXPECT_EQ(burst.count(at(kBurst)), 0u);
    EXPECT_EQ(at(kBurst + 1), at(0));
    EXPECT_EQ(at(kBurst + 2), at(1));
    EXPECT_EQ(at(kBurst + 3), at(0));
    EXPECT_EQ(at(kBurst + 4), at(1));
    EXPECT_EQ(changedDuringCall.load(), 0);
}

TEST(LinkLost, PulledProbeCallsLostOnceOnTheReaderAndNothingReadIsLost)
{
    ScriptedLink s;
    ASSERT_TRUE(s.link.Open());
    s.recorder.CloseGate();
    for (uint8_t i = 0; i < 4; ++i) ASSERT_TRUE(s.transport.Send(Pattern(500, i)));
    ASSERT_TRUE(s.recorder.WaitUntilBlocked());
    ASSERT_TRUE(s.transport.WaitConsumed());
    s.transport.Unplug();
    ASSERT_TRUE(s.recorder.WaitForLost());
    EXPECT_TRUE(s.recorder.LostArgumentsWere(nullptr, 1));
    s.recorder.OpenGate();
    // The reader is gone, yet the blocks it read are delivered and the burst
    // ends with the usual empty call before the dispatch thread ends.
    ASSERT_TRUE(s.recorder.WaitForEmptyAfterBlocks(4));
    EXPECT_TRUE(LinkThreadsEnd());
    EXPECT_EQ(s.recorder.Blocks().size(), 4u);
    EXPECT_NE(s.recorder.LostThread(), s.recorder.DataThread());
    EXPECT_NE(s.recorder.LostThread(), std::this_thread::get_id());
    EXPECT_EQ(s.recorder.LostCalls(), 1);
    EXPECT_TRUE(s.messages.Texts().isEmpty()); // a pulled probe is not a fault
    EXPECT_TRUE(s.link.Close());
    EXPECT_EQ(s.recorder.LostCalls(), 1);
}

TEST(LinkLost, FailedReadIsReportedOnceAndEndsLikeAPulledProbe)
{
    ScriptedLink s;
    ASSERT_TRUE(s.link.Open());
    ASSERT_TRUE(s.transport.Send(Pattern(8, 1)));
    ASSERT_TRUE(s.recorder.WaitForBlocks(1));
    ASSERT_TRUE(s.transport.WaitConsumed());
    ASSERT_TRUE(s.transport.FailRead());
    ASSERT_TRUE(s.recorder.WaitForLost());
    EXPECT_TRUE(LinkThreadsEnd());
    EXPECT_EQ(s.messages.Texts(), QStringList{QStringLiteral("GetOverlappedResult (in Reader)\n")});
    EXPECT_EQ(s.recorder.LostCalls(), 1);
}

TEST(LinkLost, DescriptorTakenAwayIsAnAbortedRead)
{
    ScriptedLink s;
    ASSERT_TRUE(s.link.Open());
    s.link.pollInvalid = true;
    ASSERT_TRUE(s.recorder.WaitForLost());
    EXPECT_TRUE(LinkThreadsEnd());
    EXPECT_EQ(s.messages.Texts(), QStringList{QStringLiteral("Reader Abort!\n")});
    EXPECT_EQ(s.recorder.LostCalls(), 1);
}

TEST(LinkLost, FailingWaitIsReportedOnceAndReadingGoesOn)
{
    ScriptedLink s;
    s.link.pollFailures = 30;
    ASSERT_TRUE(s.link.Open());
    ASSERT_TRUE(s.transport.Send(Pattern(6, 9)));
    ASSERT_TRUE(s.recorder.WaitForBlocks(1));
    EXPECT_EQ(s.link.pollFailures.load(), 0);
    EXPECT_EQ(s.messages.Texts(), QStringList{QStringLiteral("WaitForMultipleObjects(Reader)!\n")});
    EXPECT_EQ(s.recorder.LostCalls(), 0);
    // A new streak of failures is a new fault, reported again. (The streak
    // starts once the wait in progress ends.)
    s.link.pollFailures = 3;
    ASSERT_TRUE(s.messages.WaitFor(2));
    ASSERT_TRUE(s.transport.Send(Pattern(6, 10)));
    ASSERT_TRUE(s.recorder.WaitForBlocks(2));
    EXPECT_EQ(s.messages.Texts().size(), 2);
    EXPECT_TRUE(s.link.Close());
}

TEST(LinkClose, CloseWhileDataPoursInEndsBothThreadsAndCallsNothingAfterwards)
{
    ScriptedLink s;
    ASSERT_TRUE(s.link.Open());
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        for (uint32_t n = 0; !stop; ++n) {
            std::vector<uint8_t> block(256);
            std::memcpy(block.data(), &n, sizeof n);
            if (!s.transport.Send(block)) std::this_thread::yield();
        }
    });
    ASSERT_TRUE(s.recorder.WaitForBlocks(200));
    EXPECT_TRUE(s.link.Close());
    stop = true;
    sender.join();
    EXPECT_TRUE(LinkThreadsEnd(0));
    const std::size_t calls = s.recorder.Calls().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(s.recorder.Calls().size(), calls);
    EXPECT_EQ(s.recorder.LostCalls(), 0);
    // Whatever arrived, arrived in order and without gaps.
    const auto blocks = s.recorder.Blocks();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        uint32_t n;
        std::memcpy(&n, blocks[i].data(), sizeof n);
        ASSERT_EQ(n, i);
    }
}

TEST(LinkLost, PulledAndPluggedAHundredTimes)
{
    ScriptedTransport transport;
    CapturedMessages messages;
    for (int cycle = 0; cycle < 100; ++cycle) {
        LinkRecorder recorder;
        CUSBCom link; // a new link per open, as the document makes them
        recorder.Attach(link);
        link.SetLibraryPath(transport.Path());
        ASSERT_TRUE(link.Open()) << cycle;
        ASSERT_TRUE(transport.Send(Pattern(4, static_cast<uint8_t>(cycle))));
        ASSERT_TRUE(recorder.WaitForBlocks(1)) << cycle;
        transport.Unplug();
        ASSERT_TRUE(recorder.WaitForLost()) << cycle;
        EXPECT_TRUE(link.Close());
        EXPECT_EQ(recorder.LostCalls(), 1) << cycle;
    }
    EXPECT_TRUE(LinkThreadsEnd(0));
    EXPECT_TRUE(messages.Texts().isEmpty());
    EXPECT_EQ(transport.Counts().close, 100);
}

} // namespace
