// Which storage a directory is on: the mount table as the kernel writes it,
// the mount that holds a path, and the devices below it, judged through a
// /proc and /sys laid out in a temporary folder (this machine has no
// removable or network disks to show), then on this machine's own pseudo
// and RAM file systems.
#include "StorageInfo.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using series::MountEntry;
using series::StorageKind;
using series::StorageProbe;

TEST(MountTable, ParsesTheKernelsLinesAndFindsTheMountThatHoldsAPath)
{
    const std::string text =
        "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
        "27 1 254:0 / / rw,relatime shared:1 master:2 - ext4 /dev/vda rw,discard\n"
        "40 27 8:17 / /media/usb\\040stick rw - vfat /dev/sdb1 rw\n"
        "41 27 0:50 / /mnt rw - nfs4 server:/export rw,vers=4.2\n"
        "42 41 0:51 / /mnt rw - tmpfs tmpfs rw\n"  // mounted over the NFS mount
        "garbage line\n"
        "43 27 x:y / /broken rw - ext4 /dev/sdc rw\n"
        "44 27 8:32 / /mnt2 rw -\n";
    const std::vector<MountEntry> mounts = series::ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 5u);
    EXPECT_EQ(mounts[1].major, 254u);
    EXPECT_EQ(mounts[1].fsType, "ext4") << "optional fields before the dash are skipped";
    EXPECT_EQ(mounts[2].mountPoint, "/media/usb stick");
    EXPECT_EQ(mounts[2].minor, 17u);

    auto at = [&](const std::string& path) {
        const MountEntry* m = series::FindMount(mounts, path);
        return m ? m->mountPoint + " " + m->fsType : std::string("none");
    };
    EXPECT_EQ(at("/home/user"), "/ ext4");
    EXPECT_EQ(at("/media/usb stick/logs"), "/media/usb stick vfat");
    EXPECT_EQ(at("/mnt/logs"), "/mnt tmpfs") << "the later mount hides the earlier";
    EXPECT_EQ(at("/mntx"), "/ ext4") << "a mount point counts only at a component boundary";
    EXPECT_EQ(at("/proc"), "/proc proc");
}

TEST(MountTable, FileSystemTypesFallIntoTheirKinds)
{
    struct Case {
        const char* type;
        StorageKind kind;
    } cases[] = {
        {"ext4", StorageKind::LocalFixed}, {"xfs", StorageKind::LocalFixed}, {"btrfs", StorageKind::LocalFixed},
        {"vfat", StorageKind::LocalFixed}, {"fuseblk", StorageKind::LocalFixed},
        {"nfs4", StorageKind::Network},    {"cifs", StorageKind::Network},   {"fuse.sshfs", StorageKind::Network},
        {"tmpfs", StorageKind::RamBacked}, {"ramfs", StorageKind::RamBacked},
        {"proc", StorageKind::NotADisk},   {"fuse.someday", StorageKind::NotADisk},
        {"weirdfs", StorageKind::Unknown},
    };
    for (const Case& c : cases) EXPECT_EQ(series::KindOfFileSystemType(c.type), c.kind) << c.type;
}

namespace {

// A /proc and /sys of our own: block devices with their attributes and the
// links sysfs makes for them.
class FakeSystem {
public:
    FakeSystem()
    {
        proc = dir.Path("proc");
        sys = dir.Path("sys");
        std::filesystem::create_directories(proc + "/self");
        std::filesystem::create_directories(sys + "/dev/block");
    }

    // A disk with `removable`, and its partitions numbered from minor + 1.
    void Disk(const std::string& name, unsigned major, unsigned minor, bool removable, int partitions = 1)
    {
        const std::string disk = sys + "/block/" + name;
        std::filesystem::create_directories(disk + "/slaves");
        WriteFileText(disk + "/removable", removable ? "1\n" : "0\n");
        Link(major, minor, "../../block/" + name);
        for (int p = 1; p <= partitions; ++p) {
            const std::string part = disk + "/" + name + std::to_string(p);
            std::filesystem::create_directories(part);
            WriteFileText(part + "/partition", std::to_string(p) + "\n");
            Link(major, minor + static_cast<unsigned>(p), "../../block/" + name + "/" + name + std::to_string(p));
        }
    }
    // A mapped device (LVM, encryption) over `below` (a sysfs block path).
    void Mapped(const std::string& name, unsigned major, unsigned minor, const std::string& below)
    {
        const std::string disk = sys + "/block/" + name;
        std::filesystem::create_directories(disk + "/slaves");
        WriteFileText(disk + "/removable", "0\n");
        std::filesystem::create_directory_symlink("../../../" + below, disk + "/slaves/x");
        Link(major, minor, "../../block/" + name);
    }
    void Loop(unsigned minor, const std::string& backingFile)
    {
        const std::string disk = sys + "/block/loop" + std::to_string(minor);
        std::filesystem::create_directories(disk + "/loop");
        WriteFileText(disk + "/removable", "0\n");
        WriteFileText(disk + "/loop/backing_file", backingFile + "\n");
        Link(7, minor, "../../block/loop" + std::to_string(minor));
    }
    void Mounts(const std::string& text) { WriteFileText(proc + "/self/mountinfo", text); }
    StorageProbe Probe() const { return StorageProbe(proc, sys); }

