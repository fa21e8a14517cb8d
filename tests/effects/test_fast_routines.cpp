// The effect routines against the plain per-frame routines (the oracle,
// PerFrameRoutines.h) on seeded random cases: every frame shape, rates,
// lengths around the ring's half size and its refills, data chunks that
// end before the file does (the reader goes on into the bytes after them),
// windows at the edges, extreme parameters, and runs stopped by their
// progress object. Both must return the same code, count the same frames,
// report the same progress and leave exactly the same bytes in the block.
//
// ONDREL_DIFF_CASES sets the number of random cases (default 160) and
// ONDREL_DIFF_SEED the seed of the first.

#include "tests/effects/PerFrameRoutines.h"
#include "effects/EffectMath.h"
#include "effects/HeldKernels.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Routine = std::function<int(CEffectEngine&, const std::string&, const SEffectTarget&, CEffectProgress*)>;

// Records every report and stops after `allowed` of them.
class CLog : public CEffectProgress {
public:
    explicit CLog(int allowed) : m_allowed(allowed) {}
    bool Continue(std::uint32_t done, std::uint32_t total) override
    {
        calls.emplace_back(done, total);
        return static_cast<int>(calls.size()) <= m_allowed;
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;

private:
    int m_allowed;
};

// One effect with its parameters, run the fast way and the per-frame way.
struct SEffect {
    std::string text;
    Routine fast;
    Routine oracle;
};

struct SCase {
    PcmFormat format;
    Bytes file;
    std::uint32_t blockBytes = 0;
    std::uint32_t windowStart = 0;
    std::uint32_t windowFrames = 0;
    int stopAfter = -1; // reports answered true before a stop; -1: no progress object
    SEffect effect;
    std::string text;
};

class CCaseMaker {
public:
    explicit CCaseMaker(std::uint32_t seed) : m_rng(seed) {}

    SCase Make()
    {
        SCase c;
        static const PcmFormat kShapes[] = {{2, 0, 16}, {1, 0, 16}, {2, 0, 8}, {1, 0, 8}};
        c.format = kShapes[Int(0, 3)];
        static const std::uint32_t kRates[] = {8000, 11025, 22050, 44100, 48000, 96000};
        c.format.rate = Chance(8) ? static_cast<std::uint32_t>(Int(0, 200000)) : kRates[Int(0, 5)];
        const std::uint32_t align = c.format.channels * c.format.bits / 8u;
        const std::int64_t half = kRingHalfBytes / align; // frames per ring half

        // Lengths around the half size and the refills, or short ones.
        std::int64_t frames;
        switch (Int(0, 5)) {
        case 0: frames = Int(0, 3); break;
        case 1: frames = Int(0, 20000); break;
        case 2: frames = half + Int(-2, 2); break;
        case 3: frames = 2 * half + Int(-2, 2); break;
        case 4: frames = Int(1, 3) * half + Int(-3000, 3000); break;
        default: frames = Int(0, 3 * half); break;
        }
        frames = std::max<std::int64_t>(frames, 0);
        Bytes data(static_cast<std::size_t>(frames) * align + (Chance(6) ? Int(1, align) - 1 : 0));
        FillSamples(data);
        c.file = SimpleWave(c.format, data);
        // Bytes after the data chunk are read as samples too.
        if (Chance(4)) {
            Bytes tail(static_cast<std::size_t>(Int(1, 3000)));
            FillSamples(tail);
            c.file.insert(c.file.end(), tail.begin(), tail.end());
        }

        // The window: all, none, the first or last frame, or a stretch.
        const auto n = static_cast<std::uint32_t>(frames);
        switch (Int(0, 5)) {
        case 0: c.windowStart = 0; c.windowFrames = n; break;
        case 1: c.windowStart = static_cast<std::uint32_t>(Int(0, n)) * align; c.windowFrames = 0; break;
        case 2: c.windowStart = 0; c.windowFrames = std::min(n, 1u); break;
        case 3: c.windowStart = n > 0 ? (n - 1) * align : 0; c.windowFrames = std::min(n, 1u); break;
        default: {
            const auto a = static_cast<std::uint32_t>(Int(0, n));
            const auto b = static_cast<std::uint32_t>(Int(a, n));
            c.windowStart = a * align;
            c.windowFrames = b - a;
            break;
        }
        }
        // Now and then a start inside a frame (the frames whose first byte
        // lies in the window are stored).
        if (Chance(10) && c.windowFrames > 0 && align > 1) {
            c.windowStart += 1;
            c.windowFrames -= 1;
        }
        // Room for every frame the engine may store.
        c.blockBytes = static_cast<std::uint32_t>(data.size()) + align;

        c.stopAfter = Chance(3) ? -1 : (Chance(3) ? Int(0, 3) : 1000);
        c.effect = Effect();
        std::ostringstream text;
        text << c.effect.text << " on " << c.format.channels << " ch " << c.format.bits << " bit " << c.format.rate
             << " Hz, " << frames << " frames (" << data.size() << " data bytes, " << c.file.size()
             << " in the file), window from byte " << c.windowStart << " for " << c.windowFrames
             << " frames, progress " << c.stopAfter;
        c.text = text.str();
        return c;
    }

private:
    std::int64_t Int(std::int64_t lo, std::int64_t hi)
    {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(m_rng);
    }
    double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(m_rng); }
    bool Chance(int oneIn) { return Int(1, oneIn) == 1; }
    template <class T, std::size_t N>
    T Pick(const T (&values)[N])
    {
        return values[Int(0, N - 1)];
    }

