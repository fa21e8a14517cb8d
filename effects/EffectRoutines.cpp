#include "effects/EffectRoutines.h"

#include "effects/ComputeTeam.h"
#include "effects/EffectMath.h"
#include "effects/HeldKernels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// Every routine has the same outline: open the source, aim the engine at
// the block and its window, go through every frame of the file in order
// (each frame's reads, then its write), close. The arithmetic is exactly as
// the effects define it: formulas are evaluated in double in the order
// written, truncation is toward zero, the echo's fixed-point shift is
// arithmetic, and sin and cos are the C library's, called with the phases
// the oscillators reach by repeated addition. This file is built with
// -ffp-contract=off so that no multiply-add is fused.
//
// What makes the routines fast is where they read and what they skip, never
// what they compute. The reader holds two ring halves decoded as int32
// arrays (CEffectEngine::Held); a frame whose reads all lie below the end
// of what is held is computed from those arrays in plain loops, and only a
// frame that reaches further (once per half) goes through the engine's own
// reader, which loads the next half. Frames the window does not store are
// not computed, only counted, unless one of their reads would load a half;
// after the window's last frame nothing is computed at all.

namespace {

using namespace effect_math;

// How often the progress object hears from a run.
constexpr std::uint32_t kProgressFrames = 65536;

// Frames computed at a time into the scratch arrays (small enough for the
// first-level cache).
constexpr std::uint32_t kPiece = 2048;

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

// Runs frames 0 .. frames-1 as stretches `stretch(from, to)`, each ending
// at a multiple of 65,536 frames or at the end, and reports progress before
// the first frame and after every 65,536 frames while frames remain. A
// stretch accounts for each of its frames with exactly one write or skip
// on the engine. Frames after the window's last stored frame are only
// counted. A progress object that answers false stops the run: the source
// is closed and kEngineCancelled returned.
template <class StretchFn>
int RunStretches(CEffectEngine& engine, std::uint32_t frames, CEffectProgress* progress, StretchFn&& stretch)
{
    // A cancel asked for before the run started is honoured however short
    // the run.
    if (progress && !progress->Continue(0, frames)) {
        engine.CloseEffectSource();
        return kEngineCancelled;
    }
    const std::uint64_t last = std::min<std::uint64_t>(engine.StoredEnd(), frames);
    for (std::uint32_t i = 0; i < frames;) {
        const auto to = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(frames, (std::uint64_t{i} / kProgressFrames + 1) * kProgressFrames));
        if (i < last) {
            const auto until = static_cast<std::uint32_t>(std::min<std::uint64_t>(to, last));
            stretch(i, until);
            engine.SkipTargetFrames(to - until);
        } else {
            engine.SkipTargetFrames(to - i);
        }
        i = to;
        if (progress && i % kProgressFrames == 0 && i < frames && !progress->Continue(i, frames)) {
            engine.CloseEffectSource();
            return kEngineCancelled;
        }
    }
    engine.CloseEffectSource();
    return kEngineOk;
}

// Reads the source as the engine's per-frame readers do, from the frames
// the reader holds decoded; an index at or past their end goes to the
// engine, which loads what it needs.
class CHeldReader {
public:
    explicit CHeldReader(CEffectEngine& engine) : m_engine(engine), m_held(engine.Held()) {}

    const SHeldFrames& Held() const { return m_held; }

    SFrame Read(std::int64_t index)
    {
        if (index < m_held.end)
            return HeldRead(m_held, index);
        const SFrame f = m_engine.ReadSourceFrame(Index(index));
        m_held = m_engine.Held();
        return f;
    }

    SFrame ReadAt(double position)
    {
        const SSourcePosition at = SplitSourcePosition(position);
        const SFrame f0 = Read(at.index);
        const SFrame f1 = Read(at.next);
        return InterpolateFrames(f0, f1, at.fraction);
    }

private:
    CEffectEngine& m_engine;
    SHeldFrames m_held;
};

