// Opening something that has a capture file's name but is no file: a FIFO,
// a device, a folder. The program says "Open file failed!" at once and
// carries on with an empty document; it must never sit waiting on it.
#include "AppFixture.h"

#include <QElapsedTimer>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using OpenNonRegularFile = AppFixture;

TEST_F(OpenNonRegularFile, SaysOpenFailedAtOnceAndKeepsAnEmptyDocument)
{
    Setup setup;
    setup.show = false;
    ASSERT_TRUE(StartApp(setup));
    const std::string fifo = dir.Path("pipe.ksf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.Path("zero.ksf").c_str()), 0);
    ASSERT_EQ(::mkdir(dir.Path("folder.df").c_str(), 0755), 0);

    for (const std::string& path : {fifo, dir.Path("zero.ksf"), dir.Path("folder.df")}) {
        // Should the open wait on the FIFO, a writer that comes and goes
        // after a while releases it, so that the test fails instead of hanging.
        std::atomic<bool> done{false};
        std::thread release([&] {
            for (int i = 0; i < 400 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
            if (done) return;
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        });
        QElapsedTimer timer;
        timer.start();
        const bool opened = app->OpenDocumentFile(QString::fromStdString(path));
        const qint64 ms = timer.elapsed();
        done = true;
        release.join();
        EXPECT_FALSE(opened) << path;
        EXPECT_LT(ms, 5000) << path << " was waited on";
    }
    const auto shown = messages.Shown();
    ASSERT_EQ(shown.size(), 3u);
    for (const QString& text : shown) EXPECT_TRUE(text.startsWith(QStringLiteral("Open file failed!\n"))) << text.toStdString();
    EXPECT_TRUE(Doc()->PathName().empty());
    EXPECT_EQ(Doc()->Lines().GetLineCount(), 0);
}
