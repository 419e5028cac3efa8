#pragma once
// Writing to a file descriptor until everything is out: short writes and
// interrupted calls are retried, any other error is a failure.
#include <cstddef>

namespace ks {
bool WriteAll(int fd, const void* data, std::size_t size);
} // namespace ks
