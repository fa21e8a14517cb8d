// Fuzz target: COndrelDoc::LoadWaveFile on arbitrary bytes, read from a file
// as Open does.
//
// Before every input the document holds the same small reference file. The
// input is then loaded and judged against an independent reading of the
// bytes that follows the loader's stated rules (RIFF "WAVE" found among the
// top-level chunks, the first `fmt ` inside it, a later `data` chunk the file
// holds in full, chunk searches bounded by the RIFF body and the file):
//   - a refusal must match a file the rules refuse, set the error and leave
//     format record, block handle, size, content, current format and the
//     readout texts exactly as they were;
//   - an acceptance must match a file the rules accept and hold exactly its
//     format (PCM, 1 or 2 channels, 8 or 16 bits, a non-zero rate) and its
//     data chunk: size, bytes, never more than the input, an unlocked block;
//   - a file of 24/32-bit integers, 32/64-bit floats, A-law or mu-law must
//     come out as the 16-bit record and samples the conversion rules give,
//     worked out here sample by sample.

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "platform/GlobalMemory.h"
#include "res/resource.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/WaveState.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using fuzz::Le16;
using fuzz::Le32;

namespace {

// No single block beyond this: a data chunk must lie in the input, so only
// the libFuzzer length limit decides what is asked for; this bounds it.
constexpr std::size_t kAllocLimit = 16u << 20;

// --------------------------------------------------------------------------
// The expected outcome, worked out from the bytes alone.

struct SChunk {
    std::uint32_t id = 0;
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    std::uint64_t body = 0; // offset of the body (of the form type for RIFF/LIST)
};

constexpr std::uint32_t Tag(const char (&t)[5])
{
    return std::uint32_t{static_cast<unsigned char>(t[0])} | std::uint32_t{static_cast<unsigned char>(t[1])} << 8 |
           std::uint32_t{static_cast<unsigned char>(t[2])} << 16 |
           std::uint32_t{static_cast<unsigned char>(t[3])} << 24;
}

// Walks sibling chunks from `pos` up to `end` until `match` accepts one;
// `pos` is left at its body (past the form type of RIFF/LIST chunks).
bool FindChunk(const std::uint8_t* b, std::uint64_t& pos, std::uint64_t end,
               const std::function<bool(const SChunk&)>& match, SChunk& out)
{
    for (;;) {
        if (pos + 8 > end)
            return false;
        SChunk c;
        c.id = Le32(b + pos);
        c.size = Le32(b + pos + 4);
        c.body = pos + 8;
        const bool form = c.id == Tag("RIFF") || c.id == Tag("LIST");
        if (form) {
            if (pos + 12 > end)
                return false;
            c.type = Le32(b + pos + 8);
        }
        if (match(c)) {
            out = c;
            pos = c.body + (form ? 4 : 0);
            return true;
        }
        const std::uint64_t next = c.body + c.size + (c.size & 1u);
        if (next > end)
            return false;
        pos = next;
    }
}

struct SExpected {
    bool ok = false;
    WAVEFORMATEX format{};
    std::uint64_t dataAt = 0;
    std::uint32_t dataSize = 0;
    std::vector<std::uint8_t> converted; // the 16-bit samples of a converted file
    bool bConverted = false;
};

std::int16_t Clamped(double v) { return static_cast<std::int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

// One sample of `bytes` bytes at `p` of format `tag`, as 16 bits.
std::int16_t Sample16(std::uint16_t tag, unsigned bytes, const std::uint8_t* p)
{
    if (tag == 1) {
        // Signed integer of 3 or 4 bytes, rounded half up to 16 bits.
        std::int64_t v = 0;
        for (unsigned i = 0; i < bytes; ++i)
            v |= std::int64_t{p[i]} << (8 * i);
        if (v >= std::int64_t{1} << (8 * bytes - 1))
            v -= std::int64_t{1} << (8 * bytes);
        const double scale = bytes == 3 ? 256.0 : 65536.0;
        return Clamped(std::floor(static_cast<double>(v) / scale + 0.5));
    }
    if (tag == 3) {
        double x;
        if (bytes == 4) {
            float f;
            std::memcpy(&f, p, 4);
            x = f;
        } else {
            std::memcpy(&x, p, 8);
        }
        return x != x ? 0 : Clamped(std::floor(x * 32768.0 + 0.5));
    }
    // G.711: sign, three exponent bits, four mantissa bits; A-law has its
    // even bits inverted, mu-law all of them.
    if (tag == 6) {
        const unsigned a = p[0] ^ 0xD5u; // also flips the sign: set means negative
        const unsigned e = (a >> 4) & 7, m = a & 15;
        const int mag = e == 0 ? m * 16 + 8 : (m * 16 + 264) << (e - 1);
        return static_cast<std::int16_t>(a & 0x80 ? -mag : mag);
    }
    const unsigned u = ~p[0] & 0xFFu;
    const unsigned e = (u >> 4) & 7, m = u & 15;
    const int mag = (((m << 3) + 132) << e) - 132;
    return static_cast<std::int16_t>(u & 0x80 ? -mag : mag);
}

SExpected Expect(const std::uint8_t* b, std::size_t n)
{
    static const std::uint8_t kPcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    SExpected e;
    const std::uint64_t len = n;
    std::uint64_t pos = 0;
    SChunk riff, fmt, data;
    if (!FindChunk(b, pos, len, [](const SChunk& c) { return c.id == Tag("RIFF") && c.type == Tag("WAVE"); },
                   riff))
        return e;
    const std::uint64_t riffEnd = std::min(len, riff.body + riff.size);
    if (!FindChunk(b, pos, riffEnd, [](const SChunk& c) { return c.id == Tag("fmt "); }, fmt))
        return e;
    // The first 16 bytes come from the file, whatever the RIFF size says.
    if (fmt.size < 16 || fmt.body + 16 > len)
        return e;
    const std::uint8_t* f = b + fmt.body;
    std::uint16_t tag = Le16(f);
    if (tag == 0xFFFE) {
        if (fmt.size < 40 || fmt.body + 40 > len || Le16(f + 16) < 22 || std::memcmp(f + 26, kPcmGuid + 2, 14) != 0)
            return e;
        tag = Le16(f + 24);
    }
    const std::uint16_t channels = Le16(f + 2);
    const std::uint16_t bits = Le16(f + 14);
    const std::uint32_t rate = Le32(f + 4);
    const bool plain = tag == 1 && (bits == 8 || bits == 16);
    const bool converted = (tag == 1 && (bits == 24 || bits == 32)) || (tag == 3 && (bits == 32 || bits == 64)) ||
                           ((tag == 6 || tag == 7) && bits == 8);
    if (!(plain || converted) || (channels != 1 && channels != 2) || rate == 0)
        return e;
    const unsigned sampleBytes = bits / 8u;
    if (converted && Le16(f + 12) != channels * sampleBytes)
        return e;
    pos = std::min<std::uint64_t>(fmt.body + fmt.size + (fmt.size & 1u), len);
    if (!FindChunk(b, pos, riffEnd, [](const SChunk& c) { return c.id == Tag("data"); }, data))
        return e;
    if (data.size == 0 || data.size > len - data.body)
        return e;
    if (converted) {
        const std::uint64_t frames = data.size / (channels * sampleBytes);
        if (frames == 0 || frames * channels * 2 > kAllocLimit)
            return e;
        e.ok = e.bConverted = true;
        const std::uint16_t block = static_cast<std::uint16_t>(channels * 2);
        e.format = WAVEFORMATEX{1, channels, rate,
                                static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{rate} * block, UINT32_MAX)),
                                block, 16, 0};
        e.dataAt = data.body;
        e.dataSize = static_cast<std::uint32_t>(frames * channels * 2);
        for (std::uint64_t i = 0; i < frames * channels; ++i) {
            const auto v = static_cast<std::uint16_t>(Sample16(tag, sampleBytes, b + data.body + i * sampleBytes));
            e.converted.push_back(static_cast<std::uint8_t>(v));
            e.converted.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        return e;
    }
    if (data.size > kAllocLimit)
        return e;
    e.ok = true;
    e.format = WAVEFORMATEX{tag, channels, rate, Le32(f + 8), Le16(f + 12), bits, 0};
    e.dataAt = data.body;
    e.dataSize = data.size;
    return e;
}

// --------------------------------------------------------------------------
// What a load may change.

struct SState {
    CWaveState wave;
    bool modified;

