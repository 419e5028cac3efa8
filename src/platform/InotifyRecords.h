#pragma once
// Walks the records one read() of an inotify descriptor returned. The kernel
// packs variable-length records (a fixed part and a zero-padded name); the
// walk checks every length against the buffer, so a short or damaged read
// ends it instead of reading past the end.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace ks {

// Calls `record` with each record's watch descriptor, event mask and name (up
// to its first zero byte; empty for events on the watched directory itself). Returns the number
// of whole records seen.
std::size_t ForEachInotifyRecord(const void* buffer, std::size_t length,
                                 const std::function<void(int watch, uint32_t mask, std::string_view name)>& record);

} // namespace ks
