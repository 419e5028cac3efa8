#pragma once
// The ssh command line that runs `ks-capture --serve` on the far machine.
// Every value the user set goes to ssh as its own argument (no local shell
// sees it); the far command is quoted word by word for the far shell, which
// ssh hands it to.
#include "RemoteConfig.h"

#include <string>
#include <vector>

namespace remote {

// "'word'" with every ' inside written as '\'' : one word for a POSIX shell
// whatever it holds.
std::string ShellQuote(const std::string& word);

// The argument vector (argv[0] "ssh"), or false with the reason in `error`
// for a host or option that ssh would take for something else.
bool SshArguments(const RemoteConfig& config, std::vector<std::string>& argv, std::string& error);

} // namespace remote
