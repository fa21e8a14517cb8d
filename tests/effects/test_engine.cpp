#include "effects/CEffectEngine.h"
#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <utility>
#include <vector>

// Beside SFrame, where the comparisons of the test macros look for them.
static bool operator==(const SFrame& a, const SFrame& b)
{
    return a.left == b.left && a.right == b.right;
}

static void PrintTo(const SFrame& f, std::ostream* os)
{
    *os << "(" << f.left << ", " << f.right << ")";
}

namespace {

const SFrame kSilence{0, 0};

// A chunk of `size` filler bytes.
Bytes Junk(std::size_t size)
{
    return Bytes(size, 'j');
}

// The bytes of 16-bit samples.
Bytes Samples16(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        Put16(b, static_cast<std::uint16_t>(v));
    return b;
}

class EngineTest : public ::testing::Test {
protected:
    CTempDir dir;
    CEffectEngine engine;
    SSourceFormat format;

    int Open(const Bytes& file, const std::string& name = "source.wav")
    {
        WriteAll(dir / name, file);
        return engine.OpenEffectSource(dir / name, format);
    }
};

// ---------------------------------------------------------------------------
// ParseWaveHeader

struct HeaderCase {
    const char* name;
    std::function<Bytes()> bytes;
    std::uint32_t n; // 0: all of the bytes
    int code;
    std::uint32_t offset; // checked when the code is 0
};

Bytes Standard44()
{
    return SimpleWave({2, 44100, 16}, Bytes(16, 1));
}

void PrintTo(const HeaderCase& c, std::ostream* os)
{
    *os << c.name;
}

const HeaderCase kHeaderCases[] = {
    {"Standard44", Standard44, 56, kEngineOk, 44},
    {"Exactly44", Standard44, 44, kEngineOk, 44},
    {"FewerThan44", Standard44, 43, kEngineMoreBytes, 0},
    {"NoMagic",
     [] {
         Bytes b = Standard44();
         std::memcpy(b.data(), "RIFX", 4);
         std::memcpy(b.data() + 8, "WAVX", 4);
         return b;
     },
     0, kEngineUnusable, 0},
    {"WaveWithoutRiff",
     [] {
         Bytes b = Standard44();
         std::memcpy(b.data(), "RIFX", 4);
         return b;
     },
     0, kEngineOk, 44},
    {"RiffWithoutWave",
     [] {
         Bytes b = Standard44();
         std::memcpy(b.data() + 8, "AVI ", 4);
         return b;
     },
     0, kEngineOk, 44},
    {"FmtShorterThan16",
     [] {
         Bytes body = FmtBody({});
         body.resize(14);
         Bytes chunks;
         PutChunk(chunks, "fmt ", body);
         PutChunk(chunks, "data", Bytes(16, 0));
         return RiffWave(chunks);
     },
     0, kEngineUnusable, 0},
    {"FmtBodyPastN",
     [] {
         Bytes chunks;
         Bytes body = FmtBody({});
         body.resize(40);
         PutChunk(chunks, "fmt ", body);
         PutChunk(chunks, "data", Bytes(16, 0));
         return RiffWave(chunks);
     },
     56, kEngineUnusable, 0},
    {"ChunkBetweenFmtAndDataPastN",
     [] {
         Bytes chunks;
         PutChunk(chunks, "fmt ", FmtBody({}));
         PutChunk(chunks, "LIST", Junk(100));
         PutChunk(chunks, "data", Bytes(16, 0));
         return RiffWave(chunks);
     },
     56, kEngineUnusable, 0},
    {"ChunkHeaderCutOff",
     [] {
         Bytes chunks;
         PutChunk(chunks, "JUNK", Junk(30)); // the next header starts at 50
         PutChunk(chunks, "fmt ", FmtBody({}));
         PutChunk(chunks, "data", Bytes(32, 0));
         return RiffWave(chunks);
     },
     56, kEngineMoreBytes, 0},
    {"ChunkHeaderCutOffThenFound",
     [] {
         Bytes chunks;
         PutChunk(chunks, "JUNK", Junk(30));
         PutChunk(chunks, "fmt ", FmtBody({}));
         PutChunk(chunks, "data", Bytes(32, 0));
         return RiffWave(chunks);
     },
     112, kEngineOk, 82},
    // A walk that ends exactly at n is not cut off: there is nothing more to ask for.
    {"ChunkEndsExactlyAtN",
     [] {
         Bytes chunks;
         PutChunk(chunks, "JUNK", Junk(36));
         PutChunk(chunks, "fmt ", FmtBody({}));
         PutChunk(chunks, "data", Bytes(16, 0));
         return RiffWave(chunks);
     },
     56, kEngineUnusable, 0},
    {"DataBeforeFmt",
     [] {
         Bytes chunks;
         PutChunk(chunks, "data", Bytes(16, 0));
         PutChunk(chunks, "fmt ", FmtBody({}));
         return RiffWave(chunks);
     },
     0, kEngineUnusable, 0},
    // Chunk sizes are taken as they are: an odd chunk without its pad byte
    // puts the next header at the odd offset.
    {"OddChunkNotPadded",
     [] {
         Bytes chunks;
         PutChunk(chunks, "LIST", OddListBody(), false);
         PutChunk(chunks, "fmt ", FmtBody({}));
         PutChunk(chunks, "data", Bytes(16, 0));
         return RiffWave(chunks);
     },
     0, kEngineOk, 57},
    {"ChunkSizeNear4GiB",
     [] {
         Bytes chunks;
         PutChunk(chunks, "fmt ", FmtBody({}));
         PutTag(chunks, "JUNK");
         Put32(chunks, 0xFFFFFFF0u);
         PutChunk(chunks, "data", Bytes(16, 0));
         return RiffWave(chunks);
     },
     0, kEngineUnusable, 0},
};

class EngineHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(EngineHeaderTest, ReturnsCodeAndDataOffset)
{
    const HeaderCase& c = GetParam();
    const Bytes b = c.bytes();
    const std::uint32_t n = c.n ? c.n : static_cast<std::uint32_t>(b.size());
    ASSERT_LE(n, b.size());
    // Only the first n bytes may be looked at: give the parser exactly those.
    const std::vector<std::uint8_t> exact(b.begin(), b.begin() + n);
    SSourceFormat f;
    std::uint32_t offset = 0;
    EXPECT_EQ(CEffectEngine::ParseWaveHeader(exact.data(), n, f, offset), c.code);
    if (c.code == kEngineOk) {
        EXPECT_EQ(offset, c.offset);
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineHeaderTest, ::testing::ValuesIn(kHeaderCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(EngineHeader, ReadsFormatFieldsWithoutLookingAtTheTag)
{
    Bytes body = FmtBody({2, 48000, 16, 0x55});
    body.resize(18, 0); // a longer fmt body is fine
    Bytes chunks;
    PutChunk(chunks, "fmt ", body);
    PutChunk(chunks, "data", Bytes(12, 0));
    Bytes b = RiffWave(chunks);
    SSourceFormat f;
    std::uint32_t offset = 0;
    ASSERT_EQ(CEffectEngine::ParseWaveHeader(b.data(), static_cast<std::uint32_t>(b.size()), f, offset),
              kEngineOk);
    EXPECT_EQ(f.nSamplesPerSec, 48000u);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nBitsPerSample, 16);
    EXPECT_EQ(f.dwDataSize, 12u);
    EXPECT_EQ(offset, 46u);

    // Channels and bits are signed 16-bit values.
    b[22] = 0xFF;
    b[23] = 0xFF;
    b[34] = 0xF8;
    b[35] = 0xFF;
    ASSERT_EQ(CEffectEngine::ParseWaveHeader(b.data(), static_cast<std::uint32_t>(b.size()), f, offset),
              kEngineOk);
    EXPECT_EQ(f.nChannels, -1);
    EXPECT_EQ(f.nBitsPerSample, -8);
}

// ---------------------------------------------------------------------------
// OpenEffectSource

// `count` chunks that each end 6 bytes before a multiple of 56, so that every
// probe ends in the middle of the next chunk header, then fmt and data.
Bytes HeaderNeedingProbes(int count)
{
    Bytes chunks;
    PutChunk(chunks, "JUNK", Junk(30)); // the next header at 50
    for (int i = 1; i < count; ++i)
        PutChunk(chunks, "JUNK", Junk(48)); // ... at 106, 162, ...
    PutChunk(chunks, "fmt ", FmtBody({1, 8000, 16}));
    PutChunk(chunks, "data", Samples16({1234, -5, 7}));
    Bytes file = RiffWave(chunks);
    file.resize(1200, 0); // long enough for the largest probe
    return file;
}

TEST_F(EngineTest, OpenReadsHeaderThatNeedsLargerProbes)
{
    // One cut-off header: found with the second probe (112 bytes).
    ASSERT_EQ(Open(HeaderNeedingProbes(1)), kEngineOk);
    EXPECT_EQ(format.nSamplesPerSec, 8000u);
    EXPECT_EQ(format.nChannels, 1);
    EXPECT_EQ(format.nBitsPerSample, 16);
    EXPECT_EQ(format.dwDataSize, 6u);
    EXPECT_EQ(engine.SourceFrames(), 3u);
    EXPECT_EQ(engine.ReadSourceFrame(0), (SFrame{1234, 1234}));
    EXPECT_EQ(engine.ReadSourceFrame(1), (SFrame{-5, -5}));

    // Eighteen: fmt starts at 1,002 and is found by the last probe (1,064 bytes).
    ASSERT_EQ(Open(HeaderNeedingProbes(18)), kEngineOk);
    EXPECT_EQ(engine.ReadSourceFrame(0), (SFrame{1234, 1234}));
    EXPECT_EQ(engine.ReadSourceFrame(2), (SFrame{7, 7}));

    // Nineteen: the last probe still ends inside a chunk header.
    EXPECT_EQ(Open(HeaderNeedingProbes(19)), kEngineUnusable);
}

struct OpenCase {
    const char* name;
    std::function<Bytes()> file; // nullptr: no file at all
    int code;
};

void PrintTo(const OpenCase& c, std::ostream* os)
{
    *os << c.name;
}

const OpenCase kOpenFailures[] = {
    {"Missing", nullptr, kEngineCannotOpen},
    {"ShorterThanFirstProbe", [] { return SimpleWave({1, 8000, 16}, Bytes(10, 0)); }, kEngineCannotOpen},
    {"ShorterThanLaterProbe",
     [] {
         Bytes b = HeaderNeedingProbes(1);
         b.resize(100);
         return b;
     },
     kEngineCannotOpen},
    {"NotWave", [] { return Bytes(200, 'x'); }, kEngineUnusable},
    {"TwentyFourBit", [] { return SimpleWave({2, 8000, 24}, Bytes(60, 0)); }, kEngineUnusable},
    {"ThreeChannels", [] { return SimpleWave({3, 8000, 16}, Bytes(60, 0)); }, kEngineUnusable},
    {"NoChannels", [] { return SimpleWave({0, 8000, 16}, Bytes(60, 0)); }, kEngineUnusable},
};

class EngineOpenTest : public EngineTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(EngineOpenTest, FailsAndLeavesNothingOpen)
{
    // Something readable is open before: a failed open must not keep it.
    ASSERT_EQ(Open(SimpleWave({1, 8000, 16}, Samples16({1000, 1000, 1000, 1000, 1000, 1000})), "good.wav"), kEngineOk);

    const OpenCase& c = GetParam();
    if (c.file)
        WriteAll(dir / "bad.wav", c.file());
    EXPECT_EQ(engine.OpenEffectSource(dir / "bad.wav", format), c.code);
    EXPECT_EQ(engine.ReadSourceFrame(0), kSilence);
    EXPECT_EQ(engine.SourceFrames(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineOpenTest, ::testing::ValuesIn(kOpenFailures),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// Reading whole frames

struct ScaleCase {
    const char* name;
    PcmFormat fmt;
    Bytes data;           // 12 bytes: the smallest file that opens, ending with its data
    SFrame first, second; // frames 0 and 1 on the common scale
};

void PrintTo(const ScaleCase& c, std::ostream* os)
{
    *os << c.name;
}

const ScaleCase kScaleCases[] = {
    {"Stereo16", {2, 8000, 16}, Samples16({-32768, 32767, 1, -1, 5, 5}), {-32768, 32767}, {1, -1}},
    {"Mono16", {1, 8000, 16}, Samples16({-300, 32767, 9, 9, 9, 9}), {-300, -300}, {32767, 32767}},
    {"Stereo8", {2, 8000, 8}, {0x80, 0x00, 0xFF, 0x81, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10},
     {0, -32768}, {32512, 256}},
    {"Mono8", {1, 8000, 8}, {0x00, 0x80, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F},
     {-32768, -32768}, {0, 0}},
};

class EngineScaleTest : public EngineTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(EngineScaleTest, DeliversFramesOnCommonScaleAndSilenceOutside)
{
    const ScaleCase& c = GetParam();
    ASSERT_EQ(Open(SimpleWave(c.fmt, c.data)), kEngineOk);
    const auto frames = static_cast<std::int32_t>(c.data.size() / (c.fmt.channels * c.fmt.bits / 8));
    EXPECT_EQ(engine.SourceFrames(), static_cast<std::uint32_t>(frames));
    EXPECT_EQ(engine.ReadSourceFrame(0), c.first);
    EXPECT_EQ(engine.ReadSourceFrame(1), c.second);
    // Before the data and after the end of a file that ends with its data,
    // silence: 0, not the value of a zero byte on the 8-bit scale.
    EXPECT_EQ(engine.ReadSourceFrame(-1), kSilence);
    EXPECT_EQ(engine.ReadSourceFrame(-1000000), kSilence);
    EXPECT_EQ(engine.ReadSourceFrame(frames), kSilence);
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineScaleTest, ::testing::ValuesIn(kScaleCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(EngineTest, ReadsBytesAfterDataChunkAsSamples)
{
    Bytes chunks;
    PutChunk(chunks, "fmt ", FmtBody({1, 8000, 16}));
    PutChunk(chunks, "data", Samples16({10, 20}));
    PutChunk(chunks, "LIST", OddListBody()); // 58 bytes in all: the file opens
    ASSERT_EQ(Open(RiffWave(chunks)), kEngineOk);
    EXPECT_EQ(engine.SourceFrames(), 2u);
    EXPECT_EQ(engine.ReadSourceFrame(1), (SFrame{20, 20}));
    EXPECT_EQ(engine.ReadSourceFrame(2), (SFrame{0x494C, 0x494C})); // "LI"
    EXPECT_EQ(engine.ReadSourceFrame(3), (SFrame{0x5453, 0x5453})); // "ST"
}

// 16-bit stereo frame k holds (k & 0x7FFF, k >> 15): every frame of the
// file is recognisable.
SFrame Pattern(std::int32_t k)
{
    return {k & 0x7FFF, k >> 15};
}

TEST_F(EngineTest, RefillsHalvesInOrderAndClampsToOldestFrameHeld)
{
    constexpr std::int32_t kFrames = 250000;
    constexpr std::int32_t F = 102400; // frames per half, 16-bit stereo
    Bytes data;
    data.reserve(kFrames * 4);
    for (std::int32_t k = 0; k < kFrames; ++k) {
        Put16(data, static_cast<std::uint16_t>(Pattern(k).left));
        Put16(data, static_cast<std::uint16_t>(Pattern(k).right));
    }
    ASSERT_EQ(Open(SimpleWave({2, 44100, 16}, data)), kEngineOk);
    EXPECT_EQ(engine.SourceFrames(), static_cast<std::uint32_t>(kFrames));

    // The first half only: frames before it are silent until a refill.
    EXPECT_EQ(engine.ReadSourceFrame(F - 1), Pattern(F - 1));
    EXPECT_EQ(engine.ReadSourceFrame(0), Pattern(0));
    EXPECT_EQ(engine.ReadSourceFrame(-1), kSilence);

    // Loading the half that starts at F: 0 .. 2F-1 are true; -1 now reads
    // the oldest frame held, frame 0.
    EXPECT_EQ(engine.ReadSourceFrame(F), Pattern(F));
    for (std::int32_t i : {0, 1, F - 1, F + 1, 2 * F - 1})
        EXPECT_EQ(engine.ReadSourceFrame(i), Pattern(i)) << i;
    EXPECT_EQ(engine.ReadSourceFrame(-1), Pattern(0));

    // Loading the (short) half that starts at 2F, read ahead of the first
    // frame of it.
    EXPECT_EQ(engine.ReadSourceFrame(2 * F + 7), Pattern(2 * F + 7));
    for (std::int32_t i : {F, F + 1, 2 * F - 1, 2 * F, kFrames - 1})
        EXPECT_EQ(engine.ReadSourceFrame(i), Pattern(i)) << i;
    EXPECT_EQ(engine.ReadSourceFrame(F - 1), Pattern(F)) << "older than the ring holds";
    EXPECT_EQ(engine.ReadSourceFrame(0), Pattern(F));
    EXPECT_EQ(engine.ReadSourceFrame(kFrames), kSilence) << "past the end of the file";
    EXPECT_EQ(engine.ReadSourceFrame(3 * F - 1), kSilence);

    // A load past the end of the file: silence in the newest half, the
    // previous half still held.
    EXPECT_EQ(engine.ReadSourceFrame(3 * F), kSilence);
    EXPECT_EQ(engine.ReadSourceFrame(2 * F), Pattern(2 * F));
    EXPECT_EQ(engine.ReadSourceFrame(kFrames - 1), Pattern(kFrames - 1));
    EXPECT_EQ(engine.ReadSourceFrame(2 * F - 1), Pattern(2 * F));
    EXPECT_EQ(engine.ReadSourceFrame(4 * F - 1), kSilence);
}

TEST_F(EngineTest, ShortLoadOfSixteenBitDataDropsTrailingOddByte)
{
    // 16-bit mono, F = 204,800 frames. The file holds three full halves and
    // three more bytes, so the fourth load (into half 1, which held frames
    // 204,800.. before) gets one sample and one odd byte.
    constexpr std::int32_t F = 204800;
    Bytes data;
    data.reserve(3 * F * 2 + 3);
    for (std::int32_t k = 0; k < 3 * F; ++k)
        Put16(data, static_cast<std::uint16_t>(0x4000 | (k & 0xFFF)));
    Put16(data, 0x1234);
    data.push_back(0x7F);
    Bytes chunks;
    PutChunk(chunks, "fmt ", FmtBody({1, 22050, 16}));
    PutChunk(chunks, "data", data, false);
    Bytes file = RiffWave(chunks);
    file.resize(44 + data.size()); // no pad byte after the odd RIFF body either
    ASSERT_EQ(Open(file), kEngineOk);

    EXPECT_EQ(engine.ReadSourceFrame(3 * F - 1), (SFrame{0x4FFF, 0x4FFF}));
    EXPECT_EQ(engine.ReadSourceFrame(3 * F), (SFrame{0x1234, 0x1234}));
    EXPECT_EQ(engine.ReadSourceFrame(3 * F + 1), kSilence);
    EXPECT_EQ(engine.ReadSourceFrame(4 * F - 1), kSilence);
}

TEST_F(EngineTest, ExtremePositionsReadWithoutFault)
{
    ASSERT_EQ(Open(SimpleWave({2, 8000, 8}, {0x90, 0x70, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})), kEngineOk);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(engine.ReadSourceFrameAt(nan), kSilence);
    EXPECT_EQ(engine.ReadSourceFrameAt(-inf), kSilence);
    EXPECT_EQ(engine.ReadSourceFrameAt(-1e300), kSilence);
    EXPECT_EQ(engine.ReadSourceFrame(std::numeric_limits<std::int32_t>::min()), kSilence);
    EXPECT_EQ(engine.ReadSourceFrame(0), (SFrame{0x1000, -0x1000}));
    // Far past the end: every load from here on is silent.
    EXPECT_EQ(engine.ReadSourceFrameAt(1e300), kSilence);
    EXPECT_EQ(engine.ReadSourceFrameAt(inf), kSilence);
    EXPECT_EQ(engine.ReadSourceFrame(std::numeric_limits<std::int32_t>::max()), kSilence);
    EXPECT_EQ(engine.ReadSourceFrame(0), kSilence);
}

// ---------------------------------------------------------------------------
// Reading at fractional positions

TEST_F(EngineTest, InterpolatesBetweenFramesAndTruncatesTowardZero)
{
    ASSERT_EQ(Open(SimpleWave({2, 8000, 16}, Samples16({100, -100, 201, -201, 1000, -1000}))),
              kEngineOk);
    struct Case {
        double x;
        SFrame expected;
    };
    const Case cases[] = {
        {0.0, {100, -100}},
        {1.0, {201, -201}},
        {0.5, {150, -150}},    // 150.5
        {0.25, {125, -125}},   // 75 + 50.25
        {1.9, {920, -920}},    // 20.1 + 900
        {-0.5, {49, -49}},     // a = 0, d = -0.5: 150 - 100.5
        {2.5, {500, -500}},    // frame 3 is past the end: silence
        {-1.5, {-50, 50}},     // a = -1, d = -0.5: 1.5 x silence - 0.5 x frame 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(engine.ReadSourceFrameAt(c.x), c.expected) << "x = " << c.x;
}

// ---------------------------------------------------------------------------
// Writing

struct WriteCase {
    const char* name;
    int bits, channels;
    SFrame frame;
    Bytes stored;
};

void PrintTo(const WriteCase& c, std::ostream* os)
{
    *os << c.name;
}

const WriteCase kWriteCases[] = {
    {"Stereo16", 16, 2, {1000, -2}, {0xE8, 0x03, 0xFE, 0xFF}},
    {"Stereo16Clamped", 16, 2, {40000, -40000}, {0xFF, 0x7F, 0x00, 0x80}},
    {"Mono16Average", 16, 1, {32767, -32768}, {0x00, 0x00}},
    {"Mono16AverageTowardZero", 16, 1, {-3, 0}, {0xFF, 0xFF}},
    {"Mono16ClampedBeforeAverage", 16, 1, {40000, 40000}, {0xFF, 0x7F}},
    {"Stereo8Zero", 8, 2, {0, 0}, {0x80, 0x80}},
    {"Stereo8Clamped", 8, 2, {40000, -40000}, {0xFF, 0x00}},
    {"Stereo8ShiftTowardMinusInfinity", 8, 2, {-1, 255}, {0x7F, 0x80}},
    {"Mono8Average", 8, 1, {32767, -32768}, {0x80}},
    // (-513 + 0) / 2 = -256 toward zero, then -256 >> 8 = -1.
    {"Mono8AverageThenShift", 8, 1, {-513, 0}, {0x7F}},
    {"Mono8AverageOfClamped", 8, 1, {100000, 100000}, {0xFF}},
};

class EngineWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(EngineWriteTest, StoresFrameInTargetLayout)
{
    const WriteCase& c = GetParam();
    CEffectEngine engine;
    Bytes block(8, 0xEE);
    engine.SetEffectTarget(block.data(), 8000, c.bits, c.channels, 8, 0, 1);
    EXPECT_EQ(engine.WriteTargetFrame(c.frame.left, c.frame.right), 0);
    EXPECT_EQ(engine.FramesWritten(), 1u);
    Bytes expected = c.stored;
    expected.resize(8, 0xEE);
    EXPECT_EQ(block, expected);
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineWriteTest, ::testing::ValuesIn(kWriteCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(EngineWrite, StoresOnlyFramesInsideWindowButCountsAll)
{
    struct Case {
        int bits, channels;
        std::uint32_t windowStart, windowFrames;
        std::size_t changedFrom, changedTo; // bytes [from, to) that change
    };
    const Case cases[] = {
        {16, 2, 8, 3, 8, 20},
        {16, 2, 0, 10, 0, 40},
        {8, 1, 39, 1, 39, 40},
        {16, 2, 40, 5, 40, 40},
        {16, 2, 8, 0, 8, 8},
        // A frame is stored when its first byte lies in the window.
        {16, 2, 6, 3, 8, 20},
        // The window's end lies beyond 4 GiB: it must not wrap to 8.
        {16, 2, 8, 0x40000000, 8, 40},
    };
    for (const Case& c : cases) {
        CEffectEngine engine;
        Bytes block(48, 0xEE);
        engine.SetEffectTarget(block.data(), 8000, c.bits, c.channels, 40, c.windowStart, c.windowFrames);
        const std::uint32_t frames = 40 / (c.bits / 8 * c.channels);
        for (std::uint32_t k = 0; k < frames; ++k)
            engine.WriteTargetFrame(0x1100, 0x1100); // bytes 0x00 0x11 or 0x91
        EXPECT_EQ(engine.FramesWritten(), frames);
        for (std::size_t i = 0; i < block.size(); ++i) {
            const bool inside = i >= c.changedFrom && i < c.changedTo;
            EXPECT_EQ(block[i] != 0xEE, inside)
                << "byte " << i << ", window " << c.windowStart << " + " << c.windowFrames;
        }
    }
}

TEST(EngineWrite, UnsupportedTargetStoresNothingAndDoesNotCount)
{
    CEffectEngine engine;
    Bytes block(16, 0xEE);
    const std::pair<int, int> shapes[] = {{24, 2}, {16, 3}, {12, 1}, {8, 0}};
    for (auto [bits, channels] : shapes) {
        engine.SetEffectTarget(block.data(), 8000, bits, channels, 16, 0, 4);
        EXPECT_EQ(engine.WriteTargetFrame(1, 1), 0);
        EXPECT_EQ(engine.FramesWritten(), 0u) << bits << " bits, " << channels << " channels";
    }
    EXPECT_EQ(block, Bytes(16, 0xEE));
}

TEST(EngineWrite, NewTargetRestartsAtFirstFrame)
{
    CEffectEngine engine;
    Bytes block(4, 0xEE);
    engine.SetEffectTarget(block.data(), 8000, 8, 1, 4, 0, 4);
    engine.WriteTargetFrame(0, 0);
    engine.WriteTargetFrame(0, 0);
    EXPECT_EQ(engine.FramesWritten(), 2u);
    engine.SetEffectTarget(block.data(), 8000, 8, 1, 4, 0, 1);
    EXPECT_EQ(engine.FramesWritten(), 0u);
    engine.WriteTargetFrame(32767, 32767);
    engine.WriteTargetFrame(32767, 32767);
    EXPECT_EQ(block, (Bytes{0xFF, 0x80, 0xEE, 0xEE}));
}

} // namespace