    TempDir dir;
    std::string proc;
    std::string sys;

private:
    void Link(unsigned major, unsigned minor, const std::string& target)
    {
        std::filesystem::create_directory_symlink(target, sys + "/dev/block/" + std::to_string(major) + ":" +
                                                               std::to_string(minor));
    }
};

std::string MountLine(const std::string& point, const std::string& numbers, const std::string& type,
                      const std::string& source = "none", const std::string& options = "rw")
{
    return "1 1 " + numbers + " / " + point + " rw - " + type + " " + source + " " + options + "\n";
}

} // namespace

TEST(StorageProbe, DevicesDecideForDiskFileSystems)
{
    FakeSystem fake;
    fake.Disk("sda", 8, 0, false);
    fake.Disk("sdb", 8, 16, true);
    fake.Disk("zram0", 252, 0, false, 0);
    fake.Mapped("dm-0", 253, 0, "block/sdb/sdb1"); // an encrypted stick
    fake.Mapped("dm-1", 253, 1, "block/sda/sda1"); // LVM on the fixed disk

    // Real directories to judge, each under a mount point of the fake table.
    const std::string root = fake.dir.Path("mnt");
    const char* names[] = {"fixed", "stick", "swapram", "crypt", "lvm", "share", "ram", "nodev", "loopram"};
    for (const char* n : names) std::filesystem::create_directories(root + "/" + n + "/logs");
    fake.Loop(0, root + "/ram/disk.img");
    fake.Mounts(MountLine("/", "254:0", "ext4", "/dev/vda") +
                MountLine(root + "/fixed", "8:1", "ext4", "/dev/nonexistent-sda1") +
                MountLine(root + "/stick", "8:17", "vfat", "/dev/nonexistent-sdb1") +
                MountLine(root + "/swapram", "252:0", "ext4") +
                MountLine(root + "/crypt", "253:0", "ext4") +
                MountLine(root + "/lvm", "253:1", "xfs") +
                MountLine(root + "/share", "0:60", "nfs4", "server:/x") +
                MountLine(root + "/ram", "0:61", "tmpfs", "tmpfs") +
                MountLine(root + "/nodev", "8:99", "ext4") +
                MountLine(root + "/loopram", "7:0", "ext4"));
    const StorageProbe probe = fake.Probe();
    auto kind = [&](const std::string& n) { return probe.KindOf(root + "/" + n + "/logs"); };
    EXPECT_EQ(kind("fixed"), StorageKind::LocalFixed);
    EXPECT_EQ(kind("stick"), StorageKind::Removable) << "a partition is judged by its disk";
    EXPECT_EQ(kind("swapram"), StorageKind::RamBacked);
    EXPECT_EQ(kind("crypt"), StorageKind::Removable) << "a mapped device is as good as what is below it";
    EXPECT_EQ(kind("lvm"), StorageKind::LocalFixed);
    EXPECT_EQ(kind("share"), StorageKind::Network);
    EXPECT_EQ(kind("ram"), StorageKind::RamBacked);
    EXPECT_EQ(kind("nodev"), StorageKind::Unknown) << "a device sysfs does not know is not taken for a disk";
    EXPECT_EQ(kind("loopram"), StorageKind::RamBacked) << "a loop device is as good as its backing file's disk";
    EXPECT_EQ(probe.KindOf(root + "/stick/not/yet/made"), StorageKind::Removable)
        << "a directory still to be made is judged by its nearest parent";
}

TEST(StorageProbe, ThisMachinesPseudoAndRamFileSystemsAreRefused)
{
    const StorageProbe probe;
    EXPECT_EQ(probe.KindOf("/proc/self"), StorageKind::NotADisk);
    if (std::filesystem::is_directory("/dev/shm")) {
        EXPECT_EQ(probe.KindOf("/dev/shm"), StorageKind::RamBacked);
    }
    EXPECT_EQ(series::FreeBytes("/no/such/directory"), 0u);
    TempDir dir;
    EXPECT_GT(series::FreeBytes(dir.Root()), 0u);
}
