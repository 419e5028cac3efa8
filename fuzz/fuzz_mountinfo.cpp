// The mount-table reader on arbitrary text: malformed lines, broken escapes,
// huge numbers, missing fields. Every entry it keeps must have an absolute
// mount point, and finding the mount of a path must only ever return one of
// those entries.
#include "StorageInfo.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<series::MountEntry> mounts = series::ParseMountInfo(text);
    for (const series::MountEntry& m : mounts) {
        if (m.mountPoint.empty() || m.mountPoint[0] != '/') std::abort();
        (void)series::KindOfFileSystemType(m.fsType);
    }
    for (const char* path : {"/", "/home/user/logs", "/mnt", "/mnt/usb stick/x"}) {
        const series::MountEntry* found = series::FindMount(mounts, path);
        if (found && (found < mounts.data() || found >= mounts.data() + mounts.size())) std::abort();
    }
    return 0;
}
