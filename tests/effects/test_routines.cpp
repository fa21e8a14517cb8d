// The effect routines, run through the engine on small hand-made files.
// Expected outputs are worked out here from the effects' formulas on inputs
// chosen so that each value can be checked by hand.

#include "effects/EffectRoutines.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Frames = std::vector<SFrame>;
using Routine = std::function<int(CEffectEngine&, const std::string&, const SEffectTarget&, CEffectProgress*)>;

constexpr std::uint8_t kMarker = 0xA5;

std::uint32_t Align(const PcmFormat& f)
{
    return f.channels * f.bits / 8u;
}

// Frames on the 16-bit scale stored as the target stores them: clamped, mono
// as the average of left and right, 8-bit as the high byte plus 128.
Bytes Encode(const PcmFormat& f, const Frames& frames)
{
    Bytes b;
    for (const SFrame& fr : frames) {
        const std::int32_t l = std::clamp(fr.left, -32768, 32767);
        const std::int32_t r = std::clamp(fr.right, -32768, 32767);
        const auto to8 = [](std::int32_t v) { return static_cast<std::uint8_t>((v >> 8) + 128); };
        if (f.bits == 16 && f.channels == 2) {
            Put16(b, static_cast<std::uint16_t>(l));
            Put16(b, static_cast<std::uint16_t>(r));
        } else if (f.bits == 16) {
            Put16(b, static_cast<std::uint16_t>((l + r) / 2));
        } else if (f.channels == 2) {
            b.push_back(to8(l));
            b.push_back(to8(r));
        } else {
            b.push_back(to8((l + r) / 2));
        }
    }
    return b;
}

// Stored samples back on the 16-bit scale (mono as both channels).
Frames Decode(const PcmFormat& f, const Bytes& b)
{
    Frames frames;
    for (std::size_t p = 0; p + Align(f) <= b.size(); p += Align(f)) {
        const auto sample = [&](std::size_t at) -> std::int32_t {
            if (f.bits == 16)
                return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[at] | b[at + 1] << 8));
            return (b[at] - 128) * 256;
        };
        const std::int32_t l = sample(p);
        frames.push_back({l, f.channels == 2 ? sample(p + f.bits / 8) : l});
    }
    return frames;
}

// Deterministic noise in -amplitude..amplitude (mono frames carry one value).
Frames Noise(std::size_t n, int amplitude, bool mono = false, std::uint32_t seed = 12345)
{
    std::uint32_t s = seed;
    const auto next = [&] {
        s = s * 1664525u + 1013904223u;
        return static_cast<std::int32_t>((s >> 8) % static_cast<std::uint32_t>(2 * amplitude + 1)) - amplitude;
    };
    Frames frames(n);
    for (SFrame& f : frames) {
        f.left = next();
        f.right = mono ? f.left : next();
    }
    return frames;
}

Frames Constant(std::size_t n, std::int32_t value)
{
    return Frames(n, SFrame{value, value});
}

// Channel `ch` of `in` at a fractional position, interpolated linearly
// between the frames around it and truncated toward zero; silence outside
// the file (which ends with its data).
std::int32_t ReadAt(const Frames& in, double x, std::int32_t SFrame::*ch)
{
    const auto at = [&](std::int64_t k) { return k >= 0 && k < std::ssize(in) ? in[k].*ch : 0; };
    const auto a = static_cast<std::int64_t>(std::trunc(x));
    const double d = x - static_cast<double>(a);
    return static_cast<std::int32_t>((1 - d) * at(a) + d * at(a + 1));
}

