// The settings-file reader and writer on arbitrary file contents: garbage
// values, huge lines, missing final newlines, stray brackets and quotes. The
// input is written to one temporary file per run. Reads must stay within the
// caller's buffer, and a value that was just written must read back, with the
// other keys unchanged.
#include "Profile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

const std::string& IniPath()
{
    static const std::string path = [] {
        // The writer syncs each file to disk; a memory file system keeps
        // that from dominating the run.
        const char* dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string p = std::string(dir) + "/ks-fuzz-ini-" + std::to_string(::getpid()) + ".ini";
        std::atexit([] { std::remove(IniPath().c_str()); });
        return p;
    }();
    return path;
}

bool WriteInput(const uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(IniPath().c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (!WriteInput(data, size)) return 0;
    const std::string& path = IniPath();

    // Text reads never run past the buffer and always terminate it. (A value
    // may hold zero bytes of its own; callers stop at the first.)
    char small[7];
    std::memset(small, 0x5A, sizeof small);
    const std::size_t n = ks::GetPrivateProfileStringA("BufSetting", "FileNum", "1", small, 7, path);
    Require(n <= 6 && small[n] == '\0');
    char one[1] = {'x'};
    Require(ks::GetPrivateProfileStringA("Find", "FindStr", "", one, 1, path) == 0 && one[0] == '\0');

    const int data0 = ks::GetPrivateProfileIntA("DisplayMode", "Data", 1, path);
    const int baud0 = ks::GetPrivateProfileIntA("COM", "Baudrate", 10, path);
    const std::string des0 = ks::GetPrivateProfileString("BufSetting", "DesPath", "none", 259, path);

    if (!ks::WritePrivateProfileStringA("DisplayMode", "cxLine", "-12345", path)) return 0;
    Require(ks::GetPrivateProfileIntA("DisplayMode", "cxLine", -1, path) == -12345);
    Require(ks::GetPrivateProfileIntA("DisplayMode", "Data", 1, path) == data0);
    Require(ks::GetPrivateProfileIntA("COM", "Baudrate", 10, path) == baud0);
    Require(ks::GetPrivateProfileString("BufSetting", "DesPath", "none", 259, path) == des0);
    return 0;
}
