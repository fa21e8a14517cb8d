#pragma once
// Block versions of the reads and mixes the pitch shifter makes for every
// frame, over the frames the engine's reader holds decoded. Each computes
// with the same operations in the same order as the per-frame code
// (SplitSourcePosition, InterpolateFrames, the crossfade and the chorus
// mix), so the results are the same to the bit; on processors with AVX2
// four frames are computed at a time.

#include "effects/CEffectEngine.h"

#include <cstdint>

namespace held_kernels {

// For t in [0, n): the frame the pitch shifter makes from its new head at
// pNew + t x stepNew and its old head at pOld + t x stepOld (positions
// worked out in double as written) with the old head's weight w[t]:
//   x = InterpolateFrames at the new head, o = the same at the old head,
//   out = trunc((1 - w) x + w o) per channel;
// with w null, x alone (the old head's weight 0 gives exactly x). The
// caller makes sure those are the heads' positions (EqualAdditions gives
// such runs). Every read must lie below held.end (older ones read the
// oldest frame held).
void ShiftedLinear(const SHeldFrames& held, double pNew, double stepNew, double pOld, double stepOld,
                   const double* w, std::uint32_t n, std::int32_t* outL, std::int32_t* outR);

// For t in [0, n): x = TruncToSample(d * dry + x * mix) per channel, with d
// the held frame first + t (which must lie below held.end).
void MixWithFrames(const SHeldFrames& held, std::int64_t first, std::uint32_t n, double dry, double mix,
                   std::int32_t* xL, std::int32_t* xR);

// Whether the four-at-a-time code is used (the default where the processor
// has AVX2). Tests turn it off to check the plain code too.
bool UsesVectorUnits();
void UseVectorUnits(bool on);

} // namespace held_kernels
