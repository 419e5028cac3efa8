// The series writer on real files: the order of buffers and files, Overwrite,
// the marks and line states at the file boundaries, tick coalescing, a real
// write error, a slow write under Stop and an overrun, a disk that runs low.
// Buffers are made small so that a few hundred records fill many of them;
// every file is read back with the program's own reader.
#include "CSeriesWriter.h"
#include "support/SeriesFiles.h"
#include "SeriesNames.h"

#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <future>
#include <mutex>
#include <thread>

#include <sys/resource.h>

namespace {

// 100 bytes of records fill a buffer: records are appended while the level
// is at most 98.
SeriesLimits SmallLimits()
{
    SeriesLimits l;
    l.appendLimit = 98;
    l.bufferCapacity = 200;
    l.diskFreeThreshold = 0;
    return l;
}

class SeriesWriterTest : public ::testing::Test {
protected:
    SeriesConfig Config(int buffersPerFile, uint32_t maxFiles, bool overwrite)
    {
        SeriesConfig c;
        c.baseName = dir.Path("run");
        c.buffersPerFile = buffersPerFile;
        c.maxFileNumber = maxFiles;
        c.overwrite = overwrite;
        c.dateTime = false;
        CDisplayMode mode;
        mode.DateTime = 0;
        mode.BuildHeader(c.header);
        return c;
    }

    // Starts `w`, noting every end it reports.
    void Start(CSeriesWriter& w, const SeriesConfig& c, SeriesLimits limits = SmallLimits())
    {
        w.onEnd = [this](SeriesEnd why, int error) {
            std::lock_guard<std::mutex> guard(mutex);
            ends.emplace_back(why, error);
            changed.notify_all();
        };
        int error = 0;
        ASSERT_TRUE(w.Start(c, limits, error)) << error;
    }

    bool WaitForEnd(SeriesEnd why, int timeoutMs = 5000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const auto& e : ends)
                if (e.first == why) return true;
            return false;
        });
    }

    // Blocks of at most 40 records, each written before the next comes, as
    // a disk keeps up with a probe: at most one hand-over per block.
    void Feed(CSeriesWriter& w, const std::vector<uint8_t>& bytes, uint32_t now = 1000)
    {
        for (std::size_t at = 0; at < bytes.size(); at += 80) {
            w.AddBlock(bytes.data() + at, std::min<std::size_t>(80, bytes.size() - at), now);
            ASSERT_TRUE(w.WaitUntilWritten(5000));
        }
    }

    std::string File(uint32_t n, uint32_t maxFiles = 3) const { return series::FileName(dir.Path("run"), n, maxFiles); }

    TempDir dir;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<SeriesEnd, int>> ends;
};

// Holds every buffer write at a gate until the test opens it.
class GatedWriter : public CSeriesWriter {
public:
    ~GatedWriter() override
    {
        Open();
        int error = 0;
        Stop(error);
    }
    void Open()
    {
        std::lock_guard<std::mutex> guard(m);
        open = true;
        cv.notify_all();
    }
    // The writes let through from now on fail with `error`.
    void OpenFailing(int error)
    {
        std::lock_guard<std::mutex> guard(m);
        failWith = error;
        open = true;
        cv.notify_all();
    }
    bool WaitUntilWriting(int n)
    {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::seconds(5), [&] { return entered >= n; });
    }

protected:
    bool WriteBuffer(CSeriesFile& file, std::size_t from, const uint8_t* data, std::size_t size) override
    {
        {
            std::unique_lock<std::mutex> lock(m);
            ++entered;
            cv.notify_all();
            cv.wait_for(lock, std::chrono::seconds(10), [this] { return open; });
            if (failWith != 0) {
                errno = failWith;
                return false;
            }
        }
        return CSeriesWriter::WriteBuffer(file, from, data, size);
    }

private:
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    int failWith = 0;
    int entered = 0;
};

} // namespace