// The frames (as the engine counts written frames) the window stores.
struct SStored {
    std::uint64_t begin;
    std::uint64_t end;
    bool Has(std::uint64_t i) const { return i >= begin && i < end; }
    // The stored frames of [from, to), as [first, last) within it.
    std::uint32_t First(std::uint32_t from, std::uint32_t to) const
    {
        return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(begin, from, to));
    }
    std::uint32_t Last(std::uint32_t first, std::uint32_t to) const
    {
        return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(end, first, to));
    }
};

SStored StoredOf(const CEffectEngine& engine)
{
    return {engine.StoredBegin(), engine.StoredEnd()};
}

// Frames a part of a shared stretch has at least.
constexpr std::uint32_t kGrain = 8192;

// Scratch arrays for one piece of output frames.
struct SPiece {
    std::int32_t left[kPiece];
    std::int32_t right[kPiece];
};

// Computes frames [from, to) in pieces on the team: fill(first, n, piece)
// fills piece with frames first .. first + n - 1, which are then stored.
// The frames are counted afterwards, on this thread.
template <class FillFn>
void ComputeShared(CComputeTeam& team, CEffectEngine& engine, std::uint32_t from, std::uint32_t to, FillFn&& fill)
{
    team.For(to - from, kGrain, [&](std::uint32_t a, std::uint32_t b) {
        SPiece piece;
        for (std::uint32_t at = from + a; at < from + b;) {
            const std::uint32_t n = std::min(kPiece, from + b - at);
            fill(at, n, piece);
            engine.StoreTargetFrames(at, piece.left, piece.right, n);
            at += n;
        }
    });
    engine.SkipTargetFrames(to - from);
}

