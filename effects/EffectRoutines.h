#pragma once
// The effects computed by the engine: each routine opens the source, sets
// the target and its window, reads and writes every frame of the file in
// order (the window only decides which frames are stored), and closes.
// Each returns kEngineOk, the open's error code (nothing written), or
// kEngineCancelled when `progress` asked to stop (frames already written
// stay written: the caller restores them).

#include "effects/CEffectEngine.h"

#include <cstdint>
#include <string>

// Told how far a run is, every few thousand frames; returning false stops
// the run.
class CEffectProgress {
public:
    virtual ~CEffectProgress() = default;
    virtual bool Continue(std::uint32_t framesDone, std::uint32_t framesTotal) = 0;
};

// The target of a run: the locked block, where the window starts (bytes)
// and how many frames it holds.
struct SEffectTarget {
    std::uint8_t* pBlock;
    std::uint32_t windowStart;
    std::uint32_t windowFrames;
};

int RunEcho(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
            double firstDelayMs, double spacingMs, double dryGain, double mixLevel, double decay,
            int echoCount, CEffectProgress* progress = nullptr);

int RunChorus(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
              double ratio, int segmentMs, int crossfadeMs, double dryGain, double mixLevel,
              CEffectProgress* progress = nullptr);

int RunVoiceChanger(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
                    double ratio, int segmentMs, int crossfadeMs, CEffectProgress* progress = nullptr);

int RunVibrato(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
               int depth, double frequency, int startPhaseDegrees, CEffectProgress* progress = nullptr);

int RunTremolo(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
               double frequency, double level, CEffectProgress* progress = nullptr);
