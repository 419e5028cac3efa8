#pragma once
// Where a transport finds its own files: the folder its library was loaded
// from (each transport library that compiles this asks about itself).
#include <string>

namespace sim {

// The directory holding the library this is linked into, with no trailing
// separator; "." when the loader cannot say.
std::string LibraryDirectory();

} // namespace sim
