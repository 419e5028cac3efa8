// ks-probe: pulls the simulated probe out and plugs it in again while the
// program runs, as a hand would with the real one.
//
//   ks-probe [--dir DIR] pull | plug | status
//
// DIR is the directory of the simulated probe's library, by default this
// command's own directory (they are installed side by side). The probe is
// pulled out while its marker file exists there or in the per-user
// configuration folder; a user who cannot write beside an installed library
// pulls it through the per-user one.
#include "SimControlFiles.h"
#include "UserConfigDirectory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kUsage = "usage: ks-probe [--dir DIR] pull | plug | status\n";

constexpr const char* kHelp =
    "Pulls Kestrane's simulated probe out and plugs it in again while a program uses it.\n"
    "\n"
    "  pull    pull the probe out\n"
    "  plug    plug it in again\n"
    "  status  say whether it is plugged in, and where the marker file is\n"
    "\n"
    "  --dir DIR   the folder of the simulated probe's library (default: this\n"
    "              command's own folder)\n"
    "\n"
    "The probe is pulled out while a file ks-sim-probe.unplugged exists beside its\n"
    "library or in the per-user folder ($XDG_CONFIG_HOME/Kestrane, else\n"
    "~/.config/Kestrane). pull writes it beside the library when that folder takes a\n"
    "new file, else in the per-user folder; plug removes it from both.\n";

constexpr const char* kMarkerText = "The simulated probe is pulled out while this file exists.\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

std::string OwnDirectory()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

bool IsFolder(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes the marker in `directory`; false with the reason in `error`. Trying
// is the only sure test: permission bits do not bind root, and a read-only
// mount refuses whatever the bits say.
bool WriteMarker(const std::string& directory, std::string& error)
{
    const std::string path = sim::ControlFile(directory, sim::kUnpluggedFileName);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // The file's presence is what counts; its text is for whoever finds it.
    const ssize_t ignored = ::write(fd, kMarkerText, std::strlen(kMarkerText));
    (void)ignored;
    ::close(fd);
    return true;
}

void SayWhere(const std::vector<std::string>& markers)
{
    for (const std::string& marker : markers) std::printf("marker: %s\n", marker.c_str());
}

int Pull(const std::vector<std::string>& dirs)
{
    const std::vector<std::string> markers = sim::MarkersIn(dirs);
    if (!markers.empty()) {
        std::printf("probe pulled out (it already was)\n");
        SayWhere(markers);
        return 0;
    }
    std::string besideError;
    if (WriteMarker(dirs.front(), besideError)) {
        std::printf("probe pulled out\n");
        SayWhere({sim::ControlFile(dirs.front(), sim::kUnpluggedFileName)});
        return 0;
    }
    if (dirs.size() < 2) {
        std::fprintf(stderr, "ks-probe: cannot write %s, and there is no per-user folder (HOME is not set)\n",
                     besideError.c_str());
        return 1;
    }
    const std::string& user = dirs[1];
    std::string userError;
    if (!sim::MakeDirectories(user, userError) || !WriteMarker(user, userError)) {
        std::fprintf(stderr, "ks-probe: cannot write %s, nor %s\n", besideError.c_str(), userError.c_str());
        return 1;
    }
    std::printf("probe pulled out\n");
    SayWhere({sim::ControlFile(user, sim::kUnpluggedFileName)});
    return 0;
}

int Plug(const std::vector<std::string>& dirs)
{
    int status = 0;
    for (const std::string& marker : sim::MarkersIn(dirs)) {
        if (::unlink(marker.c_str()) == 0 || errno == ENOENT) continue;
        // Most likely written by the folder's owner (root, beside an
        // installed library): only that user can remove it.
        const int error = errno;
        std::fprintf(stderr, "ks-probe: cannot remove %s: %s%s\n", marker.c_str(), std::strerror(error),
                     error == EACCES || error == EPERM ? " (the folder's owner can)" : "");
        status = 1;
    }
    if (status != 0) {
        std::printf("probe still pulled out\n");
        SayWhere(sim::MarkersIn(dirs));
        return status;
    }
    std::printf("probe plugged in\n");
    return 0;
}

int Status(const std::vector<std::string>& dirs)
{
    const std::vector<std::string> markers = sim::MarkersIn(dirs);
    std::printf("%s\n", markers.empty() ? "probe plugged in" : "probe pulled out");
    SayWhere(markers);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir = OwnDirectory();
    std::string command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dir" && i + 1 < argc) dir = argv[++i];
        else if (arg == "-h" || arg == "--help") return std::fputs(kUsage, stdout), std::fputs(kHelp, stdout), 0;
        else if (command.empty() && !arg.empty() && arg[0] != '-') command = arg;
        else return Usage();
    }
    if (command != "pull" && command != "plug" && command != "status") return Usage();
    if (!IsFolder(dir)) {
        // A mistyped --dir would otherwise pull every simulated probe of
        // this user through the per-user folder.
        std::fprintf(stderr, "ks-probe: %s is not a folder\n", dir.c_str());
        return 1;
    }
    const std::vector<std::string> dirs = sim::ControlDirectories(dir, sim::UserConfigDirectory());
    if (command == "pull") return Pull(dirs);
    if (command == "plug") return Plug(dirs);
    return Status(dirs);
}
