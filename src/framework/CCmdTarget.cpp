#include "CCmdTarget.h"

bool CCmdTarget::ExecuteCommand(int id)
{
    auto it = entries.find(id);
    if (it == entries.end() || !it->second.handler) return false;
    it->second.handler();
    return true;
}

bool CCmdTarget::UpdateCommand(CCmdUI& ui) const
{
    auto it = entries.find(ui.id);
    if (it == entries.end()) return false;
    if (it->second.update) it->second.update(ui);
    return true;
}

void CCmdTarget::OnCommand(int id, std::function<void()> handler, std::function<void(CCmdUI&)> update)
{
    entries[id] = Entry{std::move(handler), std::move(update)};
}

void CCmdTarget::OnUpdate(int id, std::function<void(CCmdUI&)> update)
{
    entries[id].update = std::move(update);
}

CCmdUI CCommandRouter::Query(int id) const
{
    CCmdUI ui(id);
    for (CCmdTarget* target : chain) {
        if (target && target->HandlesCommand(id)) {
            target->UpdateCommand(ui);
            return ui;
        }
    }
    ui.enabled = false;
    return ui;
}

bool CCommandRouter::Execute(int id)
{
    for (CCmdTarget* target : chain) {
        if (target && target->HandlesCommand(id)) {
            CCmdUI ui(id);
            target->UpdateCommand(ui);
            if (!ui.enabled) return false;
            return target->ExecuteCommand(id);
        }
    }
    return false;
}
