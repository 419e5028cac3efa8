#pragma once
// Records on their way into the program's pipe. A transport never blocks on
// a slow reader: it writes what the pipe takes now and keeps the rest.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

// Writes `out` from `outPos` on into `fd` in chunks until the pipe is full
// (the descriptor is non-blocking) and advances `outPos`. A pipe that nobody
// reads any more drops what is queued. The queue is emptied when all of it
// went out, and compacted once more than 1 MB of it has.
void FlushToPipe(int fd, std::vector<uint8_t>& out, std::size_t& outPos);

} // namespace sim
