#include "StorageInfo.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace series {
namespace {

// Nested devices (LVM on LUKS on a partition, a loop file on another disk)
// are followed this deep; anything deeper is not a plain local disk.
constexpr int kMaxDepth = 6;

bool In(std::string_view value, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// mountinfo writes space, tab, newline and backslash as \ooo.
std::string Unescape(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && field.size() - i >= 4) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string ReadSmallFile(const std::string& path, std::size_t limit = 1 << 20)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text;
    char chunk[4096];
    while (text.size() < limit && in.read(chunk, sizeof chunk).gcount() > 0) text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > limit) text.resize(limit);
    return text;
}

std::string FirstLine(const std::string& text)
{
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

// The nearest existing directory at or above `path`, resolved.
std::string ExistingAncestor(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(path.empty() ? fs::path(".") : fs::path(path), ec);
    if (ec) return {};
    for (int guard = 0; guard < 4096; ++guard) {
        const fs::path resolved = fs::canonical(p, ec);
        if (!ec) return resolved.string();
        if (!p.has_relative_path()) return {};
        p = p.parent_path();
    }
    return {};
}

// The value of `key=` in a comma-separated option list.
std::string OptionValue(const std::string& options, const std::string& key)
{
    std::size_t start = 0;
    while (start <= options.size()) {
        std::size_t end = options.find(',', start);
        if (end == std::string::npos) end = options.size();
        const std::string_view item(options.data() + start, end - start);
        if (StartsWith(item, key + "=")) return std::string(item.substr(key.size() + 1));
        start = end + 1;
    }
    return {};
}

} // namespace

const char* StorageKindName(StorageKind kind)
{
    switch (kind) {
    case StorageKind::LocalFixed: return "local fixed disk";
    case StorageKind::Removable: return "removable medium";
    case StorageKind::Network: return "network file system";
    case StorageKind::RamBacked: return "RAM-backed file system";
    case StorageKind::NotADisk: return "not a disk";
    case StorageKind::Unknown: return "unknown";
    }
    return "unknown";
}

uint64_t FreeBytes(const std::string& path)
{
    struct statvfs st {};
    if (::statvfs(path.empty() ? "." : path.c_str(), &st) != 0) return 0;
    const uint64_t blocks = st.f_bavail;
    const uint64_t size = st.f_frsize;
    if (size != 0 && blocks > UINT64_MAX / size) return UINT64_MAX;
    return blocks * size;
}

std::vector<MountEntry> ParseMountInfo(const std::string& text)
{
    std::vector<MountEntry> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::vector<std::string> fields;
        std::string field;
        while (in >> field) fields.push_back(field);
        // id parent major:minor root mountpoint options [optional...] - type source superoptions
        if (fields.size() < 9) continue;
        const auto dash = std::find(fields.begin() + 6, fields.end(), "-");
        if (fields.end() - dash < 3) continue;
        MountEntry m;
        const std::string& numbers = fields[2];
        const std::size_t colon = numbers.find(':');
        if (colon == std::string::npos) continue;
        char* end = nullptr;
        const unsigned long major = std::strtoul(numbers.c_str(), &end, 10);
        if (end != numbers.c_str() + colon) continue;
        const unsigned long minor = std::strtoul(numbers.c_str() + colon + 1, &end, 10);
        if (*end != '\0' || major > UINT_MAX || minor > UINT_MAX) continue;
        m.major = static_cast<unsigned>(major);
        m.minor = static_cast<unsigned>(minor);
        m.mountPoint = Unescape(fields[4]);
        m.fsType = dash[1];
        m.source = Unescape(dash[2]);
        m.superOptions = dash + 3 < fields.end() ? dash[3] : std::string();
        if (m.mountPoint.empty() || m.mountPoint[0] != '/') continue;
        mounts.push_back(std::move(m));
    }
    return mounts;
}

const MountEntry* FindMount(const std::vector<MountEntry>& mounts, const std::string& path)
{
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts) {
        const std::string& mp = m.mountPoint;
        const bool contains = mp == "/" ||
            (StartsWith(path, mp) && (path.size() == mp.size() || path[mp.size()] == '/'));
        if (!contains) continue;
        if (!best || mp.size() >= best->mountPoint.size()) best = &m;
    }
    return best;
}

StorageKind KindOfFileSystemType(const std::string& type)
{
    if (In(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "coda", "9p", "ceph", "glusterfs",
                  "lustre", "gfs2", "ocfs2", "orangefs", "beegfs", "gpfs", "davfs", "virtiofs",
                  "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.gvfsd-fuse", "fuse.glusterfs", "fuse.davfs2"}))
        return StorageKind::Network;
    if (In(type, {"tmpfs", "ramfs", "hugetlbfs", "devtmpfs"})) return StorageKind::RamBacked;
    if (In(type, {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs", "reiserfs", "reiser4", "nilfs2",
                  "bcachefs", "vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk", "hfs", "hfsplus", "udf",
                  "iso9660", "zfs", "overlay"}))
        return StorageKind::LocalFixed;
    if (In(type, {"proc", "sysfs", "devpts", "cgroup", "cgroup2", "debugfs", "tracefs", "securityfs", "pstore",
                  "bpf", "mqueue", "configfs", "fusectl", "binfmt_misc", "autofs", "efivarfs", "selinuxfs",
                  "rpc_pipefs", "nsfs", "squashfs", "cramfs", "erofs"}) ||
        StartsWith(type, "fuse"))
        return StorageKind::NotADisk;
    return StorageKind::Unknown;
}