// The pitch shifter under the chorus and the voice changer: two read heads
// advancing by `ratio` per output frame, restarted every segment of S frames
// at the output position, with a raised-cosine crossfade over the first C
// frames of each segment from the old head to the new one.
//
// The heads of frame f follow from f alone: in segment k (from frame kS)
// the new head has gone from kS by j = f - kS additions of the ratio, and
// the old head, which carries on from where the previous segment's new head
// got to, from (k - 1)S by S + j additions (in the first segment both heads
// are the new one). So any part of a run can start its heads anywhere with
// the same values the frame-by-frame run reaches.
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
        // How far past frame f a head of frame f may read: j(r - 1) for
        // the new head and (S + j)(r - 1) for the old one, below 2S(r - 1),
        // plus the frame after the head and room for the rounding of the
        // additions. Infinite (no frame is sure not to load) when the ratio
        // is not a modest number.
        const double ahead = std::max(ratio - 1, 0.0) * 2 * static_cast<double>(m_segment) + 16;
        m_reach = ahead < 1e9 ? static_cast<std::int64_t>(ahead) : std::numeric_limits<std::int64_t>::max() / 4;
        if (!(ratio == ratio))
            m_reach = std::numeric_limits<std::int64_t>::max() / 4;
    }

    // No read for frame f lies at f + Reach() or beyond.
    std::int64_t Reach() const { return m_reach; }

    // The heads at one frame, moved on frame by frame.
    struct SHeads {
        std::int64_t j;  // frame within the segment
        double posOld;   // valid while j < C
        double posNew;
    };

    SHeads HeadsAt(std::uint32_t f) const
    {
        const std::int64_t j = std::int64_t{f} % m_segment;
        const std::int64_t k = std::int64_t{f} / m_segment;
        SHeads h{j, 0.0, Walk(k * m_segment, j)};
        h.posOld = k == 0 ? h.posNew : Walk((k - 1) * m_segment, m_segment + j);
        return h;
    }

    // Moves `h` from frame f to frame f + 1.
    void Advance(SHeads& h, std::uint32_t f) const
    {
        if (h.j < m_crossfade)
            h.posOld += m_ratio;
        h.posNew += m_ratio;
        if (++h.j == m_segment) {
            h.posOld = h.posNew;
            h.posNew = static_cast<double>(f) + 1;
            h.j = 0;
        }
    }

    // The shifted frame for heads `h`, read through `read(position)`: a
    // crossfade from the old head to the new one, then the new head alone.
    template <class ReadAtFn>
    SFrame Shifted(const SHeads& h, ReadAtFn&& readAt) const
    {
        if (h.j < m_crossfade) {
            const SFrame o = readAt(h.posOld);
            const SFrame n = readAt(h.posNew);
            // The old head's weight t is 1 at the segment start and falls
            // toward 0 along a half cosine; both frames lie within 16 bits,
            // so the mix does too.
            const double t = m_weights.empty() ? Weight(h.j) : m_weights[static_cast<std::size_t>(h.j)];
            return {static_cast<std::int32_t>((1 - t) * n.left + t * o.left),
                    static_cast<std::int32_t>((1 - t) * n.right + t * o.right)};
        }
        return readAt(h.posNew);
    }

    // The shifted frames at, ..., at + n - 1 (n <= kPiece) for heads `h` at
    // frame `at`, read from `held`, into `out`; `h` is moved on to frame
    // at + n. Where the heads move evenly (each addition of the ratio adds
    // the same amount: EqualAdditions) the frames are computed in a block
    // from the heads' positions worked out as p + k x amount, which gives
    // the additions' values; past the crossfade the new head is read alone
    // (the old head's weight 0 gives exactly the new head's frame). Other
    // frames go one at a time, their heads moved on by single additions.
    void Fill(const SHeldFrames& held, SHeads& h, std::uint32_t at, std::uint32_t n, SPiece& out) const
    {
        const bool table = m_weights.size() == static_cast<std::size_t>(m_crossfade);
        for (std::uint32_t t = 0; t < n;) {
            // The rest of the crossfade, or the rest of the segment.
            const bool fading = h.j < m_crossfade;
            const auto run = static_cast<std::uint32_t>(
                std::min<std::int64_t>(n - t, (fading ? m_crossfade : m_segment) - h.j));
            double stepNew = m_ratio, stepOld = m_ratio;
            std::int64_t even = EqualAdditions(h.posNew, m_ratio, run, stepNew);
            if (fading)
                even = std::min(even, EqualAdditions(h.posOld, m_ratio, run, stepOld));
            const auto m = static_cast<std::uint32_t>(even);
            if (table && m >= 4) {
                const double* w = fading ? m_weights.data() + h.j : nullptr;
                held_kernels::ShiftedLinear(held, h.posNew, stepNew, h.posOld, stepOld, w, m, out.left + t,
                                            out.right + t);
                h.posNew += static_cast<double>(m) * stepNew;
                if (fading)
                    h.posOld += static_cast<double>(m) * stepOld;
                h.j += m;
                t += m;
            } else {
                const SFrame x = Shifted(h, [&](double p) { return HeldReadAt(held, p); });
                out.left[t] = x.left;
                out.right[t] = x.right;
                if (fading)
                    h.posOld += m_ratio;
                h.posNew += m_ratio;
                ++h.j;
                ++t;
            }
            if (h.j == m_segment) {
                h.posOld = h.posNew;
                h.posNew = static_cast<double>(at + t);
                h.j = 0;
            }
        }
    }

private:
    static constexpr std::int64_t kMaxWeights = 1 << 20;

    double Weight(std::int64_t j) const
    {
        return (std::cos(kPi * static_cast<double>(j) / static_cast<double>(m_crossfade)) + 1) * 0.5;
    }

    // `start` plus `steps` additions of the ratio.
    double Walk(std::int64_t start, std::int64_t steps) const
    {
        return AddRepeatedly(static_cast<double>(start), m_ratio, steps);
    }

    double m_ratio;
    std::vector<double> m_weights;
    std::int64_t m_segment = 1;
    std::int64_t m_crossfade = 0;
    std::int64_t m_reach = 0;
};