    static SState Of(COndrelDoc& doc, const CCurrentFormat& frame)
    {
        return {CWaveState(doc.m_wave, frame), doc.IsModified()};
    }
    bool operator==(const SState&) const = default;
};

struct SFixture {
    CCurrentFormat frame;
    COndrelDoc doc{frame};
    std::string input;
    std::string reference;

    SFixture()
    {
        GlobalSetAllocLimit(kAllocLimit);
        fuzz::CScratch& scratch = fuzz::CScratch::Get();
        input = scratch.File("input.wav");
        reference = scratch.File("reference.wav");
        // 16-bit stereo at 11,025 Hz, four frames: a format that differs from
        // the frame's start-up one in every field.
        static const std::uint8_t kReference[] = {
            'R', 'I', 'F', 'F', 52, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
            1, 0, 2, 0, 0x11, 0x2B, 0, 0, 0x44, 0xAC, 0, 0, 4, 0, 16, 0,
            'd', 'a', 't', 'a', 16, 0, 0, 0,
            1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        fuzz::CScratch::Write(reference, kReference, sizeof kReference);
        LoadReference();
    }

    void LoadReference()
    {
        FUZZ_CHECK(doc.LoadWaveFile(reference) == 1, "reference file refused: %s", ReasonTextEnglish(doc.GetError()).c_str());
        doc.SetModifiedFlag(true);
    }
};


} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static SFixture fx;
    COndrelDoc& doc = fx.doc;

