// The effect routines as plain loops over the engine's per-frame readers
// and writer: every read through ReadSourceFrame / ReadSourceFrameAt, one
// WriteTargetFrame per frame, in the order the effects define. Slow, and
// kept only as the oracle the fast routines are compared with byte for
// byte.
#include "tests/effects/PerFrameRoutines.h"

#include "effects/EffectMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// Every routine follows the same shape: open the source, aim the engine at
// the block and its window, run over every frame of the file (reads first,
// then exactly one write per frame), close. The arithmetic is kept exactly
// as the effects define it: formulas are evaluated in double in the order
// written, truncation is toward zero, and the echo's fixed-point shift is
// arithmetic. This file is built with -ffp-contract=off so that no
// multiply-add is fused.

namespace {

using namespace effect_math;

// How often the progress object hears from a run.
constexpr std::uint32_t kProgressFrames = 65536;

// Opens the source and points the engine at the target. On success `frames`
// is the number of frames the run goes through: the data size over the
// bytes per frame, whatever the window is.
int BeginRun(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
             SSourceFormat& format, std::uint32_t& frames)
{
    const int code = engine.OpenEffectSource(source, format);
    if (code != kEngineOk)
        return code;
    engine.SetEffectTarget(target.pBlock, format.nSamplesPerSec, format.nBitsPerSample,
                           format.nChannels, format.dwDataSize, target.windowStart,
                           target.windowFrames);
    const int align = format.nBitsPerSample * format.nChannels / 8;
    frames = align > 0 ? format.dwDataSize / static_cast<std::uint32_t>(align) : 0;
    return kEngineOk;
}

// Runs `frame(i)` for i = 0 .. frames-1 (each call reads what it needs and
// writes one frame), reporting progress before the first frame and after
// every 65,536 frames while frames remain, then closes the source. A
// progress object that answers false stops the run: the source is closed
// and kEngineCancelled returned.
template <class FrameFn>
int RunFrames(CEffectEngine& engine, std::uint32_t frames, CEffectProgress* progress, FrameFn&& frame)
{
    // A cancel asked for before the run started is honoured however short
    // the run.
    if (progress && !progress->Continue(0, frames)) {
        engine.CloseEffectSource();
        return kEngineCancelled;
    }
    for (std::uint32_t i = 0; i < frames; ++i) {
        frame(i);
        const std::uint32_t done = i + 1;
        if (progress && done % kProgressFrames == 0 && done < frames &&
            !progress->Continue(done, frames)) {
            engine.CloseEffectSource();
            return kEngineCancelled;
        }
    }
    engine.CloseEffectSource();
    return kEngineOk;
}

// The pitch shifter under the chorus and the voice changer: two read heads
// advancing by `ratio` per output frame, restarted every segment of S frames
// at the output position, with a raised-cosine crossfade over the first C
// frames of each segment from the old head to the new one.
class CPitchShifter {
public:
    CPitchShifter(std::uint32_t rate, int segmentMs, int crossfadeMs, double ratio) : m_ratio(ratio)
    {
        // Integer lengths in frames; S is at least 1 and C lies within 0..S.
        m_segment = std::max<std::int64_t>(std::int64_t{rate} * segmentMs / 1000, 1);
        m_crossfade = std::clamp<std::int64_t>(std::int64_t{rate} * crossfadeMs / 1000, 0, m_segment);
        // The crossfade's weights are the same in every segment: work them
        // out once (same expression, same values) rather than a cosine per
        // frame. Absurdly long crossfades are left to the cosine.
        if (m_crossfade <= kMaxWeights) {
            m_weights.resize(static_cast<std::size_t>(m_crossfade));
            for (std::int64_t j = 0; j < m_crossfade; ++j)
                m_weights[static_cast<std::size_t>(j)] = Weight(j);
        }
    }