// Runs the pitch shifter over a run: `frame(i, x, read)` makes frame i's
// output from the shifted frame x (reading the frame itself through `read`
// when it needs it, after the heads); `piece(first, n, held, x)` does the
// same for n frames at once, in place, reading from `held`. Frames whose
// reads surely stay below what the reader holds are computed on the team;
// the others one at a time through the engine, which loads as they read.
template <class FrameFn, class PieceFn>
int RunShifter(CEffectEngine& engine, std::uint32_t frames, CEffectProgress* progress, const CPitchShifter& shifter,
               bool readsTheFrame, FrameFn&& frame, PieceFn&& piece)
{
    const SStored stored = StoredOf(engine);
    CHeldReader reader(engine);
    CComputeTeam team;
    // The heads of the frame-by-frame path, at frame `cursorAt`.
    CPitchShifter::SHeads cursor = shifter.HeadsAt(0);
    std::uint32_t cursorAt = 0;
    const std::int64_t reach = std::max<std::int64_t>(shifter.Reach(), readsTheFrame ? 1 : 0);
    return RunStretches(engine, frames, progress, [&](std::uint32_t i, std::uint32_t to) {
        while (i < to) {
            const std::int64_t end = reader.Held().end - reach;
            if (i >= end) {
                // This frame may load: exactly as frame by frame.
                if (cursorAt != i)
                    cursor = shifter.HeadsAt(i);
                const SFrame x = shifter.Shifted(cursor, [&](double p) { return reader.ReadAt(p); });
                const SFrame out = frame(i, x, [&](std::int64_t k) { return reader.Read(k); });
                engine.WriteTargetFrames(&out.left, &out.right, 1);
                shifter.Advance(cursor, i);
                cursorAt = ++i;
                continue;
            }
            // No read of these frames loads: only the stored ones are
            // computed, from what is held.
            const auto until = static_cast<std::uint32_t>(std::min<std::int64_t>(to, end));
            const std::uint32_t first = stored.First(i, until);
            const std::uint32_t last = stored.Last(first, until);
            engine.SkipTargetFrames(first - i);
            const SHeldFrames held = reader.Held();
            team.For(last - first, kGrain, [&](std::uint32_t a, std::uint32_t b) {
                // Each part starts its heads once, then moves them on.
                CPitchShifter::SHeads h = shifter.HeadsAt(first + a);
                SPiece x;
                for (std::uint32_t at = first + a; at < first + b;) {
                    const std::uint32_t n = std::min(kPiece, first + b - at);
                    shifter.Fill(held, h, at, n, x);
                    piece(at, n, held, x);
                    engine.StoreTargetFrames(at, x.left, x.right, n);
                    at += n;
                }
            });
            engine.SkipTargetFrames(last - first);
            engine.SkipTargetFrames(until - last);
            i = until;
        }
    });
}

} // namespace