    // Noise, loud passages, the extremes and runs of silence.
    void FillSamples(Bytes& b)
    {
        const int style = static_cast<int>(Int(0, 3));
        for (auto& x : b) {
            switch (style) {
            case 0: x = static_cast<std::uint8_t>(m_rng()); break;
            case 1: x = Chance(2) ? 0x7F : 0x80; break;
            case 2: x = Chance(4) ? 0xFF : (Chance(3) ? 0x00 : static_cast<std::uint8_t>(m_rng())); break;
            default: x = Chance(50) ? static_cast<std::uint8_t>(m_rng()) : 0x80; break;
            }
        }
    }

    SEffect Effect()
    {
        std::ostringstream t;
        switch (Int(0, 4)) {
        case 0: {
            const int count = Chance(2) ? 5 : static_cast<int>(Pick<std::int64_t>({0, 1, 20, 32, 40, -3}));
            const double mix = Chance(2) ? 0.8 : Pick<double>({0, 1, 0.33, 3.7, 1e6, -0.5});
            const double decay = Chance(2) ? 0.6 : Real(-1.5, 1.5);
            double delay = 100, spacing = 50;
            if (Chance(4)) {
                delay = Real(-300, 2500);
                spacing = Real(-100, 1500);
            }
            t << "echo " << delay << "/" << spacing << " ms, mix " << mix << ", decay " << decay << ", count "
              << count;
            return {t.str(),
                    [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                        return RunEcho(e, s, tg, delay, spacing, 1.0, mix, decay, count, p);
                    },
                    [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                        return RunEchoPerFrame(e, s, tg, delay, spacing, 1.0, mix, decay, count, p);
                    }};
        }
        case 1:
        case 2: {
            const bool chorus = Chance(2);
            const double ratio = Chance(3) ? 1.1 : Pick<double>({0, 1, 0.5, 2, 14, 0.73, 1.9999, -0.8, 3.3, 2.4});
            const double mix = Chance(2) ? 0.5 : Pick<double>({0, 1, 2.5, -1});
            int segment = 100, crossfade = 100;
            if (Chance(2)) {
                // Often a crossfade shorter than the segment: frames with
                // the new head alone.
                // (A segment of 3 s outlasts what the reader holds: heads
                // going backwards then read before the oldest frame held.)
                segment = static_cast<int>(Chance(8) ? 3000 : Int(0, 400));
                crossfade = static_cast<int>(Chance(2) ? Int(0, segment) : Int(0, 400));
            }
            t << (chorus ? "chorus" : "voice changer") << " ratio " << ratio << ", mix " << mix << ", segment "
              << segment << " ms, crossfade " << crossfade << " ms";
            if (chorus)
                return {t.str(),
                        [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                            return RunChorus(e, s, tg, ratio, segment, crossfade, 1.0, mix, p);
                        },
                        [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                            return RunChorusPerFrame(e, s, tg, ratio, segment, crossfade, 1.0, mix, p);
                        }};
            return {t.str(),
                    [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                        return RunVoiceChanger(e, s, tg, ratio, segment, crossfade, p);
                    },
                    [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                        return RunVoiceChangerPerFrame(e, s, tg, ratio, segment, crossfade, p);
                    }};
        }
        case 3: {
            const int depth = Chance(2) ? 50 : static_cast<int>(Pick<std::int64_t>({0, 100, -50, 1000, 20000}));
            const double frequency = Chance(2) ? 3 : Pick<double>({0, 1, 100, 0.01, 17.3, -3});
            const int phase = Chance(2) ? 0 : static_cast<int>(Int(-720, 720));
            t << "vibrato depth " << depth << ", " << frequency << " Hz, phase " << phase;
            return {t.str(),
                    [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                        return RunVibrato(e, s, tg, depth, frequency, phase, p);
                    },
                    [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                        return RunVibratoPerFrame(e, s, tg, depth, frequency, phase, p);
                    }};
        }
        default: {
            const double frequency = Chance(2) ? 3 : Pick<double>({1, 100, 0.5, 44100, 1e7});
            const double level = Chance(2) ? 0.5 : Pick<double>({0, 1, 0.25, 1.7, -2, 40});
            t << "tremolo " << frequency << " Hz, level " << level;
            return {t.str(),
                    [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                        return RunTremolo(e, s, tg, frequency, level, p);
                    },
                    [=](CEffectEngine& e, const std::string& s, const SEffectTarget& tg, CEffectProgress* p) {
                        return RunTremoloPerFrame(e, s, tg, frequency, level, p);
                    }};
        }
        }
    }

