#include "ScriptedProbe.h"

#include <QCoreApplication>

#include <filesystem>
#include <fstream>

#include <dlfcn.h>

ScriptedProbe::ScriptedProbe(const std::string& variant)
{
    path = QCoreApplication::applicationDirPath().toStdString() + "/libks-scripted" +
           (variant.empty() ? "" : "-without-" + variant) + ".so";
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) Find<Scripted_Reset_fn>("Scripted_Reset")();
}

ScriptedProbe::~ScriptedProbe()
{
    if (!handle) return;
    Find<Scripted_Reset_fn>("Scripted_Reset")();
    ::dlclose(handle);
}

template <typename T> T ScriptedProbe::Find(const char* name) { return reinterpret_cast<T>(::dlsym(handle, name)); }

void ScriptedProbe::FailOpenMask(bool fail) { Find<Scripted_FailOpenMask_fn>("Scripted_FailOpenMask")(fail ? 1 : 0); }
void ScriptedProbe::FailOpenPipe(bool fail) { Find<Scripted_FailOpenPipe_fn>("Scripted_FailOpenPipe")(fail ? 1 : 0); }

bool ScriptedProbe::Send(const std::vector<uint8_t>& block)
{
    return Find<Scripted_Send_fn>("Scripted_Send")(block.data(), static_cast<int>(block.size())) == 1;
}

bool ScriptedProbe::WaitConsumed(int timeoutMs) { return Find<Scripted_WaitConsumed_fn>("Scripted_WaitConsumed")(timeoutMs) == 1; }

void ScriptedProbe::Unplug() { Find<Scripted_Unplug_fn>("Scripted_Unplug")(); }

ScriptedCounts ScriptedProbe::Counts()
{
    ScriptedCounts counts{};
    Find<Scripted_GetCounts_fn>("Scripted_GetCounts")(&counts);
    return counts;
}

int CountThreads(const std::string& name)
{
    int count = 0;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) ++count;
    }
    return count;
}
