#include "effects/CEffectEngine.h"

#include <algorithm>
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
    // The two halves the ring holds, decoded in the order of their frames:
    // left[0..2F) are frames halfStart - F .. halfStart + F - 1; right
    // likewise for stereo sources, `left` again for mono ones.
    std::unique_ptr<std::int32_t[]> decoded;
    std::int32_t* decodedLeft = nullptr;
    std::int32_t* decodedRight = nullptr;

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
        decoded.reset();
        decodedLeft = decodedRight = nullptr;
        sourceShape = EShape::Unsupported;
        format = SSourceFormat{};
        sourceAlign = 0;
    }

    // Loads halves until `index` is below the threshold. Kept out of line so
    // that the common read stays a handful of arithmetic operations.
    [[gnu::noinline]] void LoadUpTo(std::int64_t index);
    // Decodes the F frames of ring half `half` into decoded position `at`
    // (0 or F).
    void DecodeHalf(std::uint32_t half, std::int64_t at);
};

namespace {
// The ring's bytes of n frames of `shape` decoded into l and r. Built for
// the plain instruction set and for AVX2, picked when the program starts.
__attribute__((target_clones("avx2", "default"))) void DecodeFrames(EShape shape, const std::uint8_t* p,
                                                                   std::int32_t* l, std::int32_t* r,
                                                                   std::int64_t n)
{
    switch (shape) {
    case EShape::Stereo16:
        for (std::int64_t k = 0; k < n; ++k) {
            l[k] = LeS16(p + 4 * k);
            r[k] = LeS16(p + 4 * k + 2);
        }
        break;
    case EShape::Mono16:
        for (std::int64_t k = 0; k < n; ++k)
            l[k] = LeS16(p + 2 * k);
        break;
    case EShape::Stereo8:
        for (std::int64_t k = 0; k < n; ++k) {
            l[k] = Scale8(p[2 * k]);
            r[k] = Scale8(p[2 * k + 1]);
        }
        break;
    case EShape::Mono8:
        for (std::int64_t k = 0; k < n; ++k)
            l[k] = Scale8(p[k]);
        break;
    case EShape::Unsupported:
        break;
    }
}
} // namespace

void CEffectEngine::SImpl::DecodeHalf(std::uint32_t half, std::int64_t at)
{
    DecodeFrames(sourceShape, ring + std::size_t{half} * kRingHalfBytes, decodedLeft + at, decodedRight + at,
                 framesPerHalf);
}

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
        // The newer decoded half becomes the older one; the loaded half is
        // the newer.
        const std::size_t bytes = static_cast<std::size_t>(framesPerHalf) * sizeof(std::int32_t);
        std::memmove(decodedLeft, decodedLeft + framesPerHalf, bytes);
        if (decodedRight != decodedLeft)
            std::memmove(decodedRight, decodedRight + framesPerHalf, bytes);
        DecodeHalf(static_cast<std::uint32_t>(refills % 2), framesPerHalf);
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
    const bool stereo = found.nChannels == 2;
    const std::size_t held = static_cast<std::size_t>(2 * s.framesPerHalf);
    // Each channel has kHeldPadding values after its frames, so that block
    // code may load a few values past the newest frame held (and not use
    // them).
    const std::size_t span = held + kHeldPadding;
    s.decoded.reset(new (std::nothrow) std::int32_t[stereo ? 2 * span : span]());
    if (!s.decoded) {
        s.Close();
        return kEngineNoMemory;
    }
    s.decodedLeft = s.decoded.get();
    s.decodedRight = stereo ? s.decodedLeft + span : s.decodedLeft;
    // Before the first frame the ring holds silence, then the first half.
    std::fill(s.decodedLeft, s.decodedLeft + s.framesPerHalf, 0);
    if (stereo)
        std::fill(s.decodedRight, s.decodedRight + s.framesPerHalf, 0);
    s.DecodeHalf(0, s.framesPerHalf);
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
    const SSourcePosition at = SplitSourcePosition(position);
    const SFrame f0 = ReadSourceFrame(at.index);
    const SFrame f1 = ReadSourceFrame(at.next);
    return InterpolateFrames(f0, f1, at.fraction);
}