    std::mt19937 m_rng;
};

struct SOutcome {
    int code = 0;
    std::uint32_t written = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
    Bytes block;
};

SOutcome RunOne(const Routine& routine, const SCase& c, const std::string& path, CEffectEngine& engine)
{
    SOutcome o;
    o.block.resize(c.blockBytes);
    for (std::size_t i = 0; i < o.block.size(); ++i)
        o.block[i] = static_cast<std::uint8_t>(i * 37 + 11);
    CLog log(c.stopAfter);
    o.code = routine(engine, path, SEffectTarget{o.block.data(), c.windowStart, c.windowFrames},
                     c.stopAfter < 0 ? nullptr : &log);
    o.written = engine.FramesWritten();
    o.calls = log.calls;
    return o;
}

// The first byte where two blocks differ, for the failure message.
std::string FirstDifference(const Bytes& a, const Bytes& b)
{
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return "byte " + std::to_string(i) + ": " + std::to_string(a[i]) + " against " + std::to_string(b[i]);
    return "none";
}

std::uint32_t EnvOr(const char* name, std::uint32_t fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
}

} // namespace

TEST(FastRoutines, StoreTheSameBytesAsThePerFrameRoutines)
{
    CTempDir dir;
    const std::string path = dir / "source.wav";
    const std::uint32_t cases = EnvOr("ONDREL_DIFF_CASES", 160);
    const std::uint32_t seed0 = EnvOr("ONDREL_DIFF_SEED", 1);
    CEffectEngine fastEngine, oracleEngine;
    const bool vector = held_kernels::UsesVectorUnits();
    int failures = 0;
    for (std::uint32_t n = 0; n < cases && failures < 5; ++n) {
        const std::uint32_t seed = seed0 + n;
        const SCase c = CCaseMaker(seed).Make();
        WriteAll(path, c.file);
        // Every other case on the plain block code, which processors
        // without AVX2 run.
        held_kernels::UseVectorUnits(vector && n % 2 == 0);
        const SOutcome fast = RunOne(c.effect.fast, c, path, fastEngine);
        const SOutcome oracle = RunOne(c.effect.oracle, c, path, oracleEngine);
        const bool same = fast.code == oracle.code && fast.written == oracle.written && fast.calls == oracle.calls &&
                          fast.block == oracle.block;
        if (!same) {
            ++failures;
            ADD_FAILURE() << "ONDREL_DIFF_SEED=" << seed << " ONDREL_DIFF_CASES=1: " << c.text
                          << (held_kernels::UsesVectorUnits() ? "" : " (plain block code)") << "\n  code "
                          << fast.code << " against " << oracle.code << ", frames " << fast.written << " against "
                          << oracle.written << ", " << fast.calls.size() << " reports against "
                          << oracle.calls.size() << ", first difference: " << FirstDifference(fast.block, oracle.block);
        }
    }
    held_kernels::UseVectorUnits(vector);
}

