#pragma once
// The effect routines computed frame by frame through the engine's
// per-frame readers and writer: the oracle for the fast routines of
// effects/EffectRoutines.h, which must store the same bytes. Same
// parameters and results as those.

#include "effects/EffectRoutines.h"

int RunEchoPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
                    double firstDelayMs, double spacingMs, double dryGain, double mixLevel, double decay,
                    int echoCount, CEffectProgress* progress = nullptr);

int RunChorusPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
                      double ratio, int segmentMs, int crossfadeMs, double dryGain, double mixLevel,
                      CEffectProgress* progress = nullptr);

int RunVoiceChangerPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
                            double ratio, int segmentMs, int crossfadeMs, CEffectProgress* progress = nullptr);

int RunVibratoPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
                       int depth, double frequency, int startPhaseDegrees, CEffectProgress* progress = nullptr);

int RunTremoloPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
                       double frequency, double level, CEffectProgress* progress = nullptr);
