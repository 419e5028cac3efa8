// ks-capture writing where users point it: a name that is not UTF-8 is one
// file from the first byte to the last, and a FIFO is refused, not waited on.
#include "LinkTestSupport.h"
#include "CCaptureFile.h"
#include "CLines.h"
#include "support/TempDir.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(d);
    }
    return names;
}

} // namespace

TEST(CapturePath, ALatinOneNameIsOneFileHeaderAndRecords)
{
    TempDir out;
    const std::string file = out.Root() + "caf\xE9.ksf"; // 0xE9 alone is not UTF-8
    std::string errors;
    const int status = RunToEnd(BinDirectory() + "/ks-capture", {"--output", file, "--seconds", "1"}, &errors,
                                {{"KS_SIM_SCENARIO", "full"}});
    ASSERT_EQ(status, 0) << errors;
    EXPECT_EQ(Entries(out.Root()), std::vector<std::string>{"caf\xE9.ksf"}) << "nothing written under another name";
    CCaptureFile capture;
    ASSERT_EQ(capture.Read(file), CCaptureFile::Result::Ok);
    CDisplayMode mode;
    mode.cxLine = 770;
    mode.cxChar = 8;
    mode.cyChar = 16;
    ASSERT_TRUE(capture.ParseHeader(mode)) << "the header is in the same file as the records";
    CLines lines;
    capture.DecodeBody(lines, mode);
    EXPECT_GT(lines.GetCounters()[CNT_TXD], 100u);
    ::unlink(file.c_str()); // the folder's clean-up goes through QString names
}

TEST(CapturePath, AFifoAsTheOutputIsRefusedAtOnce)
{
    TempDir out;
    const std::string fifo = out.Path("pipe.ksf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string errors;
    const int status = RunToEnd(BinDirectory() + "/ks-capture", {"--output", fifo, "--seconds", "1"}, &errors);
    EXPECT_EQ(status, 1) << errors;
    EXPECT_NE(errors.find("cannot write"), std::string::npos) << errors;
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
