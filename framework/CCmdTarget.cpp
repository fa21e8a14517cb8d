#include "framework/CCmdTarget.h"

bool CCmdTarget::OnCmdMsg(unsigned nID, CCmdUI* pCmdUI)
{
    auto it = m_messageMap.find(nID);
    if (it == m_messageMap.end())
        return false;
    if (pCmdUI) {
        if (!it->second.update)
            return false;
        it->second.update(pCmdUI);
        return true;
    }
    if (!it->second.handler)
        return false;
    // Copy first: the handler may change this target's message map.
    auto handler = it->second.handler;
    handler();
    return true;
}

bool CCmdTarget::HasCommand(unsigned nID) const
{
    auto it = m_messageMap.find(nID);
    return it != m_messageMap.end() && it->second.handler;
}

void CCmdTarget::OnCommand(unsigned nID, std::function<void()> handler)
{
    m_messageMap[nID].handler = std::move(handler);
}

void CCmdTarget::OnUpdateCommand(unsigned nID, std::function<void(CCmdUI*)> update)
{
    m_messageMap[nID].update = std::move(update);
}

void CCmdTarget::RemoveCommand(unsigned nID) { m_messageMap.erase(nID); }
