#pragma once
// The tap dates a character when its reader thread gets to read it: on a
// loaded machine an ordinary thread may wait tens of milliseconds for a
// core, and the first character on a quiet direction is then dated that
// much late. The reader asks for a real-time slot where the system grants
// one (RLIMIT_RTPRIO or the privilege to), else for a better nice value
// (RLIMIT_NICE); when it gets neither it says so on standard error, once
// per process.
namespace tap {

// For the calling thread.
void RaiseReaderPriority();

} // namespace tap