    fuzz::CScratch::Write(fx.input, data, size);
    const SExpected want = Expect(data, size);
    const SState before = SState::Of(doc, fx.frame);
    doc.SetError(SReason());

    const int loaded = doc.LoadWaveFile(fx.input);
    const SState after = SState::Of(doc, fx.frame);

    if (!loaded) {
        FUZZ_CHECK(!want.ok, "refused a file that should load (data %u bytes at %llu): %s", want.dataSize,
                   static_cast<unsigned long long>(want.dataAt), ReasonTextEnglish(doc.GetError()).c_str());
        FUZZ_CHECK(!doc.GetError().IsNone(), "refused without saying why");
        FUZZ_CHECK(after == before, "a refused file changed the document: size %u -> %u, texts %s -> %s",
                   before.wave.size, after.wave.size, before.wave.Texts().c_str(), after.wave.Texts().c_str());
        return 0;
    }

    FUZZ_CHECK(loaded == 1, "LoadWaveFile returned %d", loaded);
    const CWaveState& got = after.wave;
    FUZZ_CHECK(want.ok, "accepted a file that should be refused (%u bytes loaded)", got.size);
    const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
    FUZZ_CHECK(f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
                   (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec > 0,
               "inconsistent format: tag %u, %u channels, %u bits, %u Hz", f.wFormatTag, f.nChannels,
               f.wBitsPerSample, f.nSamplesPerSec);
    FUZZ_CHECK(std::memcmp(&f, &want.format, sizeof f) == 0, "format record differs from the file's");
    FUZZ_CHECK(got.size == want.dataSize && (want.bConverted || got.size <= size),
               "size %u, data chunk %u, input %zu", got.size, want.dataSize, size);
    FUZZ_CHECK(got.block != nullptr && GlobalSize(got.block) >= got.size, "block smaller than the data");
    FUZZ_CHECK(GlobalLockCount(got.block) == 0, "block left locked (%u)", GlobalLockCount(got.block));
    FUZZ_CHECK(got.block != before.wave.block || before.wave.block == nullptr, "the old block was kept");
    FUZZ_CHECK(got.hasData == 1, "loaded data not marked present");
    if (want.bConverted)
        FUZZ_CHECK(got.content == want.converted, "converted samples differ from the rules");
    else
        FUZZ_CHECK(got.content.size() == got.size &&
                       std::memcmp(got.content.data(), data + want.dataAt, got.size) == 0,
                   "loaded bytes differ from the data chunk");
    FUZZ_CHECK(doc.GetLoadedEncoding() != EWaveEncoding::Pcm == want.bConverted, "encoding not reported");
    FUZZ_CHECK(after.modified == before.modified, "loading changed the modified flag");

    // The readouts show the new format and size.
    FUZZ_CHECK(fx.frame.m_dwSamplesPerSec == f.nSamplesPerSec && fx.frame.m_wChannels == f.nChannels &&
                   fx.frame.m_wBitsPerSample == f.wBitsPerSample,
               "current format not the file's");
    const std::uint64_t perSecond = std::uint64_t{f.nSamplesPerSec} * f.wBitsPerSample * f.nChannels / 8;
    const std::vector<std::string> texts = {
        std::to_string(f.nSamplesPerSec) + " Hz", f.nChannels == 2 ? "Stereo" : "Mono",
        std::to_string(f.wBitsPerSample) + " Bits", std::to_string(got.size),
        std::to_string(std::uint64_t{got.size} * 1000 / perSecond)};
    FUZZ_CHECK(got.texts == texts, "readouts %s", got.Texts().c_str());

    // Every input starts from the same document.
    fx.LoadReference();
    return 0;
}
