// Test main for the udev notice tests: they run under umockdev's preload
// library, which gives the process a fake /sys and a fake udev event socket.
// Started without it, the binary starts itself again with it, so that CTest
// and a person can run it like any other test binary.
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";

bool Preloaded()
{
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload") != nullptr;
}

void Append(const char* variable, const std::string& option)
{
    const char* value = std::getenv(variable);
    std::string next = value && *value ? std::string(value) + ":" + option : option;
    ::setenv(variable, next.c_str(), 1);
}

} // namespace

int main(int argc, char** argv)
{
    if (!Preloaded()) {
        const char* preload = std::getenv("LD_PRELOAD");
        const std::string value = preload && *preload ? std::string(kPreload) + ":" + preload : std::string(kPreload);
        ::setenv("LD_PRELOAD", value.c_str(), 1);
#if defined(__SANITIZE_ADDRESS__)
        // The address sanitizer insists on coming first among the libraries
        // loaded at start; the preload library comes before it here.
        Append("ASAN_OPTIONS", "verify_asan_link_order=0");
#endif
        ::execv("/proc/self/exe", argv);
        std::perror("re-running under the umockdev preload library");
        return 1;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
