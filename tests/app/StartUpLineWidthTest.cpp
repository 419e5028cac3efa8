// The line width (cxLine) a first start takes from its window: a capture
// named on the command line is laid out at the width a plain start would
// take, and that width is what goes into the settings.
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

// Starts the program with no settings yet, lets it settle, ends it with
// SIGTERM and returns the cxLine line of the settings it wrote back.
std::string FirstStartWidth(const std::vector<std::string>& args)
{
    TempDir program;
    for (const char* f : {"kestrane", "libCorvane.so"})
        std::filesystem::copy_file(QCoreApplication::applicationDirPath().toStdString() + "/" + f, program.Path(f));
    ChildProcess child;
    if (!child.Start(program.Path("kestrane"), args,
                     {{"QT_QPA_PLATFORM", "offscreen"}, {"KS_SIM_SCENARIO", "modem"},
                      {"XDG_DATA_HOME", program.Path("data")}, {"XDG_CONFIG_HOME", program.Path("config")}}))
        return "not started";
    // The window is up once the link is open, which maps the transport.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (bool up = false; !up && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream maps("/proc/" + std::to_string(child.Pid()) + "/maps");
        for (std::string line; !up && std::getline(maps, line);) up = line.find("libCorvane.so") != std::string::npos;
    }
    child.Signal(SIGTERM);
    if (child.Finish() != 0) return "ended badly: " + child.Errors();
    const std::string settings = ReadFileText(program.Path("ks-settings.ini"));
    const auto at = settings.find("cxLine=");
    return at == std::string::npos ? "no cxLine" : settings.substr(at, settings.find('\n', at) - at);
}

} // namespace

TEST(StartUpLineWidth, ACaptureOnTheCommandLineTakesTheWidthOfAPlainStart)
{
    const std::string plain = FirstStartWidth({});
    ASSERT_EQ(plain.rfind("cxLine=", 0), 0u) << plain;
    EXPECT_EQ(FirstStartWidth({KS_SOURCE_DIR "/samples/modem-session.ksf"}), plain);
}