// A progress object that records its calls and answers true `allowed` times.
class CRecordingProgress : public CEffectProgress {
public:
    explicit CRecordingProgress(std::size_t allowed) : m_allowed(allowed) {}
    bool Continue(std::uint32_t framesDone, std::uint32_t framesTotal) override
    {
        calls.emplace_back(framesDone, framesTotal);
        return calls.size() <= m_allowed;
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;

private:
    std::size_t m_allowed;
};

Routine Echo(double mix, int count, double decay = 0.6, double delayMs = 100, double spacingMs = 50)
{
    return [=](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
        return RunEcho(e, s, t, delayMs, spacingMs, 1.0, mix, decay, count, p);
    };
}

Routine Chorus(double ratio, double mix, int segmentMs = 100, int crossfadeMs = 100)
{
    return [=](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
        return RunChorus(e, s, t, ratio, segmentMs, crossfadeMs, 1.0, mix, p);
    };
}

Routine Voice(double ratio, int segmentMs = 100, int crossfadeMs = 100)
{
    return [=](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
        return RunVoiceChanger(e, s, t, ratio, segmentMs, crossfadeMs, p);
    };
}

Routine Vibrato(int depth, double frequency)
{
    return [=](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
        return RunVibrato(e, s, t, depth, frequency, 0, p);
    };
}

Routine Tremolo(double frequency, double level)
{
    return [=](CEffectEngine& e, const std::string& s, const SEffectTarget& t, CEffectProgress* p) {
        return RunTremolo(e, s, t, frequency, level, p);
    };
}

class RoutineTest : public ::testing::Test {
protected:
    struct SResult {
        int code;
        Bytes block;
    };

    // Writes `data` as the source file and runs `routine` into a block of
    // the same size filled with kMarker. The window defaults to every frame.
    SResult Run(const PcmFormat& f, const Bytes& data, const Routine& routine,
                CEffectProgress* progress = nullptr, std::uint32_t windowStart = 0,
                std::optional<std::uint32_t> windowFrames = std::nullopt)
    {
        const std::string path = m_dir / "source.wav";
        WriteAll(path, SimpleWave(f, data));
        SResult r{0, Bytes(data.size(), kMarker)};
        const SEffectTarget target{r.block.data(), windowStart,
                                   windowFrames.value_or(static_cast<std::uint32_t>(data.size() / Align(f)))};
        r.code = routine(m_engine, path, target, progress);
        return r;
    }

