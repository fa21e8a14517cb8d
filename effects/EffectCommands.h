#pragma once
// The seven effect commands on the document, after their dialog: save the
// undo copy, lock the block, work out the window from the selection, run
// the effect, and publish the result (undo offered, document modified,
// views updated). The data changes only when the whole run succeeds: a
// refused undo copy, a failing engine or a cancelled run leave it exactly
// as it was.

#include "effects/EffectParams.h"
#include "effects/EffectRoutines.h"

#include <cstdint>
#include <functional>

class COndrelDoc;

// How a run is carried out: straight away (the command-line tool) or on a
// worker thread with a progress window (the editor).
class CEffectRunner {
public:
    virtual ~CEffectRunner() = default;
    // Runs `work`, which reports to the progress object it is given (from
    // the thread it runs on), and returns its result.
    virtual int Run(const std::function<int(CEffectProgress*)>& work, std::uint32_t totalFrames) = 0;
};

// Runs the work at once, with no progress reports.
class CDirectRunner : public CEffectRunner {
public:
    int Run(const std::function<int(CEffectProgress*)>& work, std::uint32_t) override { return work(nullptr); }
};

enum class EApplyResult {
    Applied,   // the data changed; undo restores it
    Refused,   // nothing changed; the document's GetError says why (NoAudio,
               // EffectSourceUnreadable, or a reason in the UndoCopy context)
    Cancelled, // the user stopped the run; nothing changed
};

// The frames a command works on: the selection (start and length in bytes;
// length 0 means nothing is selected and the whole data from 0 is used).
struct SEffectWindow {
    std::uint32_t start;  // bytes
    std::uint32_t frames;
};
SEffectWindow EffectWindow(const COndrelDoc& doc, std::uint32_t start, std::uint32_t length);

EApplyResult ApplyEcho(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SEchoParams& params,
                       CEffectRunner& runner);
EApplyResult ApplyVibrato(COndrelDoc& doc, std::uint32_t start, std::uint32_t length,
                          const SVibratoParams& params, CEffectRunner& runner);
EApplyResult ApplyChorus(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SChorusParams& params,
                         CEffectRunner& runner);
EApplyResult ApplyTremolo(COndrelDoc& doc, std::uint32_t start, std::uint32_t length,
                          const STremoloParams& params, CEffectRunner& runner);
EApplyResult ApplyVoiceChanger(COndrelDoc& doc, std::uint32_t start, std::uint32_t length,
                               const SVoiceParams& params, CEffectRunner& runner);
EApplyResult ReverseSelection(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, CEffectRunner& runner);
// `params.amplitude` is in sample units (the dialog converts its position).
EApplyResult GenerateSineWave(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SSineParams& params,
                              CEffectRunner& runner);
