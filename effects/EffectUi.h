#pragma once
// The effect commands in the editor: the seven menu commands with their
// dialogs, run on a worker thread while a progress window (after half a
// second) shows how far they are and offers to cancel.

#include "effects/EffectCommands.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <utility>

class CCmdTarget;
class COndrelDoc;
class QWidget;

// Runs an effect on a worker thread. The user-interface thread waits in a
// loop that takes no input until the progress window shows (after 500 ms);
// from then on the window is modal and its ｷｬﾝｾﾙ stops the run.
class CProgressRunner : public CEffectRunner {
public:
    // With `bCancellable` false the window has no ｷｬﾝｾﾙ (for waits that
    // cannot stop halfway) and the test hooks below are not used.
    CProgressRunner(QWidget* parent, QString label, bool bCancellable = true);
    int Run(const std::function<int(CEffectProgress*)>& work, std::uint32_t totalFrames) override;

    // Tests: the progress window shows after `showDelayMs` instead of half a
    // second, and the worker calls `workerStart` (on its own thread) before
    // it starts the work, so a test can hold it until it has pressed
    // ｷｬﾝｾﾙ. A null hook and 500 restore the defaults.
    static void SetTestHooks(int showDelayMs, std::function<void()> workerStart);

private:
    QWidget* m_pParent;
    QString m_strLabel;
    bool m_bCancellable;
};

// Where the commands get the selection (start and length in bytes) and
// whether the data is free (no sound device holds it).
struct SEffectHooks {
    std::function<std::pair<std::uint32_t, std::uint32_t>()> selection;
    std::function<bool()> dataFree;
};

// Registers the seven effect commands and their one update handler
// (enabled while the document holds audio frames and the data is free) on
// `target`, the view.
void RegisterEffectCommands(CCmdTarget& target, COndrelDoc& doc, const SEffectHooks& hooks, QWidget* parent);
