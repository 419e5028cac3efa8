// ks-probe: pulls the simulated probe out and plugs it in again while the
// program runs, as a hand would with the real one.
//
//   ks-probe [--dir DIR] pull | plug | status
//
// DIR is the directory of the simulated probe's library, by default this
// command's own directory (they are installed side by side).
#include "SimControlFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: ks-probe [--dir DIR] pull | plug | status\n");
    return 2;
}

std::string OwnDirectory()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir = OwnDirectory();
    std::string command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dir" && i + 1 < argc) dir = argv[++i];
        else if (arg == "-h" || arg == "--help") return Usage(), 0;
        else if (command.empty() && arg[0] != '-') command = arg;
        else return Usage();
    }
    const std::filesystem::path marker = std::filesystem::path(dir) / sim::kUnpluggedFileName;
    std::error_code ec;

    if (command == "pull") {
        std::ofstream out(marker);
        out << "The simulated probe is pulled out while this file exists.\n";
        if (!out) {
            std::fprintf(stderr, "ks-probe: cannot write %s: %s\n", marker.c_str(), std::strerror(errno));
            return 1;
        }
        std::printf("probe pulled out\n");
        return 0;
    }
    if (command == "plug") {
        std::filesystem::remove(marker, ec);
        if (ec) {
            std::fprintf(stderr, "ks-probe: cannot remove %s: %s\n", marker.c_str(), ec.message().c_str());
            return 1;
        }
        std::printf("probe plugged in\n");
        return 0;
    }
    if (command == "status") {
        std::printf("%s\n", std::filesystem::exists(marker, ec) ? "probe pulled out" : "probe plugged in");
        return 0;
    }
    return Usage();
}
