// The window's choice of transport: --transport NAME is not a file to open,
// and a refused name is said once and opens no link at all, rather than the
// simulated probe in its place.
#include "AppFixture.h"

namespace {

class TransportArgument : public AppFixture {};

TEST_F(TransportArgument, ANameIsNoFileAndAPathIsRefusedWithoutALink)
{
    Setup plain;
    plain.arguments = {QStringLiteral("--transport"), QStringLiteral("tap")};
    plain.show = false;
    ASSERT_TRUE(StartApp(plain));
    EXPECT_TRUE(app->NoFileGiven()) << "the transport's name is not a capture file";
    EXPECT_TRUE(messages.Shown().empty());
    app.reset();

    Setup refused;
    refused.arguments = {QStringLiteral("--transport=../../tmp/x")};
    ASSERT_TRUE(StartApp(refused));
    const std::vector<QString> shown = messages.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("plain word"))) << shown[0].toStdString();
    EXPECT_FALSE(Doc()->IsConnected()) << "no other transport stands in";
    Doc()->OpenLink();
    EXPECT_FALSE(Doc()->IsConnected());
}

} // namespace