    // The shifted frame for output frame i (called for i = 0, 1, 2, ... in
    // order); advances the heads and, at a segment's end, restarts them.
    SFrame Next(CEffectEngine& engine, std::uint32_t i)
    {
        SFrame out;
        if (m_j < m_crossfade) {
            const SFrame o = engine.ReadSourceFrameAt(m_posOld);
            const SFrame n = engine.ReadSourceFrameAt(m_posNew);
            // The old head's weight t is 1 at the segment start and falls
            // toward 0 along a half cosine.
            const double t = m_weights.empty() ? Weight(m_j) : m_weights[static_cast<std::size_t>(m_j)];
            out.left = TruncToInt((1 - t) * n.left + t * o.left);
            out.right = TruncToInt((1 - t) * n.right + t * o.right);
            m_posOld += m_ratio;
            m_posNew += m_ratio;
        } else {
            // After the crossfade only the new head sounds.
            out = engine.ReadSourceFrameAt(m_posNew);
            m_posNew += m_ratio;
        }
        if (++m_j == m_segment) {
            // The old head carries on from where the new head has got to;
            // a fresh head starts at the next output frame.
            m_posOld = m_posNew;
            m_posNew = static_cast<double>(i) + 1;
            m_j = 0;
        }
        return out;
    }

private:
    static constexpr std::int64_t kMaxWeights = 1 << 20;

    double Weight(std::int64_t j) const
    {
        return (std::cos(kPi * static_cast<double>(j) / static_cast<double>(m_crossfade)) + 1) * 0.5;
    }

    double m_ratio;
    std::vector<double> m_weights;
    std::int64_t m_segment = 1;
    std::int64_t m_crossfade = 0;
    std::int64_t m_j = 0; // frame index within the current segment
    double m_posOld = 0.0;
    double m_posNew = 0.0;
};

} // namespace

// Echo: a train of up to 32 taps behind each frame, the first D frames back
// and each further one S frames earlier, with integer gains on an 8-bit
// fixed-point scale. The taps of one channel are added to the other
// channel's output (crossed).
//
// The sums are kept in 64 bits: with the gains the dialog offers they equal
// the 32-bit sums exactly, and for mix levels high enough to overflow 32
// bits they give the saturated result (the writer clamps to 16 bits)
// instead of a wrapped one.
int RunEchoPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
            double firstDelayMs, double spacingMs, double dryGain, double mixLevel, double decay,
            int echoCount, CEffectProgress* progress)
{
    SSourceFormat format;
    std::uint32_t frames = 0;
    if (const int code = BeginRun(engine, source, target, format, frames); code != kEngineOk)
        return code;

    const double rate = format.nSamplesPerSec;
    const std::int64_t delay = TruncToInt(rate * firstDelayMs * 0.001);
    const std::int64_t spacing = TruncToInt(rate * spacingMs * 0.001);
    const std::int64_t dry = TruncToInt(dryGain * 256);

    // Each gain is the previous, already truncated gain times the decay.
    constexpr int kMaxEchoes = 32;
    const int count = std::clamp(echoCount, 0, kMaxEchoes);
    std::int64_t gains[kMaxEchoes] = {};
    if (count > 0) {
        gains[0] = TruncToInt(mixLevel * 256);
        for (int k = 1; k < count; ++k)
            gains[k] = TruncToInt(static_cast<double>(gains[k - 1]) * decay);
    }

    return RunFrames(engine, frames, progress, [&](std::uint32_t i) {
        std::int64_t sumL = 0;
        std::int64_t sumR = 0;
        for (int k = 0; k < count; ++k) {
            const SFrame tap = engine.ReadSourceFrame(Index(std::int64_t{i} - delay - k * spacing));
            sumL += gains[k] * tap.left;
            sumR += gains[k] * tap.right;
        }
        const SFrame f = engine.ReadSourceFrame(Index(i));
        // >> on a negative signed value is an arithmetic shift (C++20).
        const std::int64_t outL = (dry * f.left + sumR) >> 8;
        const std::int64_t outR = (dry * f.right + sumL) >> 8;
        engine.WriteTargetFrame(ClampToInt(outL), ClampToInt(outR));
    });
}

