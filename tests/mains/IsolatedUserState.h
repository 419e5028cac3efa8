#pragma once
// Every test process runs against a per-user state of its own: home,
// configuration, data, cache, state and runtime folders in one temporary
// folder, removed at the end. The program's recent-file list, a settings
// file in the per-user configuration, the colour picker's memory and the
// recovered capture then never reach the real user's folders, whatever a
// test does. Child processes (the tools a test runs) inherit it.
//
// Made first thing in main(), before any Qt object reads the environment.
#include <string>

class IsolatedUserState {
public:
    IsolatedUserState();
    ~IsolatedUserState();
    IsolatedUserState(const IsolatedUserState&) = delete;
    IsolatedUserState& operator=(const IsolatedUserState&) = delete;

private:
    std::string root;
};