TEST_F(SeriesWriterTest, FilesTakeTheirBuffersInOrderAndOverwriteStartsAgainAtTheFirst)
{
    // Two buffers of 50 records per file, three files: 300 records fill the
    // series; the seventh buffer goes into a new first file.
    for (bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "no overwrite");
        ends.clear();
        CSeriesWriter w;
        Start(w, Config(2, 3, overwrite));
        Feed(w, NumberedData(0, 360));
        if (!overwrite) {
            ASSERT_TRUE(WaitForEnd(SeriesEnd::Full));
            EXPECT_FALSE(w.IsRecording());
        } else {
            EXPECT_TRUE(w.IsRecording());
        }
        int error = 0;
        ASSERT_TRUE(w.Stop(error)) << error;

        const SeriesFileContent f1 = ReadSeriesFile(File(1));
        const SeriesFileContent f2 = ReadSeriesFile(File(2));
        ASSERT_TRUE(f1.opened && f2.opened);
        EXPECT_EQ(DataOf(f1.tokens), NumberedWords(100, 100));
        EXPECT_EQ(f1.readerData, NumberedWords(100, 100)) << "the program reads what the layout says";
        EXPECT_EQ(DataOf(f2.tokens), NumberedWords(200, 100));
        const SeriesFileContent f0 = ReadSeriesFile(File(0));
        ASSERT_TRUE(f0.opened);
        if (!overwrite) {
            EXPECT_EQ(DataOf(f0.tokens), NumberedWords(0, 100));
            EXPECT_EQ(w.GetStats().filesCreated, 3u);
        } else {
            // The first file was emptied and holds the seventh buffer on.
            EXPECT_EQ(DataOf(f0.tokens), NumberedWords(300, 60));
            EXPECT_EQ(f0.readerData, NumberedWords(300, 60));
            EXPECT_EQ(w.GetStats().filesCreated, 4u);
        }
    }
}

TEST_F(SeriesWriterTest, OneFileSeriesHasNoNumberAndOverwriteRewritesIt)
{
    CSeriesWriter w;
    Start(w, Config(3, 1, true));
    Feed(w, NumberedData(0, 400)); // eight buffers: two rounds of three, and two more
    int error = 0;
    ASSERT_TRUE(w.Stop(error));
    const std::string only = dir.Path("run.ksf");
    EXPECT_EQ(series::FileName(dir.Path("run"), 0, 1), only);
    const SeriesFileContent f = ReadSeriesFile(only);
    ASSERT_TRUE(f.opened);
    EXPECT_EQ(DataOf(f.tokens), NumberedWords(300, 100));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.Path("run_000000.ksf"))));
}

TEST_F(SeriesWriterTest, MarksAndTheLineStateFrameEveryFile)
{
    SeriesConfig c = Config(2, 5, false);
    c.dateTime = true;
    c.status = true;
    CSeriesWriter w;
    Start(w, c);
    const uint32_t before = static_cast<uint32_t>(std::time(nullptr));
    // A status change, then records. The first file's two buffers take the
    // start mark, two status records and 94 data records; the line changes
    // to 0x47 (DSR and CD low, the rest high) within its second buffer, so
    // the second file repeats 0x47 after its opening mark.
    std::vector<uint8_t> traffic = {0x40, 0x00};
    const std::vector<uint8_t> first = NumberedData(0, 60);
    traffic.insert(traffic.end(), first.begin(), first.end());
    traffic.insert(traffic.end(), {0x47, 0x11});
    const std::vector<uint8_t> second = NumberedData(60, 190);
    traffic.insert(traffic.end(), second.begin(), second.end());
    Feed(w, traffic);
    int error = 0;
    ASSERT_TRUE(w.Stop(error));
    const uint32_t after = static_cast<uint32_t>(std::time(nullptr));

    std::vector<SeriesFileContent> files;
    for (uint32_t n = 0; n < 5 && QFile::exists(QString::fromStdString(File(n, 5))); ++n) {
        files.push_back(ReadSeriesFile(File(n, 5)));
        ASSERT_TRUE(files.back().opened) << n;
        ASSERT_GE(files.back().tokens.size(), 3u) << n;
    }
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].mode.DateTime, 0) << "the header is the one given";
    // The first file: start mark, the status, records, the closing mark at
    // the hand-over. Every later one: that hand-over's mark and the line
    // state then, records, and a closing mark (the stop mark for the last).
    EXPECT_EQ(files[0].tokens.front().kind, SeriesToken::Mark);
    EXPECT_GE(files[0].tokens.front().value, before);
    EXPECT_EQ(files[0].tokens[1].kind, SeriesToken::Status);
    EXPECT_EQ(files[0].tokens[1].b0, 0x40);
    for (std::size_t n = 1; n < files.size(); ++n) {
        const auto& previous = files[n - 1].tokens;
        const auto& t = files[n].tokens;
        EXPECT_EQ(previous.back().kind, SeriesToken::Mark);
        EXPECT_EQ(t[0].kind, SeriesToken::Mark);
        EXPECT_EQ(t[0].value, previous.back().value) << "both marks carry the hand-over's time";
        EXPECT_LE(t[0].value, after);
        ASSERT_EQ(t[1].kind, SeriesToken::Status);
        EXPECT_EQ(t[1].b0, 0x47);
        EXPECT_EQ(t.back().kind, SeriesToken::Mark);
    }
    EXPECT_EQ(DataOf(files[0].tokens).size(), 94u);
    // Every record once, in order, across the files.
    std::vector<uint16_t> all;
    for (const auto& f : files) {
        const std::vector<uint16_t> data = DataOf(f.tokens);
        EXPECT_EQ(f.readerData, data);
        all.insert(all.end(), data.begin(), data.end());
    }
    EXPECT_EQ(all, NumberedWords(0, 250));
}

