// Kestrane: a line monitor for RS-232 links.
#include "CAnalyzerApp.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Without a display Qt would abort; say what is missing instead.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "kestrane: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                             "Run it on a desktop, or under a virtual one, e.g.: xvfb-run -a %s\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setOrganizationName(QStringLiteral("Velmora"));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    int result = 1;
    {
        CAnalyzerApp app;
        // What Qt left of argv, byte for byte: the arguments above decoded.
        app.SetArgumentBytes(std::vector<std::string>(argv + 1, argv + argc));
        if (app.InitInstance(arguments)) result = QApplication::exec();
    }
    return result;
}
