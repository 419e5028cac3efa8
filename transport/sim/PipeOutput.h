#pragma once
// Records on their way into the program's pipe. A transport never blocks on
// a slow reader: it writes what the pipe takes now and keeps the rest.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace sim {

// Writes `out` from `outPos` on into `fd` in chunks until the pipe is full
// (the descriptor is non-blocking) and advances `outPos`. A pipe that nobody
// reads any more drops what is queued. The queue is emptied when all of it
// went out, and compacted once more than 1 MB of it has.
void FlushToPipe(int fd, std::vector<uint8_t>& out, std::size_t& outPos);

// The end of a link: what is queued goes to the program for at most half a
// second (or until `quit`), then the pipe is closed so that the program reads
// end of file and reports a lost probe. `held` is the caller's lock, held on
// entry and on return and let go during each wait for room in the pipe.
void DrainAndClosePipe(int& fd, std::vector<uint8_t>& out, std::size_t& outPos, std::mutex& held, const bool& quit);

} // namespace sim