namespace {

// Tick records of 8192 ms each and one of the rest, `total` ms in all.
std::vector<uint8_t> TicksOf(uint32_t total)
{
    std::vector<uint8_t> ticks;
    for (uint32_t sum = 0; sum < total; sum += std::min<uint32_t>(8192, total - sum)) {
        const std::vector<uint8_t> t = Tick(std::min<uint32_t>(8192, total - sum));
        ticks.insert(ticks.end(), t.begin(), t.end());
    }
    return ticks;
}

} // namespace

TEST_F(SeriesWriterTest, ExactlyADayOfTicksStaysOneStamp)
{
    // Only more than a day splits: a stamp of exactly 86,400,000 ms is whole.
    SeriesConfig c = Config(2, 1, false);
    c.stamp = true;
    CSeriesWriter w;
    Start(w, c, SeriesLimits{});
    Feed(w, TicksOf(86400000u), 200);
    int error = 0;
    ASSERT_TRUE(w.Stop(error));
    const SeriesFileContent f = ReadSeriesFile(dir.Path("run.ksf"));
    ASSERT_TRUE(f.opened);
    ASSERT_EQ(f.tokens.size(), 1u);
    EXPECT_EQ(f.tokens[0].kind, SeriesToken::Stamp);
    EXPECT_EQ(f.tokens[0].value, 86400000u);
}

TEST_F(SeriesWriterTest, TicksWithoutRecordsGrowOneStampUpToADayEach)
{
    SeriesConfig c = Config(2, 1, false);
    c.stamp = true;
    CSeriesWriter w;
    Start(w, c, SeriesLimits{}); // full-size buffers: everything stays in the first
    // 3 + 4 + 5 ms of ticks are one stamp of 12 ms with the last tick's time.
    w.AddBlock(Tick(3).data(), 2, 100);
    w.AddBlock(Tick(4).data(), 2, 101);
    std::vector<uint8_t> block = Tick(5);
    const std::vector<uint8_t> data = NumberedData(0, 1);
    block.insert(block.end(), data.begin(), data.end());
    w.AddBlock(block.data(), block.size(), 102);
    // Then a day and 5 s of ticks in 8192 ms steps and one of the rest, and
    // a further second: a full day's stamp and one of 6000 ms.
    const uint32_t total = 86400000u + 5000u;
    Feed(w, TicksOf(total), 200);
    w.AddBlock(Tick(1000).data(), 2, 201);
    int error = 0;
    ASSERT_TRUE(w.Stop(error));

    const SeriesFileContent f = ReadSeriesFile(dir.Path("run.ksf"));
    ASSERT_TRUE(f.opened);
    ASSERT_EQ(f.tokens.size(), 4u) << "idle ticks do not grow the file";
    EXPECT_EQ(f.tokens[0].kind, SeriesToken::Stamp);
    EXPECT_EQ(f.tokens[0].value, 12u);
    EXPECT_EQ(f.tokens[0].time, 102u);
    EXPECT_EQ(f.tokens[1].kind, SeriesToken::Data);
    EXPECT_EQ(f.tokens[2].kind, SeriesToken::Stamp);
    EXPECT_EQ(f.tokens[2].value, 86400000u);
    EXPECT_EQ(f.tokens[2].time, 200u);
    EXPECT_EQ(f.tokens[3].kind, SeriesToken::Stamp);
    EXPECT_EQ(f.tokens[3].value, 6000u);
    EXPECT_EQ(f.tokens[3].time, 201u);
}

