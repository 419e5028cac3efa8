// The colour swatch button: what it paints in each state and how it follows
// the mouse, checked on the pixels it really draws.
#include "CButtonColor.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

constexpr int32_t kRed = 0x0000FF;     // 0x00BBGGRR
constexpr int32_t kTeal = 0x808000;

QRgb Pixel(CButtonColor& button, int x, int y)
{
    const QImage image = button.grab().toImage();
    return image.pixel(x, y) & 0xFFFFFF;
}

QRgb Face(const CButtonColor& button) { return button.palette().color(QPalette::Button).rgb() & 0xFFFFFF; }

void SendEnter(CButtonColor& button)
{
    const QPointF inside(5, 5);
    QEnterEvent enter(inside, inside, button.mapToGlobal(inside));
    QApplication::sendEvent(&button, &enter);
}

void SendLeave(CButtonColor& button)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
}

} // namespace

TEST(CButtonColor, PaintsAnOutlinedSwatchThatShrinksWhileHot)
{
    CButtonColor button;
    button.resize(30, 16);
    button.SetColour(kRed);
    EXPECT_EQ(button.Colour(), kRed);
    EXPECT_FALSE(button.Hot());

    EXPECT_EQ(Pixel(button, 0, 0), 0x000000u) << "outline on the edge";
    EXPECT_EQ(Pixel(button, 29, 15), 0x000000u);
    EXPECT_EQ(Pixel(button, 15, 8), 0xFF0000u) << "red, turned from 0x00BBGGRR";
    EXPECT_EQ(Pixel(button, 1, 1), 0xFF0000u) << "no inner outline without focus";

    SendEnter(button);
    EXPECT_TRUE(button.Hot());
    EXPECT_EQ(Pixel(button, 0, 0), Face(button)) << "one pixel smaller on every side";
    EXPECT_EQ(Pixel(button, 29, 15), Face(button));
    EXPECT_EQ(Pixel(button, 1, 1), 0x000000u);
    EXPECT_EQ(Pixel(button, 28, 14), 0x000000u);
    EXPECT_EQ(Pixel(button, 15, 8), 0xFF0000u);

    // A new colour starts cold again.
    button.SetColour(kTeal);
    EXPECT_FALSE(button.Hot());
    EXPECT_EQ(Pixel(button, 0, 0), 0x000000u);
    EXPECT_EQ(Pixel(button, 15, 8), 0x008080u);
}

TEST(CButtonColor, FocusAddsAnInnerOutlineAndDisabledIsWashedOut)
{
    QWidget window;
    auto* button = new CButtonColor(&window);
    button->setGeometry(10, 10, 30, 16);
    button->SetColour(kRed);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    EXPECT_EQ(Pixel(*button, 1, 1), 0x000000u);
    EXPECT_EQ(Pixel(*button, 28, 14), 0x000000u);
    EXPECT_EQ(Pixel(*button, 2, 2), 0xFF0000u);

    button->clearFocus();
    button->setEnabled(false);
    const QRgb washed = Pixel(*button, 15, 8);
    EXPECT_NE(washed, 0xFF0000u) << "a disabled swatch must not look clickable";
    EXPECT_GT(qRed(washed), qGreen(washed)) << "but it keeps its hue";
}

TEST(CButtonColor, FollowsTheMouseInAndOut)
{
    QWidget window;
    window.resize(100, 60);
    auto* button = new CButtonColor(&window);
    button->setGeometry(10, 10, 30, 16);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    SendEnter(*button);
    EXPECT_TRUE(button->Hot());
    SendLeave(*button);
    EXPECT_FALSE(button->Hot());

    // Moves without a button held: inside is hot.
    QMouseEvent inside(QEvent::MouseMove, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &inside);
    EXPECT_TRUE(button->Hot());

    // Dragging out with the button held still reaches the swatch (it holds
    // the mouse) and must turn it cold.
    QMouseEvent outside(QEvent::MouseMove, QPointF(60, 30), button->mapToGlobal(QPointF(60, 30)), Qt::NoButton,
                        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &outside);
    EXPECT_FALSE(button->Hot());

    // A click still works and reports itself.
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}
