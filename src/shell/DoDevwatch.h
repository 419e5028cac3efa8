#pragma once
// Registers a window for the probe's arrival and removal notices through the
// device-notification library beside the program: loaded by name, its one
// export called with the window, unloaded again. The registration lives on in
// the platform layer for as long as the window.
#include <string>

class QObject;

// The library's file name in the program directory.
inline constexpr const char* kDevwatchLibraryName = "libDevwatch.so";

// 1 when the window was registered, 0 otherwise. A missing library is not
// reported (the program then runs without notices); a library without the
// export is, once per call: "DoDevwatch(),get function error".
int DoDevwatch(QObject* window);
// The same with the library at `libraryPath`.
int DoDevwatch(QObject* window, const std::string& libraryPath);
