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

// How many of the next additions of `step` to p (at most `limit`) add the
// same amount, `amount`: then k <= m of them give exactly p + k x amount,
// and so does that expression in double. 0 when the next addition must be
// made on its own.
//
// Within a binade [2^(e-1), 2^e) the doubles are the multiples of
// u = 2^(e-53), so while p is one of them and p + step stays below 2^e,
// each addition adds the same multiple of u, the nearest to step
// ((p + step) - p, exact), unless step lies halfway between two of them,
// where the rounding to even depends on p. k x amount is then a multiple
// of u below 2^(e-1), and p + k x amount one below 2^e: both exact. The
// additions that cross into the next binade, halfway steps, p below 1 and
// steps that are not a modest positive number are left to single
// additions.
inline std::int64_t EqualAdditions(double p, double step, std::int64_t limit, double& amount)
{
    amount = step;
    if (limit <= 0 || !(p >= 1.0 && p < 0x1p62 && step > 0.0 && step < 0x1p60))
        return 0;
    int e = 0;
    (void)std::frexp(p, &e);
    const double top = std::ldexp(1.0, e);
    const double u = std::ldexp(1.0, e - 53);
    const double next = p + step;
    // u <= step / 1024 keeps the amount within a factor of 2 of step, so
    // that amount - step below is exact.
    if (!(next < top) || u > step * 0x1p-10)
        return 0;
    const double ru = next - p;
    if (std::fabs(ru - step) == 0.5 * u)
        return 0;
    // The largest m whose last addition, to p + (m - 1) ru, stays below
    // top: estimated, then checked exactly (a rounded sum at or above top
    // means the exact one may reach it).
    const double room = std::floor((top - p - step) / ru) + 1;
    std::int64_t m = room < static_cast<double>(limit) ? static_cast<std::int64_t>(room) : limit;
    while (m > 1 && !(p + static_cast<double>(m - 1) * ru + step < top))
        --m;
    amount = ru;
    return m;
}

// `start` plus `steps` additions of `step`, each rounded as the double
// addition rounds it: the value of
//   double p = start; for (k = 0; k < steps; ++k) p += step;
// found a binade at a time instead of an addition at a time.
inline double AddRepeatedly(double start, double step, std::int64_t steps)
{
    double p = start;
    for (std::int64_t left = steps; left > 0;) {
        double amount;
        const std::int64_t m = EqualAdditions(p, step, left, amount);
        if (m == 0) {
            p += step;
            --left;
        } else {
            p += static_cast<double>(m) * amount;
            left -= m;
        }
    }
    return p;
}

} // namespace effect_math
