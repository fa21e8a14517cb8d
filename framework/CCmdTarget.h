#pragma once
// Numbered commands and their handlers. Every menu item, tool bar button
// and accelerator sends a command identifier; the targets (view, document,
// frame, application) are asked in turn, and the first one with a handler
// for the identifier runs it. An update handler decides whether the command
// is enabled and checked; a command with a handler but no update handler is
// enabled, one with neither is disabled.

#include <functional>
#include <map>

class CCmdUI {
public:
    explicit CCmdUI(unsigned nID) : m_nID(nID) {}
    unsigned m_nID;
    bool m_bEnabled = true;
    int m_nCheck = 0;         // 0 unchecked, 1 checked
    bool m_bCheckSet = false; // an update handler gave a check state

    void Enable(bool bOn = true) { m_bEnabled = bOn; }
    void SetCheck(int nCheck = 1)
    {
        m_nCheck = nCheck;
        m_bCheckSet = true;
    }
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // With `pCmdUI` null: runs this target's handler of `nID`. Otherwise
    // runs its update handler. Returns true when this target had the
    // handler asked for.
    virtual bool OnCmdMsg(unsigned nID, CCmdUI* pCmdUI);
    // True when this target has a handler (not an update handler) of `nID`.
    virtual bool HasCommand(unsigned nID) const;

    // Entries of the target's message map.
    void OnCommand(unsigned nID, std::function<void()> handler);
    void OnUpdateCommand(unsigned nID, std::function<void(CCmdUI*)> update);
    void RemoveCommand(unsigned nID);

private:
    struct SEntry {
        std::function<void()> handler;
        std::function<void(CCmdUI*)> update;
    };
    std::map<unsigned, SEntry> m_messageMap;
};