// Far below any index a routine asks for (those stay within about 2^37 of
// zero), so that offsets from it cannot overflow.
constexpr std::int64_t kNothingHeld = std::numeric_limits<std::int64_t>::min() / 4;

SHeldFrames CEffectEngine::Held() const
{
    const SImpl& s = *m_p;
    SHeldFrames held;
    held.begin = held.end = kNothingHeld;
    if (!s.ring || !s.decodedLeft)
        return held;
    // Indices past the int range reach the reader as its largest index:
    // they are never taken from the decoded frames.
    constexpr std::int64_t kPastIndices = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    const std::int64_t begin = s.halfStart - s.framesPerHalf;
    const std::int64_t end = std::min(s.threshold, kPastIndices);
    if (end <= begin)
        return held;
    held.begin = begin;
    held.end = end;
    held.left = s.decodedLeft;
    held.right = s.decodedRight;
    return held;
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

std::uint64_t CEffectEngine::StoredBegin() const
{
    const SImpl& s = *m_p;
    if (s.targetAlign == 0)
        return 0;
    // Frame p is stored when p x align lies in [windowBegin, windowEnd).
    return (s.windowBegin + s.targetAlign - 1) / s.targetAlign;
}

std::uint64_t CEffectEngine::StoredEnd() const
{
    const SImpl& s = *m_p;
    if (s.targetAlign == 0 || !s.dest)
        return StoredBegin();
    return (s.windowEnd + s.targetAlign - 1) / s.targetAlign;
}

void CEffectEngine::WriteTargetFrames(const std::int32_t* left, const std::int32_t* right, std::uint32_t count)
{
    if (m_p->targetShape == EShape::Unsupported)
        return;
    StoreTargetFrames(m_nWritten, left, right, count);
    m_nWritten += count;
}

namespace {
// Frames k0 .. k1 - 1 of left and right, clamped to 16 bits, stored in the
// target's shape at out. Built like DecodeFrames.
__attribute__((target_clones("avx2", "default"))) void StoreFrames(EShape shape, std::uint8_t* out,
                                                                  const std::int32_t* left,
                                                                  const std::int32_t* right, std::size_t k0,
                                                                  std::size_t k1)
{
    switch (shape) {
    case EShape::Stereo16:
        for (std::size_t k = k0; k < k1; ++k) {
            PutLe16(out + 4 * k, Clamp16(left[k]));
            PutLe16(out + 4 * k + 2, Clamp16(right[k]));
        }
        break;
    case EShape::Mono16:
        for (std::size_t k = k0; k < k1; ++k)
            PutLe16(out + 2 * k, (Clamp16(left[k]) + Clamp16(right[k])) / 2);
        break;
    case EShape::Stereo8:
        for (std::size_t k = k0; k < k1; ++k) {
            out[2 * k] = To8(Clamp16(left[k]));
            out[2 * k + 1] = To8(Clamp16(right[k]));
        }
        break;
    case EShape::Mono8:
        for (std::size_t k = k0; k < k1; ++k)
            out[k] = To8((Clamp16(left[k]) + Clamp16(right[k])) / 2);
        break;
    case EShape::Unsupported:
        break;
    }
}
} // namespace

void CEffectEngine::StoreTargetFrames(std::uint64_t p0, const std::int32_t* left, const std::int32_t* right,
                                      std::uint32_t count) const
{
    const SImpl& s = *m_p;
    if (s.targetShape == EShape::Unsupported)
        return;
    const std::uint64_t from = std::max(p0, StoredBegin());
    const std::uint64_t to = std::min(p0 + count, StoredEnd());
    if (from >= to)
        return;
    const std::size_t k0 = static_cast<std::size_t>(from - p0);
    const std::size_t k1 = static_cast<std::size_t>(to - p0);
    StoreFrames(s.targetShape, s.dest + p0 * s.targetAlign, left, right, k0, k1);
}

std::uint32_t CEffectEngine::SourceFrames() const
{
    const SImpl& s = *m_p;
    return s.sourceAlign == 0 ? 0 : s.format.dwDataSize / s.sourceAlign;
}