StorageProbe::StorageProbe(std::string proc, std::string sys) : procRoot(std::move(proc)), sysRoot(std::move(sys)) {}

StorageKind StorageProbe::KindOf(const std::string& directory) const { return KindOf(directory, 0); }

StorageKind StorageProbe::KindOf(const std::string& directory, int depth) const
{
    if (depth > kMaxDepth) return StorageKind::Unknown;
    const std::string path = ExistingAncestor(directory);
    if (path.empty()) return StorageKind::Unknown;
    const std::vector<MountEntry> mounts = ParseMountInfo(ReadSmallFile(procRoot + "/self/mountinfo"));
    const MountEntry* mount = FindMount(mounts, path);
    if (!mount) return StorageKind::Unknown;
    return KindOfMount(*mount, depth);
}

StorageKind StorageProbe::KindOfMount(const MountEntry& mount, int depth) const
{
    const StorageKind byType = KindOfFileSystemType(mount.fsType);
    if (byType != StorageKind::LocalFixed) return byType;
    if (mount.fsType == "overlay") {
        // Containers write to an overlay whose upper layer lives on the
        // host's disk; a live system's overlay may sit on tmpfs. Judge the
        // upper layer when it is visible here; otherwise it counts as local.
        const std::string upper = OptionValue(mount.superOptions, "upperdir");
        if (!upper.empty() && std::filesystem::exists(upper)) return KindOf(upper, depth + 1);
        return StorageKind::LocalFixed;
    }
    // The device: the source node when it is one (btrfs shows an anonymous
    // number in mountinfo), else mountinfo's own numbers.
    unsigned major = 0, minor = 0;
    struct stat st {};
    if (StartsWith(mount.source, "/dev/") && ::stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
        major = ::major(st.st_rdev);
        minor = ::minor(st.st_rdev);
    } else if (mount.major != 0) {
        major = mount.major;
        minor = mount.minor;
    } else {
        // A disk file system without a device of its own (a ZFS dataset):
        // nothing says it is not local.
        return StorageKind::LocalFixed;
    }
    return KindOfDeviceDir(sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor), depth);
}

StorageKind StorageProbe::KindOfBlockDevice(unsigned major, unsigned minor) const
{
    return KindOfDeviceDir(sysRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor), 0);
}

StorageKind StorageProbe::KindOfDeviceDir(const std::string& sysPath, int depth) const
{
    namespace fs = std::filesystem;
    if (depth > kMaxDepth) return StorageKind::Unknown;
    std::error_code ec;
    fs::path device = fs::canonical(sysPath, ec);
    // No sysfs entry: the device cannot be judged, and only a disk we can
    // see is known to be local and fixed.
    if (ec) return StorageKind::Unknown;
    // A partition's attributes are those of its disk.
    if (fs::exists(device / "partition", ec)) device = device.parent_path();
    const std::string name = device.filename().string();
    if (StartsWith(name, "zram") || (StartsWith(name, "ram") && name.size() > 3 && std::isdigit(static_cast<unsigned char>(name[3]))))
        return StorageKind::RamBacked;
    if (StartsWith(name, "nbd") || StartsWith(name, "rbd") || StartsWith(name, "drbd")) return StorageKind::Network;
    if (StartsWith(name, "sr")) return StorageKind::Removable;
    if (FirstLine(ReadSmallFile((device / "removable").string(), 64)) == "1") return StorageKind::Removable;

    // A loop device is as good as the disk that holds its backing file.
    const std::string backing = FirstLine(ReadSmallFile((device / "loop" / "backing_file").string(), 8192));
    if (!backing.empty()) {
        const fs::path parent = fs::path(backing).parent_path();
        return KindOf(parent.empty() ? std::string("/") : parent.string(), depth + 1);
    }
    // Mapped devices (LVM, encryption, RAID) are as good as the worst device
    // below them.
    const fs::path slaves = device / "slaves";
    if (fs::is_directory(slaves, ec)) {
        StorageKind worst = StorageKind::LocalFixed;
        for (const auto& entry : fs::directory_iterator(slaves, ec)) {
            const StorageKind below = KindOfDeviceDir(entry.path().string(), depth + 1);
            if (below != StorageKind::LocalFixed) worst = below;
        }
        return worst;
    }
    return StorageKind::LocalFixed;
}

} // namespace series