TEST_F(SeriesWriterTest, WithDataOffOnlyLineStatesAndStampsAreKept)
{
    SeriesConfig c = Config(2, 1, false);
    c.data = false;
    c.status = true;
    c.stamp = true;
    CSeriesWriter w;
    Start(w, c, SeriesLimits{});
    // Characters between two ticks are not kept, so the ticks stay one stamp.
    std::vector<uint8_t> traffic = Tick(10);
    for (uint8_t b : NumberedData(0, 20)) traffic.push_back(b);
    for (uint8_t b : Tick(20)) traffic.push_back(b);
    traffic.insert(traffic.end(), {0x5E, 0x00, 0x21, 0x41});
    EXPECT_EQ(w.AddBlock(traffic.data(), traffic.size(), 7), 0x5E) << "the last status, for the indicators";
    int error = 0;
    ASSERT_TRUE(w.Stop(error));
    const SeriesFileContent f = ReadSeriesFile(dir.Path("run.ksf"));
    ASSERT_TRUE(f.opened);
    ASSERT_EQ(f.tokens.size(), 2u);
    EXPECT_EQ(f.tokens[0].kind, SeriesToken::Stamp);
    EXPECT_EQ(f.tokens[0].value, 30u);
    EXPECT_EQ(f.tokens[1].kind, SeriesToken::Status);
    EXPECT_EQ(f.tokens[1].b0, 0x5E);
}

