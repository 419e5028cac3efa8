#include "DoDevwatch.h"

#include "DebugLog.h"
#include "MessageService.h"
#include "ProgramPaths.h"

#include <QString>

#include <dlfcn.h>

int DoDevwatch(QObject* window)
{
    // Always an absolute path: a bare name would search the system's
    // library path, never the program directory.
    if (ks::ProgramDirectory().empty()) return 0;
    return DoDevwatch(window, ks::ProgramDirectory() + kDevwatchLibraryName);
}

int DoDevwatch(QObject* window, const std::string& libraryPath)
{
    void* library = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = ::dlerror();
        ks::OutputDebugString(QStringLiteral("Device notifications not registered: %1")
                                  .arg(QString::fromLocal8Bit(why ? why : libraryPath.c_str())));
        return 0;
    }
    using RegisterFn = int (*)(void*);
    auto registerWindow = reinterpret_cast<RegisterFn>(::dlsym(library, "RegisterDeviceInterface"));
    if (!registerWindow) {
        ks::ReportMessage(QStringLiteral("DoDevwatch(),get function error"));
        ::dlclose(library);
        return 0;
    }
    const int result = registerWindow(window);
    ::dlclose(library);
    return result;
}
