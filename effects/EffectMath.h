#pragma once
// The arithmetic conventions every effect shares: how a double becomes an
// integer, how an int64 is brought into the int range, and how an
// oscillator's phase wraps. Included wherever an effect is computed, so
// that every way of running an effect rounds the same. Files that include
// it are built with -ffp-contract=off: no multiply-add is fused.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace effect_math {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// 3π/2: the vibrato's read position starts at its lowest point.
constexpr double kThreeHalfPi = 4.71238898038469;

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// trunc(v) as an int32. Values beyond the int32 range take the nearest
// bound and NaN gives 0, so the conversion is always defined. For samples
// the bound changes nothing (the engine clamps them to 16 bits); for
// delays, gains and swings it only caps parameters nobody would type.
inline std::int32_t TruncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v <= static_cast<double>(kInt32Min))
        return kInt32Min;
    if (v >= static_cast<double>(kInt32Max))
        return kInt32Max;
    return static_cast<std::int32_t>(v); // the conversion truncates toward zero
}

// The 16-bit sample the writer stores for trunc(v): clamping in double
// first gives the same value, NaN gives 0 as TruncToInt does, and the loop
// it sits in can be vectorised.
inline std::int32_t TruncToSample(double v)
{
    double c = v < -32768.0 ? -32768.0 : v;
    c = c > 32767.0 ? 32767.0 : c;
    c = v == v ? c : 0.0;
    return static_cast<std::int32_t>(c);
}

inline std::int32_t ClampToInt(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, kInt32Min, kInt32Max));
}

// A frame index for the engine's reader. Frame counts fit in 32 unsigned
// bits; past the int32 range (only a data size near 4 GiB gets there) the
// reader is asked for its largest index.
inline std::int32_t Index(std::int64_t i)
{
    return ClampToInt(i);
}

// Adds one step to an oscillator phase and brings it back to at most 2π by
// repeated subtraction, as the oscillators define it. A phase more than
// 1,024 turns up (only frequencies above 1,024 times the sample rate get
// there) is first reduced with fmod, so that a run never spends millions of
// subtractions on a frame; an infinite or NaN phase is left as it is.
inline double AdvancePhase(double phase, double step)
{
    constexpr double kManyTurns = kTwoPi * 1024;
    phase = phase + step;
    if (!std::isfinite(phase))
        return phase;
    if (phase > kManyTurns)
        phase = std::fmod(phase, kTwoPi);
    while (phase > kTwoPi)
        phase -= kTwoPi;
    return phase;
}

} // namespace effect_math
