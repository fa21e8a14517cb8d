// Loading the shapes that are converted to 16-bit PCM: 24- and 32-bit
// integers, 32- and 64-bit floats, A-law and mu-law, plain and extensible
// headers, the refusals of the converted path and its memory.

#include "audio/CWaveData.h"
#include "audio/WaveFile.h"
#include "frame/CCurrentFormat.h"
#include "platform/GlobalMemory.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"
#include "tests/support/WaveState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {
using Samples = std::vector<std::int16_t>;

// A `fmt ` body of `tag` (or the extensible layout with `tag` as its
// sub-format, 40 bytes) for `channels` x `bits`.
Bytes Fmt(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits, bool extensible = false,
          std::uint32_t rate = 8000)
{
    PcmFormat f{channels, rate, bits, extensible ? std::uint16_t{0xFFFE} : tag};
    Bytes b = FmtBody(f);
    if (extensible) {
        Put16(b, 22);
        Put16(b, bits);
        Put32(b, channels == 2 ? 3 : 4);
        const std::uint8_t guid[16] = {static_cast<std::uint8_t>(tag), 0, 0, 0, 0, 0, 0x10, 0,
                                       0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        b.insert(b.end(), guid, guid + 16);
    }
    return b;
}

Bytes Wave(const Bytes& fmt, const Bytes& data)
{
    Bytes chunks;
    PutChunk(chunks, "fmt ", fmt);
    PutChunk(chunks, "data", data);
    return RiffWave(chunks);
}

Bytes Int24(std::initializer_list<std::int32_t> values)
{
    Bytes b;
    for (std::int32_t v : values) {
        const auto u = static_cast<std::uint32_t>(v);
        b.insert(b.end(), {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                           static_cast<std::uint8_t>(u >> 16)});
    }
    return b;
}

Bytes Int32(std::initializer_list<std::int64_t> values)
{
    Bytes b;
    for (std::int64_t v : values)
        Put32(b, static_cast<std::uint32_t>(v));
    return b;
}

template <typename T> Bytes Floats(std::initializer_list<T> values)
{
    Bytes b;
    for (T v : values) {
        std::uint8_t raw[sizeof v];
        std::memcpy(raw, &v, sizeof v);
        b.insert(b.end(), raw, raw + sizeof v);
    }
    return b;
}

Samples AsSamples(const std::vector<std::uint8_t>& bytes)
{
    Samples s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

class WaveConvertTest : public ::testing::Test {
protected:
    CTempDir dir;
    CCurrentFormat frame;
    CWaveData wave;
    SReason error;
    EWaveEncoding encoding = EWaveEncoding::Pcm;

    int Load(const Bytes& file, const std::string& name = "in.wav")
    {
        WriteAll(dir / name, file);
        return LoadFile(dir / name);
    }
    int LoadFile(const std::string& path)
    {
        error = SReason();
        encoding = EWaveEncoding::Pcm;
        return LoadWaveFile(path, wave, frame, error, &encoding);
    }
    Samples Loaded() { return AsSamples(CWaveState(wave, frame).content); }
    static bool Sox(const std::string& args)
    {
        return std::system(("sox -V1 " + args + " 2>&1").c_str()) == 0;
    }
};

constexpr float kNanF = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
} // namespace

// Every shape, with the samples that decide the rules: rounding ties in
// both directions, the ends of the range, clamping, NaN and infinities. The
// expected values are worked out by hand from the rules (G.711 codes from
// the standard's tables).
TEST_F(WaveConvertTest, EveryShapeGivesTheSamplesOfItsRule)
{
    struct Case {
        const char* name;
        std::uint16_t tag, channels, bits;
        Bytes data;
        Samples want;
        EWaveEncoding encoding;
    };
    const Case cases[] = {
        {"24-bit: ties round up, both ends", 1, 1, 24,
         Int24({0, 0x7F, 0x80, -128, -129, 0x123456, 0x1234C0, 0x7FFF7F, 0x7FFFFF, -0x800000, -0x7FFF80, -0x7FFF81}),
         {0, 0, 1, 0, -1, 4660, 4661, 32767, 32767, -32768, -32767, -32768}, EWaveEncoding::Pcm24},
        {"32-bit stereo: 64-bit sums, clamped", 1, 2, 32,
         Int32({0x8000, -0x8000, -0x8001, 0x12345678, 0x7FFF7FFF, 0x7FFF8000, 0x7FFFFFFF, -0x80000000LL}),
         {1, 0, -1, 4660, 32767, 32767, 32767, -32768}, EWaveEncoding::Pcm32},
        {"32-bit float", 3, 1, 32,
         Floats<float>({0.0f, 0.25f, 1.0f, -1.0f, 0x1p-16f, -0x1p-16f, 3 * 0x1p-16f, -3 * 0x1p-16f, 2.0f, -2.0f,
                        kNanF, kInfF, -kInfF, -0.0f}),
         {0, 8192, 32767, -32768, 1, 0, 2, -1, 32767, -32768, 0, 32767, -32768, 0}, EWaveEncoding::Float32},
        {"64-bit float", 3, 1, 64,
         Floats<double>({32766.5 / 32768, 32767.5 / 32768, -32768.5 / 32768, -32767.5 / 32768, 1e300, -1e300,
                         kNan, -kNan, kInf, -kInf, 0.1}),
         {32767, 32767, -32768, -32767, 32767, -32768, 0, 0, 32767, -32768, 3277}, EWaveEncoding::Float64},
        {"A-law", 6, 1, 8, Bytes{0xD5, 0x55, 0xAA, 0x2A, 0x80, 0x00, 0x7F, 0xFF},
         {8, -8, 32256, -32256, 5504, -5504, -848, 848}, EWaveEncoding::ALaw},
        {"mu-law stereo", 7, 2, 8, Bytes{0xFF, 0x7F, 0x80, 0x00, 0xD5, 0x55, 0xAA, 0x2A},
         {0, 0, 32124, -32124, 716, -716, 5372, -5372}, EWaveEncoding::MuLaw},
    };
    for (const Case& c : cases) {
        for (bool extensible : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (extensible ? ", extensible" : ""));
            ASSERT_EQ(Load(Wave(Fmt(c.tag, c.channels, c.bits, extensible, 44100), c.data)), 1) << error;
            EXPECT_EQ(encoding, c.encoding);
            EXPECT_EQ(Loaded(), c.want);
            const WAVEFORMATEX& f = *wave.m_pFormat;
            const WAVEFORMATEX want{1, c.channels, 44100, 44100u * c.channels * 2,
                                    static_cast<std::uint16_t>(c.channels * 2), 16, 0};
            EXPECT_EQ(std::memcmp(&f, &want, sizeof f), 0);
            EXPECT_EQ(wave.m_dwDataSize, c.want.size() * 2);
            EXPECT_EQ(wave.HasData(), 1);
            EXPECT_EQ(frame.m_wBitsPerSample, 16);
            EXPECT_EQ(frame.GetText(IDC_CUR_BITS), "16 Bits");
        }
    }
}

