#include "effects/CEffectEngine.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include <sys/types.h>

namespace {

// Halves of the ring that are filled with silence and loaded from the file.
constexpr std::uint32_t kRingUsedBytes = 2 * kRingHalfBytes;

// The header probe: 56 bytes first, 56 more while the parser asks for more,
// and no further once the probe has reached 1,024 bytes (the largest read is
// therefore 1,064 bytes).
constexpr std::uint32_t kProbeStep = 56;
constexpr std::uint32_t kProbeLimit = 1024;

// The frame layouts the engine reads and writes.
enum class EShape { Unsupported, Stereo16, Mono16, Stereo8, Mono8 };

EShape ShapeOf(int bits, int channels)
{
    if (bits == 16 && channels == 2)
        return EShape::Stereo16;
    if (bits == 16 && channels == 1)
        return EShape::Mono16;
    if (bits == 8 && channels == 2)
        return EShape::Stereo8;
    if (bits == 8 && channels == 1)
        return EShape::Mono8;
    return EShape::Unsupported;
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::int32_t LeS16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
}

void PutLe16(std::uint8_t* p, std::int32_t v)
{
    const auto u = static_cast<std::uint16_t>(v);
    p[0] = static_cast<std::uint8_t>(u);
    p[1] = static_cast<std::uint8_t>(u >> 8);
}

// An 8-bit sample on the 16-bit scale.
std::int32_t Scale8(std::uint8_t b)
{
    return (std::int32_t{b} - 128) * 256;
}

// A value on the 16-bit scale as an unsigned 8-bit sample.
std::uint8_t To8(std::int32_t v)
{
    return static_cast<std::uint8_t>((v >> 8) + 128);
}

std::int32_t Clamp16(std::int32_t v)
{
    return v < -32768 ? -32768 : (v > 32767 ? 32767 : v);
}

bool HasTag(const std::uint8_t* p, const char* tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

} // namespace

struct CEffectEngine::SImpl {
    // Source side.
    std::FILE* file = nullptr;
    std::uint8_t* ring = nullptr;
    SSourceFormat format;
    EShape sourceShape = EShape::Unsupported;
    std::uint8_t silence = 0;   // the fill byte: 0x00 for 16-bit sources, 0x80 for 8-bit
    std::int64_t framesPerHalf = 0;  // F
    std::int64_t refills = 0;        // h: halves loaded after the first one
    std::int64_t threshold = 0;      // T: the first frame index not yet loaded
    std::int64_t halfStart = 0;      // h * F, the frame index the newest half begins with
    std::int64_t newestHalfBase = 0; // (h mod 2) * F, where the newest half sits in the ring
    int emptyLoads = 0;              // consecutive loads that found the file exhausted
    std::uint32_t sourceAlign = 0;   // bytes per source frame

    // Target side.
    std::uint8_t* dest = nullptr;
    EShape targetShape = EShape::Unsupported;
    std::uint64_t targetAlign = 0;
    std::uint64_t windowBegin = 0; // bytes
    std::uint64_t windowEnd = 0;   // bytes, one past the window

    void Close()
    {
        if (file) {
            std::fclose(file);
            file = nullptr;
        }
        delete[] ring;
        ring = nullptr;
        sourceShape = EShape::Unsupported;
        format = SSourceFormat{};
        sourceAlign = 0;
    }

