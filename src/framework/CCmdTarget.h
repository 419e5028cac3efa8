#pragma once
// Command routing: every window or object that handles commands lists the ids
// it handles, each with an optional update handler that enables and checks the
// menu and toolbar items. A command is offered along a fixed chain (view,
// document, frame, application); the first target that lists it takes it.
#include <functional>
#include <map>
#include <vector>

// What an update handler sets for one command id.
class CCmdUI {
public:
    explicit CCmdUI(int id) : id(id) {}
    void Enable(bool on = true) { enabled = on; }
    void SetCheck(bool on = true) { checked = on; checkSet = true; }

    int id;
    bool enabled = true;
    bool checked = false;
    bool checkSet = false;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    bool HandlesCommand(int id) const { return entries.count(id) != 0; }
    // Runs the handler of `id`; false when this target does not list it.
    bool ExecuteCommand(int id);
    // Runs the update handler of `id` (enabled by default); false when this
    // target does not list it.
    bool UpdateCommand(CCmdUI& ui) const;

protected:
    void OnCommand(int id, std::function<void()> handler, std::function<void(CCmdUI&)> update = {});
    // An update handler for an id whose command another target handles.
    void OnUpdate(int id, std::function<void(CCmdUI&)> update);

private:
    struct Entry {
        std::function<void()> handler;
        std::function<void(CCmdUI&)> update;
    };
    std::map<int, Entry> entries;
};

// The chain of targets a command is offered to, in order.
class CCommandRouter {
public:
    void SetChain(std::vector<CCmdTarget*> targets) { chain = std::move(targets); }
    // Executes `id` when some target handles it and its update leaves it
    // enabled; returns whether it ran. A command nobody handles is disabled.
    bool Execute(int id);
    CCmdUI Query(int id) const;

private:
    std::vector<CCmdTarget*> chain;
};
