// The start-up picture: one at a time, centred, fading in over eight steps,
// gone 1.3 s after it appeared or at the first key or click, which does
// nothing else; none when a file is named on the command line.
#include "AppFixture.h"

#include "CDisplayMode.h"
#include "CLines.h"
#include "CSplashWnd.h"
#include "CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QtTest/QTest>

#include <cmath>

namespace {

int Channel(QRgb colour, int shift) { return (colour >> shift) & 0xFF; }

// The picture blended over white with `coverage`, compared channel by channel.
bool IsBlend(QRgb painted, QRgb picture, double coverage)
{
    for (int shift : {0, 8, 16}) {
        const double expected = 255.0 * (1.0 - coverage) + Channel(picture, shift) * coverage;
        if (std::abs(Channel(painted, shift) - expected) > 3.0) return false;
    }
    return true;
}

} // namespace

class Splash : public AppFixture {
protected:
    void TearDown() override
    {
        CSplashWnd::SetPicturePath(QStringLiteral(":/splash/splash.png"));
        AppFixture::TearDown();
    }
    // A splash of its own, opened now over the shown frame.
    CSplashWnd* FreshSplash()
    {
        if (CSplashWnd* old = CSplashWnd::Current()) old->CloseSplash();
        WaitUntil([] { return CSplashWnd::Current() == nullptr; });
        CSplashWnd::OpenSplash(Frame());
        // Shown without being activated: the frame keeps the keyboard. (The
        // offscreen platform activates every window it shows.)
        QApplication::setActiveWindow(Frame());
        return CSplashWnd::Current();
    }
    QToolButton* StartButton() const
    {
        return qobject_cast<QToolButton*>(Frame()->ToolBar()->widgetForAction(Frame()->Action(ID_ANALYZER_START)));
    }
};

TEST_F(Splash, AStartWithoutAFileFadesInOneCentredPictureForOnePointThreeSeconds)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    Setup setup;
    setup.splash = true;
    setup.show = false; // the frame is not on the screen yet: the screen's middle
    ASSERT_TRUE(StartApp(setup));
    CSplashWnd* splash = CSplashWnd::Current();
    ASSERT_NE(splash, nullptr);
    qint64 closedAt = -1;
    QObject::connect(splash, &QObject::destroyed, [&] { closedAt = sinceStart.elapsed(); });
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->size(), QSize(384, 174));
    EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
    const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((splash->geometry().center() - middle).manhattanLength(), 2);

    CSplashWnd::OpenSplash(Frame());
    EXPECT_EQ(CSplashWnd::Current(), splash) << "at most one";
    EXPECT_EQ(Frame()->findChildren<QWidget*>(QStringLiteral("Splash")).size(), 1);

    // The steps come one by one, each showing the picture over white a
    // little more; the whole picture once they are done.
    QImage picture;
    ASSERT_TRUE(picture.load(CSplashWnd::PicturePath()));
    const QPoint corner(2, 2);
    int seen = splash->FadeSteps();
    EXPECT_GE(seen, 1);
    bool blendChecked = false;
    while (!splash->IsDone() && sinceStart.elapsed() < 3000) {
        Pump(5);
        const int steps = splash->FadeSteps();
        EXPECT_GE(steps, seen) << "steps only grow";
        seen = steps;
        if (!splash->IsDone() && steps == 4 && !blendChecked) {
            blendChecked = true;
            const QRgb painted = splash->grab().toImage().pixel(corner);
            EXPECT_TRUE(IsBlend(painted, picture.pixel(corner), CSplashWnd::CoverageAfter(4))) << std::hex << painted;
        }
    }
    EXPECT_TRUE(blendChecked);
    ASSERT_TRUE(splash->IsDone());
    EXPECT_EQ(splash->FadeSteps(), 8);
    EXPECT_GE(sinceStart.elapsed(), 790) << "eight steps of 100 ms";
    EXPECT_EQ(splash->grab().toImage().pixel(corner), picture.pixel(corner));
    EXPECT_DOUBLE_EQ(CSplashWnd::CoverageAfter(1), 0.0) << "the first step blends nothing";
    EXPECT_GT(CSplashWnd::CoverageAfter(8), 0.999);

    ASSERT_TRUE(WaitUntil([] { return CSplashWnd::Current() == nullptr; }, 4000));
    EXPECT_GE(closedAt, 1290) << "timer 105 closes it at 1.3 s, not before";
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(Splash, TheFirstKeyOrClickClosesItAndDoesNothingElse)
{
    Setup setup;
    setup.splash = true;
    ASSERT_TRUE(StartApp(setup));
    ASSERT_TRUE(Doc()->IsConnected());
    Frame()->UpdateCommandUI();

    // F5 is Start.
    CSplashWnd* splash = FreshSplash();
    ASSERT_NE(splash, nullptr);
    EXPECT_LE((splash->geometry().center() - Frame()->frameGeometry().center()).manhattanLength(), 2) << "over the frame";
    QTest::keyClick(Frame(), Qt::Key_F5);
    EXPECT_FALSE(Doc()->IsRunning()) << "the key only closed the splash";
    ASSERT_TRUE(WaitUntil([] { return CSplashWnd::Current() == nullptr; }, 500));
    QTest::keyClick(Frame(), Qt::Key_F5);
    EXPECT_TRUE(Doc()->IsRunning()) << "the next one is a key like any other";
    Frame()->RunCommand(ID_ANALYZER_STOP);

    // A key that is no shortcut never reaches the window it was meant for.
    struct KeyCounter : QObject {
        int presses = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::KeyPress) ++presses;
            return false;
        }
    } counter;
    View()->installEventFilter(&counter);
    ASSERT_NE(FreshSplash(), nullptr);
    QTest::keyClick(View(), Qt::Key_A);
    EXPECT_EQ(counter.presses, 0);
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    QTest::keyClick(View(), Qt::Key_A);
    EXPECT_EQ(counter.presses, 1);

    // A click on Start.
    ASSERT_NE(FreshSplash(), nullptr);
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    EXPECT_FALSE(Doc()->IsRunning()) << "the click only closed the splash";
    ASSERT_TRUE(WaitUntil([] { return CSplashWnd::Current() == nullptr; }, 500));
    QTest::mouseClick(StartButton(), Qt::LeftButton);
    EXPECT_TRUE(Doc()->IsRunning());
    Frame()->RunCommand(ID_ANALYZER_STOP);
}

TEST_F(Splash, NoneWhenAFileIsNamedOnTheCommandLine)
{
    CDisplayMode mode;
    CLines lines;
    const std::string path = dir.Path("named.ksf");
    ASSERT_TRUE(mode.WriteHeader(path));
    ASSERT_TRUE(lines.SaveCaptureBody(path));
    Setup setup;
    setup.splash = true;
    setup.unplugged = true;
    setup.arguments = {QString::fromStdString(path)};
    ASSERT_TRUE(StartApp(setup));
    EXPECT_EQ(Doc()->PathName(), path);
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
}

TEST_F(Splash, NoneAndNoMessageWithoutItsPicture)
{
    CSplashWnd::SetPicturePath(QString::fromStdString(dir.Path("missing.png")));
    Setup setup;
    setup.splash = true;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    EXPECT_TRUE(messages.Shown().empty());
}