// Cases the random ones may miss: each effect's defaults (and an echo train
// longer than the reader holds) on a source several halves long, with the
// windows at the file's edges and at a refill.
TEST(FastRoutines, DefaultsAroundTheRefills)
{
    CTempDir dir;
    const std::string path = dir / "source.wav";
    const PcmFormat format{2, 44100, 16};
    const std::uint32_t half = kRingHalfBytes / 4;
    const std::uint32_t frames = 3 * half + 777;
    Bytes data(std::size_t{frames} * 4);
    std::mt19937 rng(5);
    for (auto& b : data)
        b = static_cast<std::uint8_t>(rng());
    WriteAll(path, SimpleWave(format, data));

    const std::vector<std::pair<std::string, std::pair<Routine, Routine>>> effects = {
        {"echo",
         {[](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunEcho(e, s, t, 100, 50, 1.0, 0.8, 0.6, 5, p);
          },
          [](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunEchoPerFrame(e, s, t, 100, 50, 1.0, 0.8, 0.6, 5, p);
          }}},
        // Taps further back than the reader holds read the oldest frame held.
        {"echo reaching past the oldest frame held",
         {[](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunEcho(e, s, t, 1000, 500, 1.0, 0.8, 0.9, 32, p);
          },
          [](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunEchoPerFrame(e, s, t, 1000, 500, 1.0, 0.8, 0.9, 32, p);
          }}},
        {"chorus",
         {[](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunChorus(e, s, t, 1.1, 100, 100, 1.0, 0.5, p);
          },
          [](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunChorusPerFrame(e, s, t, 1.1, 100, 100, 1.0, 0.5, p);
          }}},
        {"voice changer",
         {[](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunVoiceChanger(e, s, t, 1.1, 100, 100, p);
          },
          [](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunVoiceChangerPerFrame(e, s, t, 1.1, 100, 100, p);
          }}},
        {"vibrato",
         {[](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunVibrato(e, s, t, 50, 3.0, 0, p);
          },
          [](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunVibratoPerFrame(e, s, t, 50, 3.0, 0, p);
          }}},
        {"tremolo",
         {[](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunTremolo(e, s, t, 3.0, 0.5, p);
          },
          [](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
              return RunTremoloPerFrame(e, s, t, 3.0, 0.5, p);
          }}},
    };
    // Windows as (first frame, frames): the whole file, the first frame, the
    // last, the frames around the first and second refill.
    const std::pair<std::uint32_t, std::uint32_t> windows[] = {
        {0, frames}, {0, 1}, {frames - 1, 1}, {half - 3, 7}, {2 * half - 1, 2}, {half, half}};
    CEffectEngine engine;
    const bool vector = held_kernels::UsesVectorUnits();
    for (const auto& [name, routines] : effects) {
        for (const auto& [first, count] : windows) {
            SCOPED_TRACE(name + " window " + std::to_string(first) + " + " + std::to_string(count));
            SCase c;
            c.blockBytes = static_cast<std::uint32_t>(data.size());
            c.windowStart = first * 4;
            c.windowFrames = count;
            const SOutcome oracle = RunOne(routines.second, c, path, engine);
            // The vector block code where the processor has it, and the
            // plain block code.
            for (const bool on : {vector, false}) {
                held_kernels::UseVectorUnits(on);
                const SOutcome fast = RunOne(routines.first, c, path, engine);
                EXPECT_EQ(fast.code, kEngineOk);
                EXPECT_EQ(fast.written, oracle.written);
                EXPECT_TRUE(fast.block == oracle.block)
                    << (on ? "" : "plain block code: ") << FirstDifference(fast.block, oracle.block);
            }
        }
    }
    held_kernels::UseVectorUnits(vector);
}

