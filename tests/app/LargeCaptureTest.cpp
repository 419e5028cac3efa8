// Capture files that are large for the memory there is: refused before
// loading when they cannot fit, and a long load can be cancelled. Either way
// the capture that was open stays as it was.
#include "AppFixture.h"

#include "CLines.h"
#include "CLoadProgressDlg.h"

#include <QDialog>

#include <fstream>
#include <string>
#include <sys/resource.h>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// A capture of `records` TXD characters with the default header settings.
void WriteCapture(const std::string& path, long records, char character)
{
    std::string header = "1000167116800000004236000002585610008421631000006553500010012801315000862991000016777215-001";
    header += '\xF1';
    header += '\xEF';
    std::ofstream out(path, std::ios::binary);
    out << header;
    std::string block;
    for (long i = 0; i < records; ++i) {
        block += '\x20';
        block += character;
        if (block.size() >= (1u << 20)) {
            out << block;
            block.clear();
        }
    }
    out << block;
}

long VmSizeBytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmSize:") {
            long kib = 0;
            status >> kib;
            return kib * 1024;
        }
        std::getline(status, key);
    }
    return 0;
}

class LargeCapture : public AppFixture {
protected:
    void SetUp() override
    {
        Setup setup;
        setup.show = false;
        ASSERT_TRUE(StartApp(setup));
        ks::SetMessageService(&messages);
        WriteCapture(dir.Path("small.ksf"), 300, 'a');
        // Four million records: about 110 MB in the store.
        WriteCapture(dir.Path("large.ksf"), 4000000, 'b');
        ASSERT_TRUE(Doc()->OnOpenDocument(dir.Path("small.ksf")));
    }
    void ExpectSmallCaptureOpen()
    {
        EXPECT_EQ(Doc()->Lines().GetCounters()[CNT_TXD], 300u);
        EXPECT_EQ(Doc()->PathName(), dir.Path("small.ksf"));
    }
};

TEST_F(LargeCapture, CancellingALongLoadKeepsTheOpenCapture)
{
    Doc()->loadProgressDelayMs = 0;
    bool progressShown = false;
    Doc()->runDialog = [&](QDialog& dialog) {
        progressShown = dynamic_cast<CLoadProgressDlg*>(&dialog) != nullptr;
        return static_cast<int>(QDialog::Rejected); // Cancel
    };
    EXPECT_FALSE(Doc()->OnOpenDocument(dir.Path("large.ksf")));
    EXPECT_TRUE(progressShown);
    ExpectSmallCaptureOpen();
    EXPECT_TRUE(messages.Shown().empty()) << "a cancel is no failure";
}

TEST_F(LargeCapture, AFileTheMemoryCannotHoldIsRefusedWithItsSize)
{
    if (kSanitized) GTEST_SKIP() << "address-space limits do not work under a sanitizer";
    // Room for 16 MB more: the file's store would need about 32 MB.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(VmSizeBytes() + 16L * 1024 * 1024);
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &tight), 0);
    const bool opened = Doc()->OnOpenDocument(dir.Path("large.ksf"));
    ::setrlimit(RLIMIT_AS, &saved);

    EXPECT_FALSE(opened);
    const std::vector<QString> shown = messages.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith(QString::fromStdString(dir.Path("large.ksf")) +
                                    QStringLiteral(" is too large to open: its 8.0 MB of records need about")))
        << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("the address-space limit leaves"))) << shown[0].toStdString();
    ExpectSmallCaptureOpen();
}

} // namespace
