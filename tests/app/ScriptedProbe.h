#pragma once
// The scripted test transport as the program's tests drive it: loaded from
// the same file the document's link loads, so both share one instance.
#include "ScriptedControl.h"

#include <cstdint>
#include <string>
#include <vector>

class ScriptedProbe {
public:
    // variant: "" for the full build, or the entry point left out.
    explicit ScriptedProbe(const std::string& variant = "");
    ~ScriptedProbe();
    ScriptedProbe(const ScriptedProbe&) = delete;
    ScriptedProbe& operator=(const ScriptedProbe&) = delete;

    const std::string& Path() const { return path; }
    bool Loaded() const { return handle != nullptr; }

    void FailOpenMask(bool fail);
    // The link's open then fails with a message box.
    void FailOpenPipe(bool fail);
    bool Send(const std::vector<uint8_t>& block);
    bool WaitConsumed(int timeoutMs = 5000);
    void Unplug();
    ScriptedCounts Counts();

private:
    template <typename T> T Find(const char* name);

    std::string path;
    void* handle = nullptr;
};

// Threads of this process carrying `name` (the link names its threads).
int CountThreads(const std::string& name);
