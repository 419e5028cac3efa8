#pragma once
// The store lock. One mutex serialises every access to a CLines that may meet
// another thread: the dispatch thread takes it around each burst of appends
// (and the trim at its end), the UI thread around idle-time and start/stop
// appends, loading, clearing and every paint, find or print that reads lines.
// CLines itself takes no lock, so one burst costs one lock, not one per record.
// The view owns the lock in the program; tools that have a single writer may
// do without it.
#include <mutex>

using CStoreLock = std::mutex;
using CStoreGuard = std::lock_guard<std::mutex>;