// Echo: a train of up to 32 taps behind each frame, the first D frames back
// and each further one S frames earlier, with integer gains on an 8-bit
// fixed-point scale. The taps of one channel are added to the other
// channel's output (crossed).
//
// The sums are those of 64-bit integers: with the gains the dialog offers
// they equal the 32-bit sums exactly, and for mix levels high enough to
// overflow 32 bits they give the saturated result (the writer clamps to 16
// bits) instead of a wrapped one. When no sum can leave the 32-bit range
// they are computed in 32 bits, which gives the same values faster.
namespace {
// Adds g x the frames `first` .. `first + n - 1` of `held` to accL and
// accR, or crossed (right into accL, left into accR). Frames older than
// those held read the oldest held.
template <class Acc>
[[gnu::always_inline]] inline void AddFrames(const SHeldFrames& held, std::int64_t first, std::uint32_t n, Acc g, bool crossed, Acc* accL,
               Acc* accR)
{
    const std::int32_t* l = held.left;
    const std::int32_t* r = held.right;
    if (crossed)
        std::swap(l, r);
    const auto older = static_cast<std::uint32_t>(std::clamp<std::int64_t>(held.begin - first, 0, n));
    for (std::uint32_t t = 0; t < older; ++t) {
        accL[t] += g * l[0];
        accR[t] += g * r[0];
    }
    const std::int64_t at = first - held.begin;
    for (std::uint32_t t = older; t < n; ++t) {
        accL[t] += g * l[at + t];
        accR[t] += g * r[at + t];
    }
}

template <class Acc>
[[gnu::always_inline]] inline void EchoPiece(const SHeldFrames& held, std::int64_t from, std::uint32_t n, std::int64_t dry, int count,
               const std::int64_t* gains, const std::int64_t* offsets, SPiece& out)
{
    Acc accL[kPiece] = {};
    Acc accR[kPiece] = {};
    AddFrames<Acc>(held, from, n, static_cast<Acc>(dry), false, accL, accR);
    for (int k = 0; k < count; ++k)
        AddFrames<Acc>(held, from + offsets[k], n, static_cast<Acc>(gains[k]), true, accL, accR);
    for (std::uint32_t t = 0; t < n; ++t) {
        out.left[t] = ClampToInt(accL[t] >> 8);
        out.right[t] = ClampToInt(accR[t] >> 8);
    }
}
// The pieces with each width of sum, built for the plain instruction set
// and for AVX2 (picked when the program starts): the same loops, inlined
// into each, whose 32-bit multiplies only AVX2 has in the vector units.
__attribute__((target_clones("avx2", "default"))) void EchoPieceNarrow(
    const SHeldFrames& held, std::int64_t from, std::uint32_t n, std::int64_t dry, int count,
    const std::int64_t* gains, const std::int64_t* offsets, SPiece& out)
{
    EchoPiece<std::int32_t>(held, from, n, dry, count, gains, offsets, out);
}

__attribute__((target_clones("avx2", "default"))) void EchoPieceWide(
    const SHeldFrames& held, std::int64_t from, std::uint32_t n, std::int64_t dry, int count,
    const std::int64_t* gains, const std::int64_t* offsets, SPiece& out)
{
    EchoPiece<std::int64_t>(held, from, n, dry, count, gains, offsets, out);
}
} // namespace

int RunEcho(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
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
    // Tap k of frame i reads frame i + offsets[k]; the frame itself is read
    // last. The newest read decides when a frame loads.
    std::int64_t offsets[kMaxEchoes] = {};
    std::int64_t newest = 0;
    std::int64_t weight = dry < 0 ? -dry : dry;
    for (int k = 0; k < count; ++k) {
        offsets[k] = -delay - k * spacing;
        newest = std::max(newest, offsets[k]);
        weight += gains[k] < 0 ? -gains[k] : gains[k];
    }
    // Samples lie within -32768..32767.
    const bool narrow = weight <= std::numeric_limits<std::int32_t>::max() / 32768;

    const SStored stored = StoredOf(engine);
    CHeldReader reader(engine);
    CComputeTeam team;
    return RunStretches(engine, frames, progress, [&](std::uint32_t i, std::uint32_t to) {
        while (i < to) {
            // Frames whose every read lies below the end of what is held.
            const std::int64_t end = reader.Held().end - newest;
            if (i >= end) {
                std::int64_t sumL = 0;
                std::int64_t sumR = 0;
                for (int k = 0; k < count; ++k) {
                    const SFrame tap = reader.Read(std::int64_t{i} + offsets[k]);
                    sumL += gains[k] * tap.left;
                    sumR += gains[k] * tap.right;
                }
                const SFrame f = reader.Read(i);
                // >> on a negative signed value is an arithmetic shift (C++20).
                const std::int32_t outL = ClampToInt((dry * f.left + sumR) >> 8);
                const std::int32_t outR = ClampToInt((dry * f.right + sumL) >> 8);
                engine.WriteTargetFrames(&outL, &outR, 1);
                ++i;
                continue;
            }
            const auto until = static_cast<std::uint32_t>(std::min<std::int64_t>(to, end));
            // Within these no read loads: only the stored frames are computed.
            const std::uint32_t first = stored.First(i, until);
            const std::uint32_t last = stored.Last(first, until);
            engine.SkipTargetFrames(first - i);
            const SHeldFrames held = reader.Held();
            ComputeShared(team, engine, first, last, [&](std::uint32_t at, std::uint32_t n, SPiece& piece) {
                if (narrow)
                    EchoPieceNarrow(held, at, n, dry, count, gains, offsets, piece);
                else
                    EchoPieceWide(held, at, n, dry, count, gains, offsets, piece);
            });
            engine.SkipTargetFrames(until - last);
            i = until;
        }
    });
}