// Chorus: the unchanged signal times the dry gain plus the pitch-shifted
// signal times the mix level. Where a segment is longer than its crossfade
// the shifted signal is the new head alone, as in the voice changer.
int RunChorusPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
              double ratio, int segmentMs, int crossfadeMs, double dryGain, double mixLevel,
              CEffectProgress* progress)
{
    SSourceFormat format;
    std::uint32_t frames = 0;
    if (const int code = BeginRun(engine, source, target, format, frames); code != kEngineOk)
        return code;

    CPitchShifter shifter(format.nSamplesPerSec, segmentMs, crossfadeMs, ratio);
    return RunFrames(engine, frames, progress, [&](std::uint32_t i) {
        const SFrame x = shifter.Next(engine, i);
        const SFrame d = engine.ReadSourceFrame(Index(i));
        engine.WriteTargetFrame(TruncToInt(d.left * dryGain + x.left * mixLevel),
                                TruncToInt(d.right * dryGain + x.right * mixLevel));
    });
}

// Voice changer: the pitch-shifted signal alone, same length as the input.
int RunVoiceChangerPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
                    double ratio, int segmentMs, int crossfadeMs, CEffectProgress* progress)
{
    SSourceFormat format;
    std::uint32_t frames = 0;
    if (const int code = BeginRun(engine, source, target, format, frames); code != kEngineOk)
        return code;

    CPitchShifter shifter(format.nSamplesPerSec, segmentMs, crossfadeMs, ratio);
    return RunFrames(engine, frames, progress, [&](std::uint32_t i) {
        const SFrame x = shifter.Next(engine, i);
        engine.WriteTargetFrame(x.left, x.right);
    });
}

// Vibrato: each frame is read at a position swinging sinusoidally around
// it, D frames either way. D is chosen so that the read speed peaks at
// depth% of a semitone (1.05946) away from normal speed.
int RunVibratoPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
               int depth, double frequency, int startPhaseDegrees, CEffectProgress* progress)
{
    SSourceFormat format;
    std::uint32_t frames = 0;
    if (const int code = BeginRun(engine, source, target, format, frames); code != kEngineOk)
        return code;

    const double rate = format.nSamplesPerSec;
    double step = 0.0;
    std::int32_t swing = 0;
    if (rate != 0 && frequency != 0) {
        step = kTwoPi * frequency / rate;
        swing = TruncToInt(depth * rate * 0.05946 * 0.01 / (kTwoPi * frequency));
    }
    // A phase step that is not a number (an infinite frequency) would turn
    // every read position into NaN; the swing is then 0 anyway, so hold the
    // phase still.
    if (!std::isfinite(step))
        step = 0.0;

    double phase = startPhaseDegrees * kPi / 180 + kThreeHalfPi;
    return RunFrames(engine, frames, progress, [&](std::uint32_t i) {
        const double position = static_cast<double>(i) + swing * std::sin(phase);
        phase = AdvancePhase(phase, step);
        const SFrame f = engine.ReadSourceFrameAt(position);
        engine.WriteTargetFrame(f.left, f.right);
    });
}

// Tremolo: every frame times a gain following a sine between 1 - level and
// 1, starting halfway at 1 - level/2 and rising first.
int RunTremoloPerFrame(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
               double frequency, double level, CEffectProgress* progress)
{
    SSourceFormat format;
    std::uint32_t frames = 0;
    if (const int code = BeginRun(engine, source, target, format, frames); code != kEngineOk)
        return code;

    const double rate = format.nSamplesPerSec;
    const double step = rate != 0 ? frequency * kTwoPi / rate : 0.0;
    const double half = level * 0.5;

    double phase = 0.0;
    return RunFrames(engine, frames, progress, [&](std::uint32_t i) {
        const double gain = level * std::sin(phase) * 0.5 + 1 - half;
        phase = AdvancePhase(phase, step);
        const SFrame f = engine.ReadSourceFrame(Index(i));
        engine.WriteTargetFrame(TruncToInt(f.left * gain), TruncToInt(f.right * gain));
    });
}
