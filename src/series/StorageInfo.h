#pragma once
// What holds a directory: how much of it this process may still write, and
// whether it is a local fixed disk. Series are recorded onto local fixed
// disks only (see docs/series.md for which file systems count and why): a
// network share can stall or vanish under a running series, a removable
// medium can be pulled, and a RAM-backed file system loses everything at the
// next power cut while it eats the memory the capture needs.
#include <cstdint>
#include <string>
#include <vector>

namespace series {

enum class StorageKind {
    LocalFixed, // a disk file system on a non-removable local device
    Removable,  // a removable medium (stick, card, optical disc)
    Network,    // a network file system or network block device
    RamBacked,  // tmpfs, ramfs, zram and the like
    NotADisk,   // proc, sysfs and other pseudo file systems, FUSE of unknown kind
    Unknown,    // the mount could not be found
};

const char* StorageKindName(StorageKind kind);

// Bytes this process may still write below `path` (free blocks available to
// an unprivileged writer, not those the file system keeps for root, which a
// user's writes never get); 0 when the file system cannot be asked.
uint64_t FreeBytes(const std::string& path);

// One line of /proc/<pid>/mountinfo.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string mountPoint;
    std::string fsType;
    std::string source;
    std::string superOptions;
};

// Parses mountinfo text; malformed lines are skipped, escapes (\040 ...)
// in mount points and sources are decoded.
std::vector<MountEntry> ParseMountInfo(const std::string& text);

// The mount that holds `path` (absolute and resolved): the longest mount
// point containing it; of equal ones the later, which hides the earlier.
// Null when none does.
const MountEntry* FindMount(const std::vector<MountEntry>& mounts, const std::string& path);

// What the file-system type alone tells: Network, RamBacked, NotADisk, or
// LocalFixed for a disk file system (whose device then decides), Unknown for
// a type not known here.
StorageKind KindOfFileSystemType(const std::string& fsType);

// Looks at the running system through the given /proc and /sys roots.
class StorageProbe {
public:
    explicit StorageProbe(std::string procRoot = "/proc", std::string sysRoot = "/sys");

    // The storage holding `directory`; a directory that does not exist yet is
    // judged by its nearest existing parent.
    StorageKind KindOf(const std::string& directory) const;

    // A block device by number, as sysfs describes it.
    StorageKind KindOfBlockDevice(unsigned major, unsigned minor) const;

private:
    StorageKind KindOf(const std::string& directory, int depth) const;
    StorageKind KindOfMount(const MountEntry& mount, int depth) const;
    StorageKind KindOfDeviceDir(const std::string& sysPath, int depth) const;

    std::string procRoot;
    std::string sysRoot;
};

} // namespace series
