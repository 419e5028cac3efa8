// Test main for widget tests: real widgets on the offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

#include "IsolatedUserState.h"

int main(int argc, char** argv)
{
    const IsolatedUserState userState; // before anything reads the environment
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
