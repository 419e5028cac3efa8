#pragma once
// Runs one of the built command-line tools to its end with plain fork and
// exec (QProcess's helper threads upset the thread sanitizer in the rest of
// the test process). Its output goes to /dev/null; the wait is bounded.
#include <string>
#include <vector>

// The exit status, or -1 when it could not be run, was killed or took
// longer than `timeoutMs` (it is killed then).
int RunTool(const std::string& program, const std::vector<std::string>& args, int timeoutMs = 10000);