TEST_F(SeriesWriterTest, AnExistingFirstFileIsEmptiedButAnotherWritersFileIsLeftAlone)
{
    WriteFileText(File(0), std::string(5000, 'x'));
    CSeriesWriter first;
    Start(first, Config(2, 3, false));
    Feed(first, NumberedData(0, 10));
    // A second recorder aimed at the same names finds the first file taken
    // and empties nothing.
    CSeriesWriter second;
    int error = 0;
    EXPECT_FALSE(second.Start(Config(2, 3, false), SmallLimits(), error));
    EXPECT_EQ(error, EWOULDBLOCK);
    ASSERT_TRUE(first.Stop(error));
    const SeriesFileContent f = ReadSeriesFile(File(0));
    ASSERT_TRUE(f.opened);
    EXPECT_EQ(DataOf(f.tokens), NumberedWords(0, 10));

    CSeriesWriter third;
    SeriesConfig missing = Config(2, 3, false);
    missing.baseName = dir.Path("no/such/folder/run");
    EXPECT_FALSE(third.Start(missing, SmallLimits(), error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(third.IsActive());
}

TEST_F(SeriesWriterTest, AWriteErrorEndsTheSeriesAndKeepsWhatWasWritten)
{
    // A real error: the file-size limit refuses the third buffer's write.
    struct Limit {
        rlimit saved{};
        void (*handler)(int) = nullptr;
        Limit(rlim_t bytes)
        {
            ::getrlimit(RLIMIT_FSIZE, &saved);
            handler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit l = saved;
            l.rlim_cur = bytes;
            ::setrlimit(RLIMIT_FSIZE, &l);
        }
        ~Limit()
        {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, handler);
        }
    };
    CSeriesWriter w;
    {
        Limit limit(kCurrentHeaderSize + 250);
        Start(w, Config(7, 1, false));
        Feed(w, NumberedData(0, 200));
        ASSERT_TRUE(WaitForEnd(SeriesEnd::WriteFailed));
    }
    {
        std::lock_guard<std::mutex> guard(mutex);
        ASSERT_EQ(ends.size(), 1u);
        EXPECT_EQ(ends[0].second, EFBIG) << "the cause is the system's error number";
    }
    EXPECT_FALSE(w.IsRecording());
    Feed(w, NumberedData(200, 10)); // nothing more is taken
    int error = 0;
    EXPECT_TRUE(w.Stop(error)) << "nothing was left to flush";
    const SeriesFileContent f = ReadSeriesFile(dir.Path("run.ksf"));
    ASSERT_TRUE(f.opened) << "what reached the disk still opens";
    EXPECT_EQ(f.body.size(), 250u);
    EXPECT_EQ(DataOf(f.tokens), NumberedWords(0, 125));
}

TEST_F(SeriesWriterTest, StopLetsARunningWriteFinishBeforeItFlushes)
{
    SeriesConfig c = Config(7, 1, false);
    c.dateTime = true;
    GatedWriter w;
    Start(w, c);
    const std::vector<uint8_t> traffic = NumberedData(0, 46 + 20);
    w.AddBlock(traffic.data(), traffic.size(), 1); // the first buffer (with its start mark) and 20 records
    ASSERT_TRUE(w.WaitUntilWriting(1));
    auto stopped = std::async(std::launch::async, [&w] {
        int error = 0;
        return w.Stop(error);
    });
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "Stop must wait for the write";
    w.Open();
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(stopped.get());
    const SeriesFileContent f = ReadSeriesFile(dir.Path("run.ksf"));
    ASSERT_TRUE(f.opened);
    EXPECT_EQ(DataOf(f.tokens), NumberedWords(0, 66)) << "the handed-over buffer lands before the flushed one";
    EXPECT_EQ(f.tokens.front().kind, SeriesToken::Mark);
    EXPECT_EQ(f.tokens.back().kind, SeriesToken::Mark);
}

TEST_F(SeriesWriterTest, AnOverrunEndsTheSeriesWithEverythingTakenOnDisk)
{
    GatedWriter w;
    Start(w, Config(7, 1, false));
    const std::vector<uint8_t> traffic = NumberedData(0, 111);
    w.AddBlock(traffic.data(), 102, 1); // buffer A full, the 51st record opens B
    ASSERT_TRUE(w.WaitUntilWriting(1));
    w.AddBlock(traffic.data() + 102, traffic.size() - 102, 1); // B fills while A is still being written
    EXPECT_FALSE(w.IsRecording());
    EXPECT_FALSE(WaitForEnd(SeriesEnd::Overrun, 100)) << "reported once both buffers are on disk";
    w.Open();
    ASSERT_TRUE(WaitForEnd(SeriesEnd::Overrun));
    int error = 0;
    EXPECT_TRUE(w.Stop(error));
    const SeriesFileContent f = ReadSeriesFile(dir.Path("run.ksf"));
    ASSERT_TRUE(f.opened);
    // A's 50, B's 50 and the record that met the overrun.
    EXPECT_EQ(DataOf(f.tokens), NumberedWords(0, 101));
    EXPECT_EQ(w.GetStats().end, SeriesEnd::Overrun);
}

TEST_F(SeriesWriterTest, ALowDiskAsksForAStopThatStillWritesWhatWasBuffered)
{
    SeriesLimits limits = SmallLimits();
    limits.diskFreeThreshold = UINT64_MAX; // whatever this disk has is "200 MiB or less"
    SeriesConfig c = Config(7, 1, false);
    c.dateTime = true;
    CSeriesWriter w;
    Start(w, c, limits);
    Feed(w, NumberedData(0, 80));
    ASSERT_TRUE(WaitForEnd(SeriesEnd::DiskFull));
    EXPECT_TRUE(w.IsRecording()) << "records keep coming until the owner stops";
    Feed(w, NumberedData(80, 10));
    int error = 0;
    ASSERT_TRUE(w.Stop(error));
    const SeriesFileContent f = ReadSeriesFile(dir.Path("run.ksf"));
    ASSERT_TRUE(f.opened);
    EXPECT_EQ(DataOf(f.tokens), NumberedWords(0, 90));
    EXPECT_EQ(f.tokens.back().kind, SeriesToken::Mark);
    EXPECT_EQ(w.GetStats().end, SeriesEnd::DiskFull);
}

TEST_F(SeriesWriterTest, AFailureWhileStopWaitsFailsTheStopAndIsReported)
{
    GatedWriter w;
    Start(w, Config(7, 1, false));
    const std::vector<uint8_t> traffic = NumberedData(0, 60);
    w.AddBlock(traffic.data(), traffic.size(), 1); // buffer A handed over, 10 records filling
    ASSERT_TRUE(w.WaitUntilWriting(1));
    auto stopped = std::async(std::launch::async, [&w] {
        int error = 0;
        const bool ok = w.Stop(error);
        return std::make_pair(ok, error);
    });
    // The failure must come while Stop waits, not before it asked.
    const auto asked = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (w.IsActive() && std::chrono::steady_clock::now() < asked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    w.OpenFailing(ENOSPC);
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const auto [ok, error] = stopped.get();
    EXPECT_FALSE(ok) << "the flushed records did not reach the file";
    EXPECT_EQ(error, ENOSPC);
    EXPECT_TRUE(WaitForEnd(SeriesEnd::WriteFailed, 0));
}

TEST_F(SeriesWriterTest, AStopThatTimesOutLeavesTheWriterToFinishWithoutCountingAsRunning)
{
    GatedWriter w;
    Start(w, Config(7, 1, false));
    const std::vector<uint8_t> traffic = NumberedData(0, 60);
    w.AddBlock(traffic.data(), traffic.size(), 1);
    ASSERT_TRUE(w.WaitUntilWriting(1));
    int error = 0;
    EXPECT_FALSE(w.Stop(error, 50));
    EXPECT_EQ(error, ETIMEDOUT);
    EXPECT_FALSE(w.IsActive()) << "an owner must not stop it again and wait again";
    w.Open();
    EXPECT_TRUE(w.Stop(error)) << error;
    const SeriesFileContent f = ReadSeriesFile(dir.Path("run.ksf"));
    ASSERT_TRUE(f.opened);
    EXPECT_EQ(DataOf(f.tokens), NumberedWords(0, 60));
}
