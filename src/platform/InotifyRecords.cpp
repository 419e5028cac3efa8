#include "InotifyRecords.h"

#include <cstring>

#include <sys/inotify.h>

namespace ks {

std::size_t ForEachInotifyRecord(const void* buffer, std::size_t length,
                                 const std::function<void(int watch, uint32_t mask, std::string_view name)>& record)
{
    const auto* bytes = static_cast<const char*>(buffer);
    std::size_t offset = 0;
    std::size_t count = 0;
    constexpr std::size_t kFixed = sizeof(inotify_event);
    while (bytes && length - offset >= kFixed) {
        // The buffer carries no alignment promise for us: copy the fixed part.
        inotify_event event;
        std::memcpy(&event, bytes + offset, kFixed);
        if (event.len > length - offset - kFixed) break;
        const char* name = bytes + offset + kFixed;
        const std::size_t nameLength = event.len ? ::strnlen(name, event.len) : 0;
        record(event.wd, event.mask, std::string_view(name, nameLength));
        ++count;
        offset += kFixed + event.len;
    }
    return count;
}

} // namespace ks