    CTempDir m_dir;
    CEffectEngine m_engine;
};

using RoutineEcho = RoutineTest;
using RoutineTremolo = RoutineTest;
using RoutineVibrato = RoutineTest;
using RoutinePitchShift = RoutineTest;
using RoutineRun = RoutineTest;

const PcmFormat kStereo16At8k{2, 8000, 16};
const PcmFormat kMono16At8k{1, 8000, 16};
const PcmFormat kMono8At8k{1, 8000, 8};

// ---------------------------------------------------------------- echo

// At 8,000 Hz the first tap is 800 frames back and the taps are 400 apart.
// Negative impulses on the left at frame 0 and on the right at frame 1: each
// echo appears on the other channel, scaled by its gain and shifted down 8
// bits, which rounds toward minus infinity (-7968.75 gives -7969).
TEST_F(RoutineEcho, GainsDecayFromTheMixLevelAndCrossChannels)
{
    const struct {
        double mix;
        std::vector<std::int32_t> gains;
    } cases[] = {
        {0.8, {204, 122, 73, 43, 25}},
        {1.0, {256, 153, 91, 54, 32}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mix);
        Frames in = Constant(2500, 0);
        in[0].left = -10000;
        in[1].right = -6000;
        Frames expected = in;
        for (std::size_t k = 0; k < c.gains.size(); ++k) {
            expected[800 + 400 * k].right = (c.gains[k] * -10000) >> 8;
            expected[801 + 400 * k].left = (c.gains[k] * -6000) >> 8;
        }
        ASSERT_EQ(expected[800].right, c.mix == 0.8 ? -7969 : -10000);
        ASSERT_EQ(expected[801].left, c.mix == 0.8 ? -4782 : -6000);

        const SResult r = Run(kStereo16At8k, Encode(kStereo16At8k, in), Echo(c.mix, 5));
        ASSERT_EQ(r.code, kEngineOk);
        EXPECT_EQ(r.block, Encode(kStereo16At8k, expected));
    }
}

// Before the first tap reaches the file (100 ms) every tap reads silence;
// no echoes (count 0 or below, or mix 0) leaves the whole file as it is.
TEST_F(RoutineEcho, LeavesTheSignalWhereNoEchoSounds)
{
    const Bytes in = Encode(kStereo16At8k, Noise(1200, 20000));
    const struct {
        double mix;
        int count;
        std::size_t unchangedFrames;
    } cases[] = {
        {0.8, 5, 800},
        {0.8, 0, 1200},
        {0.8, -3, 1200},
        {0.0, 5, 1200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mix " << c.mix << " count " << c.count);
        const SResult r = Run(kStereo16At8k, in, Echo(c.mix, c.count));
        ASSERT_EQ(r.code, kEngineOk);
        const std::size_t bytes = c.unchangedFrames * 4;
        EXPECT_EQ(Bytes(r.block.begin(), r.block.begin() + bytes), Bytes(in.begin(), in.begin() + bytes));
        if (bytes < in.size()) {
            EXPECT_NE(Bytes(r.block.begin() + bytes, r.block.end()), Bytes(in.begin() + bytes, in.end()));
        }
    }
}

// With decay 1 every echo keeps gain 256, so the length of the train shows:
// a count of 40 gives echoes 1 to 32 (frames 80 to 2,560) and nothing at
// frame 2,640.
TEST_F(RoutineEcho, CountAbove32GivesThirtyTwoEchoes)
{
    Frames in = Constant(3000, 0);
    in[0] = {1000, 1000};
    Frames expected = in;
    for (int k = 1; k <= 32; ++k)
        expected[80 * k] = {1000, 1000};

    const SResult r = Run(kMono16At8k, Encode(kMono16At8k, in), Echo(1.0, 40, 1.0, 10, 10));
    ASSERT_EQ(r.code, kEngineOk);
    EXPECT_EQ(r.block, Encode(kMono16At8k, expected));
}

// 8-bit mono: byte 0x40 is -16384; gains 128 and 76 give -8192 and -4864,
// stored as 0x60 and 0x6D.
TEST_F(RoutineEcho, EightBitMono)
{
    Bytes in(1300, 0x80);
    in[0] = 0x40;
    Bytes expected = in;
    expected[800] = 0x60;
    expected[1200] = 0x6D;

    const SResult r = Run(kMono8At8k, in, Echo(0.5, 2));
    ASSERT_EQ(r.code, kEngineOk);
    EXPECT_EQ(r.block, expected);
}

// A window of 10 frames from frame 795 stores bytes 3,180 to 3,219 and
// nothing else; the first echo of an impulse at frame 0, far before the
// window, sounds inside it at frame 800 because the run starts at frame 0.
TEST_F(RoutineEcho, WindowStoresOnlyItsFramesAndHearsEarlierSound)
{
    Frames in = Constant(1000, 0);
    in[0].left = 10000;
    Bytes expected(in.size() * 4, kMarker);
    const Bytes window = Encode(kStereo16At8k, {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
                                                {0, 7968}, {0, 0}, {0, 0}, {0, 0}, {0, 0}});
    std::copy(window.begin(), window.end(), expected.begin() + 3180);

    const SResult r = Run(kStereo16At8k, Encode(kStereo16At8k, in), Echo(0.8, 5), nullptr, 795 * 4, 10);
    ASSERT_EQ(r.code, kEngineOk);
    EXPECT_EQ(r.block, expected);
}

// Mix levels far beyond the dialog's range saturate instead of wrapping:
// the sums do not overflow, so every frame an echo reaches is at full scale.
TEST_F(RoutineEcho, HugeMixLevelSaturates)
{
    Frames expected = Constant(1000, 1000);
    for (std::size_t i = 800; i < expected.size(); ++i)
        expected[i] = {32767, 32767};
    const SResult r = Run(kMono16At8k, Encode(kMono16At8k, Constant(1000, 1000)), Echo(1e12, 5));
    ASSERT_EQ(r.code, kEngineOk);
    EXPECT_EQ(r.block, Encode(kMono16At8k, expected));
}

// ---------------------------------------------------------------- tremolo

// The gain of frame i, with the phase stepped frame by frame as the
// oscillator does.
double TremoloGain(std::uint32_t i, double frequency, double level, double rate)
{
    const double w = frequency * 6.283185307179586 / rate;
    double theta = 0;
    for (std::uint32_t k = 0; k < i; ++k) {
        theta += w;
        while (theta > 6.283185307179586)
            theta -= 6.283185307179586;
    }
    return level * std::sin(theta) * 0.5 + 1 - level * 0.5;
}

// 1 Hz at 44,100 Hz, level 0.5, on left 10000 and right -10000: frame 0 is
// scaled by 0.75, the crest at frame 11,025 by exactly 1 and the trough at
// 33,075 by 0.5; products truncate toward zero on both signs.
TEST_F(RoutineTremolo, GainFollowsTheSine)
{
    const PcmFormat f{2, 44100, 16};
    const Frames in(44100, SFrame{10000, -10000});
    const SResult r = Run(f, Encode(f, in), Tremolo(1, 0.5));
    ASSERT_EQ(r.code, kEngineOk);
    const Frames out = Decode(f, r.block);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out[0].left, 7500);
    EXPECT_EQ(out[0].right, -7500);
    EXPECT_EQ(out[11025].left, 10000);
    EXPECT_EQ(out[11025].right, -10000);
    EXPECT_EQ(out[33075].left, 5000);
    EXPECT_EQ(out[33075].right, -5000);
    for (std::uint32_t i : {1u, 2u, 100u, 5000u, 11024u, 11026u, 22050u, 30000u, 44099u}) {
        SCOPED_TRACE(i);
        const double g = TremoloGain(i, 1, 0.5, 44100);
        EXPECT_EQ(out[i].left, static_cast<std::int32_t>(10000 * g));
        EXPECT_EQ(out[i].right, static_cast<std::int32_t>(-10000 * g));
    }
    // Frame 1's gain is a little above 0.75: truncation, not flooring, on
    // the negative side.
    EXPECT_EQ(out[1].right, -7500);
}

TEST_F(RoutineTremolo, LevelZeroLeavesTheSignal)
{
    const Bytes in = Encode(kStereo16At8k, Noise(3000, 32000));
    const SResult r = Run(kStereo16At8k, in, Tremolo(3, 0.0));
    ASSERT_EQ(r.code, kEngineOk);
    EXPECT_EQ(r.block, in);
}

// Level 1 on 8-bit mono 0xC0 (16384), 1 Hz at 8,000 Hz: half at frame 0,
// full at the crest (frame 2,000), silent at the trough (frame 6,000), and
// never outside those.
TEST_F(RoutineTremolo, LevelOneSilencesTheTroughs)
{
    const SResult r = Run(kMono8At8k, Bytes(8000, 0xC0), Tremolo(1, 1.0));
    ASSERT_EQ(r.code, kEngineOk);
    EXPECT_EQ(r.block[0], 0xA0);
    EXPECT_EQ(r.block[2000], 0xC0);
    EXPECT_EQ(r.block[6000], 0x80);
    EXPECT_EQ(*std::min_element(r.block.begin(), r.block.end()), 0x80);
    EXPECT_EQ(*std::max_element(r.block.begin(), r.block.end()), 0xC0);
}

// ---------------------------------------------------------------- vibrato

// The read position starts D frames behind the output and moves slowly at
// first, so on a constant file the first frames read from before the start:
// frames 0 to D-3 read two silent frames and come out silent, frame D-2 is
// the first to reach frame 0, and from frame D on the output is the
// constant (within the interpolation's rounding).
TEST_F(RoutineVibrato, SwingStartsDFramesBehind)
{
    const struct {
        std::uint32_t rate;
        std::uint16_t bits;
        int depth;
        double frequency;
        int swing;
    } cases[] = {
        {44100, 16, 50, 3, 69}, {22050, 16, 50, 3, 34}, {11025, 16, 50, 3, 17},
        {8000, 16, 50, 3, 12},  {44100, 16, 100, 100, 4}, {8000, 8, 50, 3, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.bits << " bits, depth " << c.depth
                                        << ", " << c.frequency << " Hz");
        const PcmFormat f{1, c.rate, c.bits};
        const Frames in = Decode(f, Encode(f, Constant(300, 16384)));
        const SResult r = Run(f, Encode(f, in), Vibrato(c.depth, c.frequency));
        ASSERT_EQ(r.code, kEngineOk);
        const Frames out = Decode(f, r.block);
        for (int i = 0; i < c.swing - 2; ++i)
            ASSERT_EQ(out[i].left, 0) << "frame " << i;
        EXPECT_NE(out[c.swing - 2].left, 0);
        const std::int32_t tolerance = c.bits == 8 ? 256 : 1;
        for (int i = c.swing; i < 200; ++i)
            ASSERT_LE(std::abs(out[i].left - 16384), tolerance) << "frame " << i;
    }
}

// Depth 50 at 3 Hz on an 8,000 Hz file swings the read position 12 frames
// either way: frame i reads at i + 12 sin(phase), the phase starting at 3π/2
// and stepping by 2π·3/8000 after each frame (wrapping after 2,667 frames).
TEST_F(RoutineVibrato, ReadPositionSwingsAroundTheFrame)
{
    const Frames in = Noise(3000, 30000);
    Frames expected;
    double phase = 4.71238898038469;
    const double w = 6.283185307179586 * 3 / 8000;
    for (int i = 0; i < std::ssize(in); ++i) {
        const double x = i + 12 * std::sin(phase);
        phase += w;
        while (phase > 6.283185307179586)
            phase -= 6.283185307179586;
        expected.push_back({ReadAt(in, x, &SFrame::left), ReadAt(in, x, &SFrame::right)});
    }
    const SResult r = Run(kStereo16At8k, Encode(kStereo16At8k, in), Vibrato(50, 3));
    ASSERT_EQ(r.code, kEngineOk);
    EXPECT_EQ(r.block, Encode(kStereo16At8k, expected));
}

// A swing of 0 frames reads every frame in place: depth 0, frequency 0, and
// depth 100 at 100 Hz on an 8,000 Hz file (D = trunc(0.757) = 0).
TEST_F(RoutineVibrato, NoSwingLeavesTheSignal)
{
    const Bytes in = Encode(kStereo16At8k, Noise(3000, 32000));
    const struct {
        int depth;
        double frequency;
    } cases[] = {{0, 3}, {50, 0}, {100, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << ", " << c.frequency << " Hz");
        const SResult r = Run(kStereo16At8k, in, Vibrato(c.depth, c.frequency));
        ASSERT_EQ(r.code, kEngineOk);
        EXPECT_EQ(r.block, in);
    }
}

// ---------------------------------------------------------- pitch shifter

// At ratio 1 both heads read exactly the frame being written: the voice
// changer gives the input back within one unit, the chorus with mix 0 gives
// it back exactly and with mix 0.5 about 1.5 times it, clamped.
TEST_F(RoutinePitchShift, RatioOneFollowsTheInput)
{
    const Frames in = Noise(2000, 30000);
    const Bytes data = Encode(kStereo16At8k, in);
    const auto scaled = [](double k) {
        return [k](std::int32_t v) { return std::clamp(static_cast<std::int32_t>(v * k), -32768, 32767); };
    };
    const struct {
        const char* name;
        Routine routine;
        std::function<std::int32_t(std::int32_t)> expect;
        std::int32_t tolerance;
    } cases[] = {
        {"voice", Voice(1.0), scaled(1.0), 1},
        {"chorus mix 0", Chorus(1.0, 0.0), scaled(1.0), 0},
        {"chorus mix 0.5", Chorus(1.0, 0.5), scaled(1.5), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SResult r = Run(kStereo16At8k, data, c.routine);
        ASSERT_EQ(r.code, kEngineOk);
        const Frames out = Decode(kStereo16At8k, r.block);
        std::int32_t clamped = 0;
        for (std::size_t i = 0; i < in.size(); ++i) {
            ASSERT_LE(std::abs(out[i].left - c.expect(in[i].left)), c.tolerance) << "frame " << i;
            ASSERT_LE(std::abs(out[i].right - c.expect(in[i].right)), c.tolerance) << "frame " << i;
            clamped += out[i].left == 32767 || out[i].left == -32768;
        }
        if (c.expect(30000) == 32767) {
            EXPECT_GT(clamped, 0);
        }
    }
}

// With ratios whose sums are exact, the heads of segment s (starting at
// output frame s*S) are at s*S + j*r (new) and (s-1)*S + (S + j)*r (old:
// where the previous new head had got to); the first segment starts both at
// 0. Over the first C frames the old head fades out along a half cosine;
// after them the new head sounds alone. At 8,000 Hz 1 ms is 8 frames.
TEST_F(RoutinePitchShift, HeadsRestartEverySegment)
{
    const struct {
        bool chorus;
        double ratio;
        int segmentMs;
        int crossfadeMs;
        std::uint16_t bits;
    } cases[] = {
        {false, 0.0, 1, 1, 16}, {false, 0.5, 1, 1, 16}, {false, 2.0, 1, 1, 16},
        {false, 0.5, 2, 1, 16}, {true, 0.5, 2, 1, 16},  {true, 2.0, 1, 1, 8},
        {false, 0.5, 1, 1, 8},  {true, 0.0, 1, 1, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.chorus ? "chorus" : "voice") << " ratio " << c.ratio << ", "
                                        << c.segmentMs << "/" << c.crossfadeMs << " ms, " << c.bits << " bits");
        // 16-bit cases in stereo, so that each channel is checked on its own.
        const PcmFormat f{static_cast<std::uint16_t>(c.bits == 16 ? 2 : 1), 8000, c.bits};
        const Frames in = Decode(f, Encode(f, Noise(60, 30000, f.channels == 1)));
        const int S = 8 * c.segmentMs;
        const int C = 8 * c.crossfadeMs;
        Frames expected;
        for (int i = 0; i < std::ssize(in); ++i) {
            const int s = i / S;
            const int j = i % S;
            const double posNew = s * S + j * c.ratio;
            const double posOld = s == 0 ? j * c.ratio : (s - 1) * S + (S + j) * c.ratio;
            const auto channel = [&](std::int32_t SFrame::*ch) {
                std::int32_t x = ReadAt(in, posNew, ch);
                if (j < C) {
                    const double t = (std::cos(3.141592653589793 * j / C) + 1) * 0.5;
                    x = static_cast<std::int32_t>((1 - t) * ReadAt(in, posNew, ch) + t * ReadAt(in, posOld, ch));
                }
                return c.chorus ? static_cast<std::int32_t>(in[i].*ch * 1.0 + x * 0.5) : x;
            };
            expected.push_back({channel(&SFrame::left), channel(&SFrame::right)});
        }
        const Routine routine = c.chorus ? Chorus(c.ratio, 0.5, c.segmentMs, c.crossfadeMs)
                                         : Voice(c.ratio, c.segmentMs, c.crossfadeMs);
        const SResult r = Run(f, Encode(f, in), routine);
        ASSERT_EQ(r.code, kEngineOk);
        EXPECT_EQ(r.block, Encode(f, expected));
    }
}

// ------------------------------------------------------ common to all five

struct SNamedRoutine {
    const char* name;
    Routine run;
};

std::vector<SNamedRoutine> AllRoutines()
{
    return {
        {"echo", Echo(0.8, 5)},       {"chorus", Chorus(1.1, 0.5)}, {"voice changer", Voice(1.1)},
        {"vibrato", Vibrato(50, 3)},  {"tremolo", Tremolo(3, 0.5)},
    };
}

// Progress is reported after 65,536 frames; a stop there leaves the rest of
// the block as it was, and what was written matches an uninterrupted run.
TEST_F(RoutineRun, ProgressCanStopARun)
{
    const Bytes in = Encode(kMono8At8k, Noise(70000, 32000, true));
    // Before the first frame, then after every 65,536 frames while frames remain.
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> calls{{0, 70000}, {65536, 70000}};
    for (const auto& r : AllRoutines()) {
        SCOPED_TRACE(r.name);
        CRecordingProgress keepGoing(2);
        const SResult full = Run(kMono8At8k, in, r.run, &keepGoing);
        EXPECT_EQ(full.code, kEngineOk);
        EXPECT_EQ(keepGoing.calls, calls);

        // A stop asked for before the run writes nothing.
        CRecordingProgress stopAtOnce(0);
        const SResult none = Run(kMono8At8k, in, r.run, &stopAtOnce);
        EXPECT_EQ(none.code, kEngineCancelled);
        EXPECT_EQ(none.block, Bytes(70000, kMarker));

        CRecordingProgress stop(1);
        const SResult stopped = Run(kMono8At8k, in, r.run, &stop);
        EXPECT_EQ(stopped.code, kEngineCancelled);
        EXPECT_EQ(stop.calls, calls);
        EXPECT_EQ(Bytes(stopped.block.begin(), stopped.block.begin() + 65536),
                  Bytes(full.block.begin(), full.block.begin() + 65536));
        EXPECT_EQ(Bytes(stopped.block.begin() + 65536, stopped.block.end()), Bytes(70000 - 65536, kMarker));
        EXPECT_NE(Bytes(full.block.begin() + 65536, full.block.end()), Bytes(70000 - 65536, kMarker));
    }
}

// Frequencies and ratios nobody would type still finish in time: the phase
// wrap must not loop for ever and no position or gain may overflow.
TEST_F(RoutineRun, AbsurdParametersFinish)
{
    const Bytes in = Encode(kStereo16At8k, Noise(4000, 30000));
    const double inf = std::numeric_limits<double>::infinity();
    const SNamedRoutine cases[] = {
        {"vibrato 1e12 Hz", Vibrato(100, 1e12)},   {"vibrato -1e-9 Hz", Vibrato(100, -1e-9)},
        {"vibrato inf Hz", Vibrato(100, inf)},     {"tremolo 1e15 Hz", Tremolo(1e15, 0.5)},
        {"tremolo inf Hz", Tremolo(inf, 0.5)},     {"chorus ratio 1e300", Chorus(1e300, 1e300)},
        {"voice ratio -1e300", Voice(-1e300)},     {"echo delays 1e300 ms", Echo(0.8, 32, 1e300, 1e300, -1e300)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Run(kStereo16At8k, in, c.run).code, kEngineOk);
    }
}

// A source that cannot be opened or is no WAV file: its code comes back and
// the block is untouched.
TEST_F(RoutineRun, UnopenableSourceWritesNothing)
{
    const std::string text = m_dir / "text.wav";
    WriteAll(text, std::string(200, 'x'));
    const struct {
        std::string path;
        int code;
    } sources[] = {{m_dir / "missing.wav", kEngineCannotOpen}, {text, kEngineUnusable}};
    for (const auto& r : AllRoutines()) {
        for (const auto& s : sources) {
            SCOPED_TRACE(testing::Message() << r.name << " on " << s.path);
            Bytes block(64, kMarker);
            CRecordingProgress progress(1);
            EXPECT_EQ(r.run(m_engine, s.path, SEffectTarget{block.data(), 0, 16}, &progress), s.code);
            EXPECT_EQ(block, Bytes(64, kMarker));
            EXPECT_TRUE(progress.calls.empty());
        }
    }
}

} // namespace
