#pragma once
// Running a piece of a test in a forked child process.
//
// RunInChild bounds something that might hang (opening a FIFO): the child is
// killed when it overstays. RunUnprivileged is for tests of read-only folders
// and unreadable files: permission bits do not bind root, and CI runs the
// suite as root, so as root the body runs in a child that has given up its
// privileges (it becomes "nobody"); as anyone else it runs directly.
//
// A child sees the memory the caller had at the call, but what it changes
// stays its own: it reports through its result (0..254) or through files.
#include <functional>
#include <string>

// The body's result; -1 when it did not finish within `timeoutMs` or the
// child could not be set up.
int RunInChild(const std::function<int()>& body, int timeoutMs = 30000);
int RunUnprivileged(const std::function<int()>& body, int timeoutMs = 30000);

// Folder permissions for the body's user: reachable (0755), writable (0777).
void MakeReachable(const std::string& path);
void MakeWritableForAll(const std::string& path);