// The read heads' positions come from AddRepeatedly: it must give every
// bit of the sum the additions give one at a time, across binades, for
// steps halfway between two doubles of a binade (where the rounding to
// even alternates), and for the values it leaves to single additions.
TEST(FastRoutines, RepeatedAdditionGivesTheSumOfSingleAdditions)
{
    auto oneByOne = [](double p, double step, std::int64_t steps) {
        for (std::int64_t k = 0; k < steps; ++k)
            p += step;
        return p;
    };
    auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    struct Row {
        double start, step;
        std::int64_t steps;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Row> rows = {
        {0, 1.1, 300000},              // from 0 up through many binades
        {4410.0 * 300, 1.1, 8820},     // a chorus head
        {0x1p20 + 3, 1 + 0x1p-33, 5000}, // halfway between two doubles of [2^20, 2^21)
        {0x1p20, 1 + 0x1p-33, 5000},
        {0x1p21 - 40, 1 + 0x1p-32 + 0x1p-33, 100}, // halfway, into the next binade
        {1e6, 0.1, 1000000},
        {3, 0.5, 100000},              // a step that is a multiple of u
        {0x1p21 - 2.5, 1.25, 10},      // crossing 2^21 in the first additions
        {1e5, -0.9, 1000},             // going down
        {-5, 1.1, 20},                 // through zero
        {0x1p61, 3, 1000},             // u far above the step: one by one
        {1e9, 1e-300, 100},
        {7, 0, 1000},
        {nan, 1.1, 10},
        {1, inf, 10},
        {1, nan, 10},
        {12345.678, 14, 9000},
        {5, 1.1, 0},
        {5, 1.1, -3},
    };
    for (const Row& r : rows)
        EXPECT_TRUE(same(effect_math::AddRepeatedly(r.start, r.step, r.steps), oneByOne(r.start, r.step, r.steps)))
            << r.start << " + " << r.steps << " x " << r.step;

    std::mt19937_64 rng(11);
    for (int n = 0; n < 3000; ++n) {
        const double start = std::ldexp(static_cast<double>(rng() >> 11), -int(rng() % 40));
        double step = std::ldexp(static_cast<double>(rng() >> 11), -50 - int(rng() % 8));
        if (n % 3 == 0 && start >= 1) {
            // A step halfway between two multiples of the start's u.
            int e = 0;
            (void)std::frexp(start, &e);
            step = (std::floor(step / std::ldexp(1.0, e - 53)) + 0.5) * std::ldexp(1.0, e - 53);
        }
        const auto steps = static_cast<std::int64_t>(rng() % 20000);
        ASSERT_TRUE(same(effect_math::AddRepeatedly(start, step, steps), oneByOne(start, step, steps)))
            << std::hexfloat << start << " + " << steps << " x " << step;
    }
}