// Every one of the 256 codes of both laws agrees with sox's expansion of
// the same file.
TEST_F(WaveConvertTest, EveryCodeOfBothLawsAgreesWithSox)
{
    Bytes codes(256);
    for (int i = 0; i < 256; ++i)
        codes[i] = static_cast<std::uint8_t>(i);
    for (std::uint16_t tag : {6, 7}) {
        SCOPED_TRACE(tag);
        const std::string in = dir / "law.wav", ref = dir / "law16.wav";
        WriteAll(in, Wave(Fmt(tag, 1, 8), codes));
        ASSERT_TRUE(Sox("'" + in + "' -t wavpcm -e signed-integer -b 16 '" + ref + "'"));
        ASSERT_EQ(LoadFile(ref), 1) << error;
        const Samples want = Loaded();
        ASSERT_EQ(want.size(), 256u);
        ASSERT_EQ(LoadFile(in), 1) << error;
        EXPECT_EQ(Loaded(), want);
    }
}

// Files as sox writes them (extensible headers for integers of more than 16
// bits unless told "wavpcm", plain ones for floats and the laws) give what sox itself gives when it converts them to 16
// bits without dither.
TEST_F(WaveConvertTest, SoxFilesGiveWhatSoxGivesAt16Bits)
{
    struct Case {
        const char* args;
        EWaveEncoding encoding;
        bool extensible;
    };
    const Case cases[] = {
        {"-b 24 -e signed-integer", EWaveEncoding::Pcm24, true},
        {"-t wavpcm -b 24 -e signed-integer", EWaveEncoding::Pcm24, false},
        {"-b 32 -e signed-integer", EWaveEncoding::Pcm32, true},
        {"-e floating-point -b 32", EWaveEncoding::Float32, false},
        {"-e floating-point -b 64", EWaveEncoding::Float64, false},
        {"-e a-law -b 8", EWaveEncoding::ALaw, false},
        {"-e u-law -b 8", EWaveEncoding::MuLaw, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string in = dir / "sox.wav", ref = dir / "sox16.wav";
        // Louder than full scale in places, so that clipping shows too.
        ASSERT_TRUE(Sox("-n -r 48000 -c 2 " + std::string(c.args) + " '" + in +
                        "' synth 0.2 sine 440 sine 1000 gain -n 3"));
        ASSERT_TRUE(Sox("'" + in + "' -D -t wavpcm -e signed-integer -b 16 '" + ref + "'"));
        const Bytes raw = ReadAll(in);
        EXPECT_EQ((raw[20] | raw[21] << 8) == 0xFFFE, c.extensible);
        ASSERT_EQ(LoadFile(ref), 1) << error;
        const Samples want = Loaded();
        ASSERT_EQ(LoadFile(in), 1) << error;
        EXPECT_EQ(encoding, c.encoding);
        EXPECT_EQ(wave.m_pFormat->nChannels, 2);
        EXPECT_EQ(wave.m_pFormat->nSamplesPerSec, 48000u);
        EXPECT_EQ(wave.m_pFormat->wBitsPerSample, 16);
        EXPECT_EQ(Loaded(), want);
    }
}

// A partial frame at the end of a converted file is dropped; 8- and 16-bit
// files keep their data chunk byte for byte as before.
TEST_F(WaveConvertTest, APartialLastFrameIsDropped)
{
    Bytes data = Int24({0x100, 0x200, 0x300, 0x400});
    data.insert(data.end(), {0x11, 0x22, 0x33, 0x44}); // 4 of the 6 bytes of a third frame
    ASSERT_EQ(Load(Wave(Fmt(1, 2, 24), data)), 1) << error;
    EXPECT_EQ(Loaded(), (Samples{1, 2, 3, 4}));
    ASSERT_EQ(Load(SimpleWave(PcmFormat{2, 8000, 16}, Ramp(7))), 1) << error;
    EXPECT_EQ(wave.m_dwDataSize, 7u);
    EXPECT_EQ(encoding, EWaveEncoding::Pcm);
}

// Each refusal of the new shapes names its reason and leaves the wave and
// the readouts as they were.
TEST_F(WaveConvertTest, RefusalsLeaveEverythingAsItWas)
{
    ASSERT_EQ(Load(SimpleWave(PcmFormat{2, 11025, 8}, Ramp(40))), 1);
    const CWaveState before(wave, frame);

    Bytes badAlign = Fmt(1, 1, 24);
    badAlign[12] = 4; // a 24-bit sample in 4 bytes
    Bytes claimsMore = Wave(Fmt(1, 1, 24), Int24({1, 2, 3}));
    claimsMore[40] = 30; // the data chunk's size
    Bytes shortExtensible = Fmt(1, 1, 24, true);
    shortExtensible.resize(39);
    struct Case {
        const char* name;
        Bytes file;
        EReason why;
        std::uint64_t number = 0, number2 = 0;
    };
    const Case cases[] = {
        {"3 channels of 24 bits", Wave(Fmt(1, 3, 24), Int24({1, 2, 3})), EReason::ChannelCount, 3},
        {"6 channels of float", Wave(Fmt(3, 6, 32, true), Bytes(48, 0)), EReason::ChannelCount, 6},
        {"block align 4 for 24 bits", Wave(badAlign, Int24({1, 2, 3, 4})), EReason::BlockAlignWrong, 4, 3},
        {"data claims more than the file", claimsMore, EReason::DataTruncated, 30, 10}, // with the pad byte
        {"less than one frame", Wave(Fmt(3, 2, 64), Bytes(15, 0)), EReason::DataEmpty},
        {"16-bit float", Wave(Fmt(3, 1, 16), Bytes(8, 0)), EReason::EncodingSampleSize, 16, 3},
        {"16-bit A-law", Wave(Fmt(6, 1, 16), Bytes(8, 0)), EReason::EncodingSampleSize, 16, 6},
        {"12-bit integers", Wave(Fmt(1, 1, 12), Bytes(8, 0)), EReason::SampleSize, 12},
        {"MP3 tag", Wave(Fmt(0x55, 1, 16), Bytes(8, 0)), EReason::NotPcm, 0x55},
        {"extensible ADPCM", Wave(Fmt(2, 1, 16, true), Bytes(8, 0)), EReason::ExtensibleNotPcm},
        {"extensible of 39 bytes", Wave(shortExtensible, Bytes(8, 0)), EReason::ExtensibleNotPcm},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Load(c.file), 0) << c.name;
        SReason expected = NumberReason(c.why, c.number, c.number2);
        expected.path = dir / "in.wav";
        EXPECT_EQ(error, expected) << c.name;
        EXPECT_EQ(encoding, EWaveEncoding::Pcm) << c.name;
        EXPECT_TRUE(CWaveState(wave, frame) == before) << c.name;
    }
    // Every cut of a converted file inside its data fails cleanly too.
    const Bytes full = Wave(Fmt(3, 1, 32), Floats<float>({0.5f, -0.5f, 0.25f}));
    for (std::size_t n = 45; n < full.size(); ++n) {
        EXPECT_EQ(Load(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n))), 0) << n;
        EXPECT_EQ(error.code, EReason::DataTruncated) << n;
        EXPECT_TRUE(CWaveState(wave, frame) == before) << n;
    }
}

