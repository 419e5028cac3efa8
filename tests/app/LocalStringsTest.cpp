// The language catalogue, the localised lookups and the small text helpers.
#include "CCmdTarget.h"
#include "FirmwareText.h"
#include "LocalStrings.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

class CatalogueScope {
public:
    explicit CatalogueScope(const QString& text) { LanguageCatalogue().LoadFromText(text); }
    ~CatalogueScope() { LanguageCatalogue().Clear(); }
};

} // namespace

TEST(LocalStrings, CatalogueOverridesOnlyItsOwnIds)
{
    CatalogueScope scope(QStringLiteral("# comment\n115=&Baud:\n290=\n 304 = Nicht geöffnet\nbad line\n70000=x\n"));
    EXPECT_EQ(LoadLocalString(115), QStringLiteral("&Baud:"));
    EXPECT_EQ(LoadLocalString(290), QStringLiteral("Ready")) << "an empty entry keeps the program's text";
    EXPECT_EQ(LoadLocalString(304), QStringLiteral(" Nicht geöffnet"));
    EXPECT_EQ(LoadLocalString(292), QStringLiteral("File type error!"));
    EXPECT_EQ(LoadLocalString(240), QString()) << "menu titles exist only in a catalogue";
}

TEST(LocalStrings, WithoutCatalogueTheProgramTextsStand)
{
    LanguageCatalogue().Clear();
    EXPECT_EQ(LoadLocalString(299), QStringLiteral("Open Device Failed!"));
    EXPECT_EQ(LoadLocalString(313), QStringLiteral("Reading Data......"));
    EXPECT_TRUE(LoadLocalString(99999).isEmpty());
}

TEST(LocalStrings, CatalogueFileIsCutAndUnescaped)
{
    TempDir dir;
    const std::string path = dir.Path("lang.ini");
    WriteFileText(path, "241=&Neu\\tStrg+N\r\n242=" + std::string(400, 'x') + "\r\n");
    ASSERT_TRUE(LanguageCatalogue().Load(path));
    EXPECT_EQ(LoadLocalString(241), QStringLiteral("&Neu\tStrg+N"));
    EXPECT_EQ(LoadLocalString(242).size(), kMaxLocalStringLength);
    EXPECT_FALSE(LanguageCatalogue().Load(dir.Path("missing.ini")));
    EXPECT_TRUE(LanguageCatalogue().Empty()) << "a failed load leaves no stale texts";

    // A FIFO of that name is refused at once instead of holding up the start.
    const std::string fifo = dir.Path("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::promise<bool> loaded;
    std::thread load([&] { loaded.set_value(LanguageCatalogue().Load(fifo)); });
    std::future<bool> result = loaded.get_future();
    const bool returned = result.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!returned) ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)); // lets the waiting open go
    load.join();
    EXPECT_TRUE(returned) << "waited on the FIFO";
    EXPECT_FALSE(result.get());
}

TEST(LocalStrings, LocaliseWindowTextKeepsDesignedTextWhenNothingIsFound)
{
    CatalogueScope scope(QStringLiteral("1=&Gut\n"));
    QLabel label(QStringLiteral("designed"));
    LocaliseWindowText(&label, 60000);
    EXPECT_EQ(label.text(), QStringLiteral("designed"));
    QPushButton ok(QStringLiteral("&OK"));
    LocaliseWindowText(&ok, 1);
    EXPECT_EQ(ok.text(), QStringLiteral("&Gut"));
    LocaliseWindowText(static_cast<QWidget*>(nullptr), 1); // no window: nothing happens
}

TEST(LocalStrings, FormatStringFillsTheNumber)
{
    EXPECT_EQ(FormatString(264, 15), QStringLiteral("TXD:15"));
    EXPECT_EQ(FormatString(276, 4294967295LL), QStringLiteral("ERR:4294967295"));
    EXPECT_EQ(FormatString(291, 42), QStringLiteral("Scroll to: 42"));
}

TEST(FirmwareText, CutAtZeroAndAtTheLongestKnownText)
{
    char full[64];
    std::fill(std::begin(full), std::end(full), 'V');
    EXPECT_EQ(FirmwareText(full, sizeof full).size(), 33);
    const char shortReply[64] = "V3.0 SIM";
    EXPECT_EQ(FirmwareText(shortReply, sizeof shortReply), QStringLiteral("V3.0 SIM"));
    EXPECT_EQ(FirmwareText(full, 5).size(), 5) << "never reads past the buffer";
}

namespace {
class Target : public CCmdTarget {
public:
    Target(int id, bool enabled, int* hits)
    {
        OnCommand(id, [hits] { ++*hits; }, [enabled](CCmdUI& ui) { ui.Enable(enabled); });
    }
};
} // namespace

TEST(CommandRouter, FirstTargetInTheChainTakesTheCommand)
{
    int first = 0, second = 0;
    Target a(10, true, &first), b(10, true, &second), c(20, false, &second);
    CCommandRouter router;
    router.SetChain({&a, &b, &c});
    EXPECT_TRUE(router.Execute(10));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_FALSE(router.Execute(20)) << "disabled by its update handler";
    EXPECT_EQ(second, 0);
    EXPECT_FALSE(router.Query(30).enabled) << "a command nobody handles is disabled";
    EXPECT_FALSE(router.Execute(30));
}