// Chorus: the unchanged signal times the dry gain plus the pitch-shifted
// signal times the mix level. Where a segment is longer than its crossfade
// the shifted signal is the new head alone, as in the voice changer.
int RunChorus(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
              double ratio, int segmentMs, int crossfadeMs, double dryGain, double mixLevel,
              CEffectProgress* progress)
{
    SSourceFormat format;
    std::uint32_t frames = 0;
    if (const int code = BeginRun(engine, source, target, format, frames); code != kEngineOk)
        return code;

    const CPitchShifter shifter(format.nSamplesPerSec, segmentMs, crossfadeMs, ratio);
    return RunShifter(
        engine, frames, progress, shifter, true,
        [&](std::uint32_t i, const SFrame& x, auto&& read) {
            const SFrame d = read(i);
            return SFrame{TruncToSample(d.left * dryGain + x.left * mixLevel),
                          TruncToSample(d.right * dryGain + x.right * mixLevel)};
        },
        [&](std::uint32_t first, std::uint32_t n, const SHeldFrames& held, SPiece& x) {
            held_kernels::MixWithFrames(held, first, n, dryGain, mixLevel, x.left, x.right);
        });
}

// Voice changer: the pitch-shifted signal alone, same length as the input.
int RunVoiceChanger(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
                    double ratio, int segmentMs, int crossfadeMs, CEffectProgress* progress)
{
    SSourceFormat format;
    std::uint32_t frames = 0;
    if (const int code = BeginRun(engine, source, target, format, frames); code != kEngineOk)
        return code;

    const CPitchShifter shifter(format.nSamplesPerSec, segmentMs, crossfadeMs, ratio);
    return RunShifter(
        engine, frames, progress, shifter, false, [](std::uint32_t, const SFrame& x, auto&&) { return x; },
        [](std::uint32_t, std::uint32_t, const SHeldFrames&, SPiece&) {});
}