// A long 24-bit stereo file converts in pieces: a block of the converted
// size is all the global memory it takes, and a memory failure is a clean
// refusal.
TEST_F(WaveConvertTest, ALongFileNeedsOnlyTheConvertedBlock)
{
    constexpr std::uint32_t kFrames = 1'000'000; // 6 MB in the file, 4 MB converted
    Bytes data(std::size_t{kFrames} * 6);
    for (std::uint32_t i = 0; i < kFrames * 2; ++i) {
        const std::int32_t s = static_cast<std::int32_t>((i * 2654435761u) >> 8) - 0x800000;
        data[i * 3] = static_cast<std::uint8_t>(s);
        data[i * 3 + 1] = static_cast<std::uint8_t>(s >> 8);
        data[i * 3 + 2] = static_cast<std::uint8_t>(s >> 16);
    }
    WriteAll(dir / "long.wav", Wave(Fmt(1, 2, 24), data));
    data = Bytes();

    GlobalSetAllocLimit(std::size_t{kFrames} * 4);
    ASSERT_EQ(LoadFile(dir / "long.wav"), 1) << error;
    ASSERT_EQ(wave.m_dwDataSize, kFrames * 4);
    const std::uint8_t* p = wave.LockData();
    bool same = true;
    for (std::uint32_t i = 0; i < kFrames * 2 && same; ++i) {
        const std::int32_t s = static_cast<std::int32_t>((i * 2654435761u) >> 8) - 0x800000;
        const auto want = static_cast<std::int16_t>(std::min(32767, (s + 128) >> 8));
        std::int16_t got;
        std::memcpy(&got, p + i * 2, 2);
        same = got == want;
        EXPECT_EQ(got, want) << "sample " << i;
    }
    wave.UnlockData();

    const CWaveState before(wave, frame);
    GlobalSetAllocLimit(std::size_t{kFrames} * 4 - 1);
    EXPECT_EQ(LoadFile(dir / "long.wav"), 0);
    GlobalSetAllocLimit(0);
    EXPECT_EQ(error.code, EReason::NoMemoryForAudio);
    EXPECT_EQ(error.number, std::uint64_t{kFrames} * 4);
    EXPECT_TRUE(CWaveState(wave, frame) == before);
}
