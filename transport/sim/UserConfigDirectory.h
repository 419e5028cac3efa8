#pragma once
// The program's per-user configuration folder, shared by the transports
// (whose own files live there when the program's folder belongs to root), the
// ks-probe command and the program's device notices. The per-user settings
// file lives in the same folder.
#include <string>

namespace sim {

// $XDG_CONFIG_HOME/Kestrane when XDG_CONFIG_HOME is an absolute path, else
// $HOME/.config/Kestrane; empty when neither is known. No trailing
// separator. It reads the environment, so call it on a thread that may (not
// on a worker while someone else changes the environment).
std::string UserConfigDirectory();

} // namespace sim