// Vibrato: each frame is read at a position swinging sinusoidally around
// it, D frames either way. D is chosen so that the read speed peaks at
// depth% of a semitone (1.05946) away from normal speed.
int RunVibrato(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
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
    // No read of frame i lies at i + |D| + 2 or beyond (a NaN position reads
    // far behind).
    const std::int64_t reach = (swing < 0 ? -std::int64_t{swing} : std::int64_t{swing}) + 2;

    double phase = startPhaseDegrees * kPi / 180 + kThreeHalfPi;
    const SStored stored = StoredOf(engine);
    CHeldReader reader(engine);
    CComputeTeam team;
    std::vector<double> phases(kProgressFrames);
    return RunStretches(engine, frames, progress, [&](std::uint32_t i, std::uint32_t to) {
        while (i < to) {
            const std::int64_t end = reader.Held().end - reach;
            if (i >= end) {
                // This frame may load: exactly as frame by frame.
                const double position = static_cast<double>(i) + swing * std::sin(phase);
                phase = AdvancePhase(phase, step);
                const SFrame f = reader.ReadAt(position);
                engine.WriteTargetFrames(&f.left, &f.right, 1);
                ++i;
                continue;
            }
            const auto until = static_cast<std::uint32_t>(std::min<std::int64_t>(to, end));
            const std::uint32_t first = stored.First(i, until);
            const std::uint32_t last = stored.Last(first, until);
            // The phase runs through every frame, one after the other; the
            // sines and reads of the stored frames are shared out.
            engine.SkipTargetFrames(first - i);
            for (; i < first; ++i)
                phase = AdvancePhase(phase, step);
            for (std::uint32_t t = 0; i < last; ++i, ++t) {
                phases[t] = phase;
                phase = AdvancePhase(phase, step);
            }
            const SHeldFrames held = reader.Held();
            ComputeShared(team, engine, first, last, [&](std::uint32_t at, std::uint32_t n, SPiece& piece) {
                for (std::uint32_t t = 0; t < n; ++t) {
                    const double position = static_cast<double>(at + t) + swing * std::sin(phases[at + t - first]);
                    const SFrame f = HeldReadAt(held, position);
                    piece.left[t] = f.left;
                    piece.right[t] = f.right;
                }
            });
            for (; i < until; ++i)
                phase = AdvancePhase(phase, step);
            engine.SkipTargetFrames(until - last);
        }
    });
}

// Tremolo: every frame times a gain following a sine between 1 - level and
// 1, starting halfway at 1 - level/2 and rising first.
int RunTremolo(CEffectEngine& engine, const std::string& source, const SEffectTarget& target,
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
    const SStored stored = StoredOf(engine);
    CHeldReader reader(engine);
    CComputeTeam team;
    std::vector<double> phases(kProgressFrames);
    return RunStretches(engine, frames, progress, [&](std::uint32_t i, std::uint32_t to) {
        while (i < to) {
            const std::int64_t end = reader.Held().end;
            if (i >= end) {
                // This frame's read loads the next half.
                const double gain = level * std::sin(phase) * 0.5 + 1 - half;
                phase = AdvancePhase(phase, step);
                const SFrame f = reader.Read(i);
                const std::int32_t outL = TruncToInt(f.left * gain);
                const std::int32_t outR = TruncToInt(f.right * gain);
                engine.WriteTargetFrames(&outL, &outR, 1);
                ++i;
                continue;
            }
            const auto until = static_cast<std::uint32_t>(std::min<std::int64_t>(to, end));
            const std::uint32_t first = stored.First(i, until);
            const std::uint32_t last = stored.Last(first, until);
            // The phase runs through every frame, one after the other; the
            // sines and products of the stored frames are shared out.
            engine.SkipTargetFrames(first - i);
            for (; i < first; ++i)
                phase = AdvancePhase(phase, step);
            for (std::uint32_t t = 0; i < last; ++i, ++t) {
                phases[t] = phase;
                phase = AdvancePhase(phase, step);
            }
            const SHeldFrames held = reader.Held();
            ComputeShared(team, engine, first, last, [&](std::uint32_t at, std::uint32_t n, SPiece& piece) {
                double gains[kPiece];
                for (std::uint32_t t = 0; t < n; ++t)
                    gains[t] = level * std::sin(phases[at + t - first]) * 0.5 + 1 - half;
                // A frame below the oldest held reads the oldest: never
                // here, where the frame itself is the newest read.
                const std::int32_t* l = held.left + (std::int64_t{at} - held.begin);
                const std::int32_t* r = held.right + (std::int64_t{at} - held.begin);
                for (std::uint32_t t = 0; t < n; ++t) {
                    piece.left[t] = TruncToSample(l[t] * gains[t]);
                    piece.right[t] = TruncToSample(r[t] * gains[t]);
                }
            });
            for (; i < until; ++i)
                phase = AdvancePhase(phase, step);
            engine.SkipTargetFrames(until - last);
        }
    });
}