    // Loads halves until `index` is below the threshold. Kept out of line so
    // that the common read stays a handful of arithmetic operations.
    [[gnu::noinline]] void LoadUpTo(std::int64_t index);
};

void CEffectEngine::SImpl::LoadUpTo(std::int64_t index)
{
    while (index >= threshold) {
        if (emptyLoads >= 2) {
            // The file is exhausted and both halves hold nothing but silence:
            // further loads would only refill silence, so count them at once
            // (an index far past the end must not cost thousands of loads).
            const std::int64_t skipped = (index - threshold) / framesPerHalf + 1;
            refills += skipped;
            threshold += skipped * framesPerHalf;
            break;
        }
        ++refills;
        std::uint8_t* half = ring + (refills % 2) * kRingHalfBytes;
        const std::size_t got = std::fread(half, 1, kRingHalfBytes, file);
        if (got < kRingHalfBytes) {
            // 16-bit sources lose a trailing odd byte: silence starts at a
            // whole sample.
            const std::size_t from = silence == 0 ? (got & ~std::size_t{1}) : got;
            std::memset(half + from, silence, kRingHalfBytes - from);
        }
        emptyLoads = got == 0 ? emptyLoads + 1 : 0;
        threshold += framesPerHalf;
    }
    halfStart = refills * framesPerHalf;
    newestHalfBase = (refills % 2) * framesPerHalf;
}

CEffectEngine::CEffectEngine() : m_p(std::make_unique<SImpl>()) {}

CEffectEngine::~CEffectEngine()
{
    m_p->Close();
}

int CEffectEngine::ParseWaveHeader(const std::uint8_t* b, std::uint32_t n, SSourceFormat& format,
                                   std::uint32_t& dataOffset)
{
    if (b == nullptr || n < 44)
        return kEngineMoreBytes;
    if (!HasTag(b, "RIFF") && !HasTag(b + 8, "WAVE"))
        return kEngineUnusable;

    // 64-bit offsets: a chunk size near 4 GiB must not wrap around.
    const std::uint64_t end = n;
    std::uint64_t q = 12;
    const std::uint8_t* fmt = nullptr;
    bool haveData = false;
    bool needMore = false;
    std::uint32_t dataSize = 0;
    std::uint64_t dataAt = 0;
    for (;;) {
        if (q + 8 > end) {
            needMore = true;
            break;
        }
        const std::uint8_t* chunk = b + q;
        const std::uint64_t size = Le32(chunk + 4);
        if (HasTag(chunk, "fmt ")) {
            if (size < 16 || q + 8 + size > end)
                break;
            fmt = chunk + 8;
            q += 8 + size;
        } else if (HasTag(chunk, "data")) {
            dataSize = static_cast<std::uint32_t>(size);
            dataAt = q + 8;
            haveData = true;
            break;
        } else {
            q += 8 + size;
            if (q > end)
                break;
        }
        if (q >= end)
            break;
    }

    if (fmt && haveData) {
        format.nSamplesPerSec = Le32(fmt + 4);
        format.nChannels = LeS16(fmt + 2);
        format.nBitsPerSample = LeS16(fmt + 14);
        format.dwDataSize = dataSize;
        dataOffset = static_cast<std::uint32_t>(dataAt);
        return kEngineOk;
    }
    return needMore ? kEngineMoreBytes : kEngineUnusable;
}

int CEffectEngine::OpenEffectSource(const std::string& path, SSourceFormat& format)
{
    SImpl& s = *m_p;
    s.Close();

    s.ring = new (std::nothrow) std::uint8_t[kRingBytes];
    if (!s.ring)
        return kEngineNoMemory;
    s.file = std::fopen(path.c_str(), "rb");
    if (!s.file) {
        s.Close();
        return kEngineCannotOpen;
    }

    SSourceFormat found;
    std::uint32_t dataOffset = 0;
    for (std::uint32_t n = kProbeStep;; n += kProbeStep) {
        if (fseeko(s.file, 0, SEEK_SET) != 0 || std::fread(s.ring, 1, n, s.file) != n) {
            s.Close();
            return kEngineCannotOpen;
        }
        const int parsed = ParseWaveHeader(s.ring, n, found, dataOffset);
        if (parsed == kEngineOk)
            break;
        if (parsed != kEngineMoreBytes || n >= kProbeLimit) {
            s.Close();
            return kEngineUnusable;
        }
    }

    if (fseeko(s.file, static_cast<off_t>(dataOffset), SEEK_SET) != 0) {
        s.Close();
        return kEngineCannotOpen;
    }
    s.silence = found.nBitsPerSample == 16 ? 0x00 : 0x80;
    std::memset(s.ring, s.silence, kRingUsedBytes);
    // A file shorter than one half leaves the rest of it silent.
    (void)std::fread(s.ring, 1, kRingHalfBytes, s.file);

    const EShape shape = ShapeOf(found.nBitsPerSample, found.nChannels);
    if (shape == EShape::Unsupported) {
        s.Close();
        return kEngineUnusable;
    }

    s.format = found;
    s.sourceShape = shape;
    s.sourceAlign = static_cast<std::uint32_t>(found.nChannels * (found.nBitsPerSample / 8));
    s.framesPerHalf = kRingHalfBytes / s.sourceAlign;
    s.refills = 0;
    s.threshold = s.framesPerHalf;
    s.halfStart = 0;
    s.newestHalfBase = 0;
    s.emptyLoads = 0;
    format = found;
    return kEngineOk;
}

SFrame CEffectEngine::ReadSourceFrame(std::int32_t index)
{
    SImpl& s = *m_p;
    if (!s.ring)
        return {0, 0};
    if (index >= s.threshold)
        s.LoadUpTo(index);

    // Position relative to the newest half, limited to the two halves held:
    // older indices read the oldest frame held.
    const std::int64_t f = s.framesPerHalf;
    std::int64_t r = index - s.halfStart;
    if (r < -f)
        r = -f;
    else if (r > f - 1)
        r = f - 1;
    std::int64_t x = r + s.newestHalfBase;
    if (x < 0)
        x += 2 * f;

    const std::uint8_t* p = s.ring + x * s.sourceAlign;
    switch (s.sourceShape) {
    case EShape::Stereo16:
        return {LeS16(p), LeS16(p + 2)};
    case EShape::Mono16: {
        const std::int32_t v = LeS16(p);
        return {v, v};
    }
    case EShape::Stereo8:
        return {Scale8(p[0]), Scale8(p[1])};
    case EShape::Mono8: {
        const std::int32_t v = Scale8(p[0]);
        return {v, v};
    }
    case EShape::Unsupported:
        break;
    }
    return {0, 0};
}

SFrame CEffectEngine::ReadSourceFrameAt(double position)
{
    // Positions outside the range of frame indices are taken as the nearest
    // index; a NaN reads the oldest frame held, like any index far behind.
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    double x = position;
    if (!(x >= lo))
        x = lo;
    else if (x > hi)
        x = hi;

    const auto a = static_cast<std::int32_t>(std::trunc(x));
    const double d = x - a;
    const SFrame f0 = ReadSourceFrame(a);
    // At the last index there is no next frame; its weight d is 0 there.
    const SFrame f1 = ReadSourceFrame(a < std::numeric_limits<std::int32_t>::max() ? a + 1 : a);
    // |d| < 1 keeps both results well inside the int range.
    const double left = (1 - d) * f0.left + d * f1.left;
    const double right = (1 - d) * f0.right + d * f1.right;
    return {static_cast<std::int32_t>(std::trunc(left)), static_cast<std::int32_t>(std::trunc(right))};
}

void CEffectEngine::CloseEffectSource()
{
    m_p->Close();
}

void CEffectEngine::SetEffectTarget(std::uint8_t* dest, std::uint32_t rate, int bits, int channels,
                                    std::uint32_t dataSize, std::uint32_t windowStart,
                                    std::uint32_t windowFrames)
{
    (void)rate;
    (void)dataSize;
    SImpl& s = *m_p;
    s.dest = dest;
    s.targetShape = ShapeOf(bits, channels);
    s.targetAlign = s.targetShape == EShape::Unsupported
                        ? 0
                        : static_cast<std::uint64_t>(channels * (bits / 8));
    s.windowBegin = windowStart;
    s.windowEnd = windowStart + std::uint64_t{windowFrames} * s.targetAlign;
    m_nWritten = 0;
}

int CEffectEngine::WriteTargetFrame(std::int32_t left, std::int32_t right)
{
    SImpl& s = *m_p;
    if (s.targetShape == EShape::Unsupported)
        return 0;
    left = Clamp16(left);
    right = Clamp16(right);

    const std::uint64_t at = std::uint64_t{m_nWritten} * s.targetAlign;
    if (s.dest && at >= s.windowBegin && at < s.windowEnd) {
        std::uint8_t* p = s.dest + at;
        switch (s.targetShape) {
        case EShape::Stereo16:
            PutLe16(p, left);
            PutLe16(p + 2, right);
            break;
        case EShape::Mono16:
            PutLe16(p, (left + right) / 2);
            break;
        case EShape::Stereo8:
            p[0] = To8(left);
            p[1] = To8(right);
            break;
        case EShape::Mono8:
            p[0] = To8((left + right) / 2);
            break;
        case EShape::Unsupported:
            break;
        }
    }
    ++m_nWritten;
    return 0;
}

std::uint32_t CEffectEngine::SourceFrames() const
{
    const SImpl& s = *m_p;
    return s.sourceAlign == 0 ? 0 : s.format.dwDataSize / s.sourceAlign;
}
