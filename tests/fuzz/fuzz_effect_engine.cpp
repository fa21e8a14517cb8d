// Fuzz target: the effect engine and the effect routines on arbitrary bytes.
//
// Each input is, all at once:
//   - a header for CEffectEngine::ParseWaveHeader, given exactly the input's
//     bytes (any read past them is caught), whose answer must not change
//     when fewer bytes already sufficed;
//   - a source file for OpenEffectSource, whose answer must be the one the
//     probing rule gives (56 bytes, then 56 more at a time up to 1,064, and
//     only the four frame shapes);
//   - when the file opens, the source of a short run of every effect routine
//     into a block sized from the format, with a window inside the block and
//     the routines' parameters taken from the input's last bytes. A run is
//     stopped by its progress object at the first report (65,536 frames), so
//     every input stays fast whatever size its data chunk claims. After a
//     run: the return code and the frame count are the expected ones, every
//     byte outside the frames the window selects is as it was, and, when the
//     parameters make the effect an identity (no echoes, no shifted voice in
//     the chorus, no pitch change, no swing, no gain change), the stored
//     frames are exactly the source's.
//   - a sequence of reads through ReadSourceFrame, compared with what the
//     ring of two halves must hold after each of them.

#include "effects/CEffectEngine.h"
#include "effects/EffectRoutines.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using fuzz::Le16;
using fuzz::Le32;

namespace {

// Frames after which a run is stopped: the routines report progress every
// 65,536 frames, and the first report is answered with "stop".
constexpr std::uint32_t kRunFrames = 65536;

// The probe of OpenEffectSource.
constexpr std::uint32_t kProbeStep = 56;
constexpr std::uint32_t kProbeLimit = 1024;

// --------------------------------------------------------------------------
// Input helpers.

// The parameter bytes: the last 24 bytes of the input (zeros before the
// start of a shorter one). They stay part of the file, as any bytes would.
class CParams {
public:
    CParams(const std::uint8_t* data, std::size_t size)
    {
        const std::size_t n = std::min(size, sizeof m_b);
        std::memcpy(m_b + sizeof m_b - n, data + size - n, n);
    }
    std::uint8_t Byte() { return m_b[m_next++ % sizeof m_b]; }
    std::uint32_t Word()
    {
        const std::uint32_t lo = Byte();
        const std::uint32_t hi = Byte();
        return lo | hi << 8;
    }
    std::uint32_t Dword() { return Word() | Word() << 16; }

    // A small value most of the time; one in eight of the values an
    // extreme one (infinity, NaN, huge, negative).
    double Real(double scale)
    {
        const std::uint8_t b = Byte();
        if (m_extremes && (b & 7) == 7) {
            static const double kExtremes[] = {std::numeric_limits<double>::quiet_NaN(),
                                               std::numeric_limits<double>::infinity(),
                                               -std::numeric_limits<double>::infinity(),
                                               1e300, -1e300, -1.0, 1e-300,
                                               std::numeric_limits<double>::max()};
            return kExtremes[(b >> 3) % 8];
        }
        return b * scale;
    }
    // offset + a byte modulo `modulo`, or (one in eight with extremes on)
    // an extreme value in place of the whole sum.
    int Int(int modulo, int offset = 0)
    {
        const std::uint8_t b = Byte();
        if (m_extremes && (b & 7) == 7) {
            static const int kExtremes[] = {std::numeric_limits<int>::min(), -1, std::numeric_limits<int>::max(),
                                            -1000};
            return kExtremes[(b >> 3) % 4];
        }
        return offset + b % modulo;
    }
    void SetExtremes(bool on) { m_extremes = on; }

private:
    std::uint8_t m_b[24] = {};
    unsigned m_next = 0;
    bool m_extremes = false;
};

// Lets a run start (its report before the first frame) and stops it at
// its first report after that.
class CStopAtFirstReport : public CEffectProgress {
public:
    bool Continue(std::uint32_t framesDone, std::uint32_t framesTotal) override
    {
        ++calls;
        done = framesDone;
        total = framesTotal;
        return calls == 1 && framesDone == 0;
    }
    int calls = 0;
    std::uint32_t done = 0, total = 0;
};

// --------------------------------------------------------------------------
// The source as the engine must see it.

struct SSource {
    const std::uint8_t* file;
    std::uint64_t fileSize;
    std::uint32_t dataOffset;
    int bits, channels;
    std::uint32_t align;

    std::uint8_t Silence() const { return bits == 16 ? 0x00 : 0x80; }

    // Byte k of the sample stream (the file from the data offset on), as
    // loaded into the ring: the first half straight from the file over
    // silence, every later half cut to whole 16-bit samples when short.
    std::uint8_t StreamByte(std::uint64_t k) const
    {
        const std::uint64_t half = k / kRingHalfBytes;
        const std::uint64_t halfStart = dataOffset + half * kRingHalfBytes;
        std::uint64_t avail = fileSize > halfStart ? std::min<std::uint64_t>(fileSize - halfStart, kRingHalfBytes) : 0;
        if (half > 0 && bits == 16 && avail < kRingHalfBytes)
            avail &= ~std::uint64_t{1};
        return k - half * kRingHalfBytes < avail ? file[halfStart + (k - half * kRingHalfBytes)] : Silence();
    }

    SFrame Frame(std::int64_t index) const
    {
        if (index < 0)
            return {0, 0};
        std::uint8_t b[4];
        for (std::uint32_t j = 0; j < align; ++j)
            b[j] = StreamByte(static_cast<std::uint64_t>(index) * align + j);
        if (bits == 16) {
            const std::int32_t l = static_cast<std::int16_t>(Le16(b));
            return {l, channels == 2 ? static_cast<std::int16_t>(Le16(b + 2)) : l};
        }
        const std::int32_t l = (std::int32_t{b[0]} - 128) * 256;
        return {l, channels == 2 ? (std::int32_t{b[1]} - 128) * 256 : l};
    }
};

// What OpenEffectSource must answer for these bytes.
int ExpectedOpen(const std::uint8_t* data, std::size_t size, SSourceFormat& format, std::uint32_t& dataOffset)
{
    for (std::uint32_t n = kProbeStep;; n += kProbeStep) {
        if (size < n)
            return kEngineCannotOpen;
        const int parsed = CEffectEngine::ParseWaveHeader(data, n, format, dataOffset);
        if (parsed == kEngineOk)
            break;
        if (parsed != kEngineMoreBytes || n >= kProbeLimit)
            return kEngineUnusable;
    }
    const bool shape = (format.nBitsPerSample == 8 || format.nBitsPerSample == 16) &&
                       (format.nChannels == 1 || format.nChannels == 2);
    return shape ? kEngineOk : kEngineUnusable;
}

bool SameFormat(const SSourceFormat& a, const SSourceFormat& b)
{
    return a.nSamplesPerSec == b.nSamplesPerSec && a.nBitsPerSample == b.nBitsPerSample &&
           a.nChannels == b.nChannels && a.dwDataSize == b.dwDataSize;
}

void CheckHeader(const std::uint8_t* data, std::size_t size, CParams& params)
{
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(size, UINT32_MAX));
    SSourceFormat full;
    std::uint32_t fullOffset = 0;
    const int code = CEffectEngine::ParseWaveHeader(data, n, full, fullOffset);
    FUZZ_CHECK(code == kEngineOk || code == kEngineMoreBytes || code == kEngineUnusable, "code %d", code);
    if (code == kEngineOk)
        FUZZ_CHECK(fullOffset >= 20 && fullOffset <= n, "data offset %u of %u bytes", fullOffset, n);

    // Fewer bytes that already give an answer give the same answer with all
    // of them: the probe relies on it. The prefix is copied so that a read
    // past it is caught too.
    const std::uint32_t m = n ? params.Word() % (n + 1) : 0;
    const std::vector<std::uint8_t> prefix(data, data + m);
    SSourceFormat part;
    std::uint32_t partOffset = 0;
    if (CEffectEngine::ParseWaveHeader(prefix.data(), m, part, partOffset) == kEngineOk)
        FUZZ_CHECK(code == kEngineOk && SameFormat(part, full) && partOffset == fullOffset,
                   "%u bytes parse, %u bytes give code %d", m, n, code);
}

// --------------------------------------------------------------------------
// One routine run into a fresh block.

enum ERoutine { kEcho, kChorus, kVoice, kVibrato, kTremolo, kRoutines };
const char* const kNames[kRoutines] = {"echo", "chorus", "voice changer", "vibrato", "tremolo"};

int Run(ERoutine r, bool identity, CParams& p, CEffectEngine& engine, const std::string& path,
        const SEffectTarget& target, CEffectProgress* progress)
{
    switch (r) {
    case kEcho:
        if (identity)
            return RunEcho(engine, path, target, p.Real(2), p.Real(1), 1.0, p.Real(1.0 / 128), p.Real(1.0 / 256), 0,
                           progress);
        return RunEcho(engine, path, target, p.Real(2), p.Real(1), p.Real(1.0 / 128), p.Real(1.0 / 128),
                       p.Real(1.0 / 256), p.Int(9), progress);
    case kChorus:
        // The dry signal is read at the output frame after the shifted heads
        // have read theirs: a head no faster than the output keeps that frame
        // inside the ring, whatever the rate and the segment.
        if (identity)
            return RunChorus(engine, path, target, p.Byte() / 255.0, p.Int(100, 1), p.Int(60), 1.0, 0.0, progress);
        return RunChorus(engine, path, target, 0.25 + p.Real(1.0 / 64), p.Int(100, 1), p.Int(60),
                         p.Real(1.0 / 128), p.Real(1.0 / 128), progress);
    case kVoice:
        if (identity)
            return RunVoiceChanger(engine, path, target, 1.0, p.Int(100, 1), 0, progress);
        return RunVoiceChanger(engine, path, target, 0.25 + p.Real(1.0 / 64), p.Int(100, 1), p.Int(60), progress);
    case kVibrato:
        if (identity)
            return RunVibrato(engine, path, target, 0, p.Real(1.0 / 8), p.Int(360), progress);
        return RunVibrato(engine, path, target, p.Int(256), p.Real(1.0 / 8), p.Int(720, -360), progress);
    case kTremolo:
        if (identity)
            // An infinite or NaN frequency would make the gain NaN: finite only.
            return RunTremolo(engine, path, target, p.Byte() / 4.0, 0.0, progress);
        return RunTremolo(engine, path, target, p.Real(1.0 / 4), p.Real(1.0 / 128), progress);
    case kRoutines:
        break;
    }
    return kEngineUnusable;
}

void CheckRun(ERoutine r, bool identity, CParams& p, CEffectEngine& engine, const std::string& path,
              const SSource& src, std::uint32_t dataSize)
{
    const std::uint32_t align = src.align;
    const std::uint32_t total = dataSize / align;
    const std::uint32_t written = std::min(total, kRunFrames);
    // The block: as large as the data, but no larger than the frames a run
    // gets to. The window lies inside it; so do all frames the engine may
    // store, since the last of them ends within the data (or at the cap,
    // a whole number of frames).
    const std::uint32_t blockBytes = std::min<std::uint64_t>(dataSize, std::uint64_t{kRunFrames} * align);
    const std::uint32_t start = p.Dword() % (blockBytes + 1);
    const std::uint32_t roomFrames = (blockBytes - start) / align;
    const std::uint32_t windowFrames = (p.Byte() & 1) ? roomFrames : p.Dword() % (roomFrames + 1);
    const std::uint64_t windowEnd = start + std::uint64_t{windowFrames} * align;

    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[blockBytes]);
    std::vector<std::uint8_t> before(blockBytes);
    for (std::uint32_t i = 0; i < blockBytes; ++i)
        before[i] = block[i] = static_cast<std::uint8_t>(i * 131 + 0x5A);

    CStopAtFirstReport progress;
    const int code = Run(r, identity, p, engine, path, SEffectTarget{block.get(), start, windowFrames}, &progress);

    const int wantCode = total > kRunFrames ? kEngineCancelled : kEngineOk;
    FUZZ_CHECK(code == wantCode, "%s: code %d, expected %d (%u frames)", kNames[r], code, wantCode, total);
    FUZZ_CHECK(engine.FramesWritten() == written, "%s: %u frames written, expected %u", kNames[r],
               engine.FramesWritten(), written);
    // A report before the first frame, then one after every 65,536 frames
    // while frames remain.
    FUZZ_CHECK(progress.calls == (total > kRunFrames ? 2 : 1) && progress.total == total &&
                   progress.done == (total > kRunFrames ? kRunFrames : 0),
               "%s: progress called %d times (%u of %u)", kNames[r], progress.calls, progress.done, progress.total);

    // Frame p is stored when its first byte lies in the window.
    for (std::uint32_t i = 0; i < blockBytes; ++i) {
        const std::uint64_t frame = i / align;
        const std::uint64_t at = frame * align;
        const bool stored = frame < written && at >= start && at < windowEnd;
        if (!stored) {
            FUZZ_CHECK(block[i] == before[i], "%s: byte %u outside the window [%u, %llu) changed", kNames[r], i,
                       start, static_cast<unsigned long long>(windowEnd));
        } else if (identity) {
            const std::uint8_t want = src.StreamByte(i);
            FUZZ_CHECK(block[i] == want, "%s: byte %u is %02x, the source's is %02x", kNames[r], i, block[i], want);
        }
    }
}

// --------------------------------------------------------------------------
// Reads through the ring.

void CheckReads(CParams& p, CEffectEngine& engine, const SSource& src)
{
    const std::int64_t F = kRingHalfBytes / src.align;
    std::int64_t newest = 0; // the half loaded last; the ring holds it and the one before
    std::int64_t index = 0;
    for (int step = 0; step < 8; ++step) {
        const std::uint8_t b = p.Byte();
        const std::int64_t small = p.Byte();
        switch (b % 8) {
        case 0: index += small; break;
        case 1: index -= small; break;
        case 2: index = (index / F + 1) * F + small - 128; break;
        case 3: index = (b >> 3) * F + small; break;
        case 4: index = -small * 1000; break;
        case 5: index = std::numeric_limits<std::int32_t>::max() - small; break;
        case 6: index = std::numeric_limits<std::int32_t>::min() + small; break;
        default: index = static_cast<std::int64_t>(p.Dword()) - (std::int64_t{1} << 31); break;
        }
        index = std::clamp<std::int64_t>(index, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max());
        // A read at or past the newest half's end loads up to the half holding it.
        if (index >= (newest + 1) * F)
            newest = index / F;
        const std::int64_t oldest = (newest - 1) * F;
        const SFrame want = src.Frame(std::max(index, oldest));
        const SFrame got = engine.ReadSourceFrame(static_cast<std::int32_t>(index));
        FUZZ_CHECK(got.left == want.left && got.right == want.right,
                   "frame %lld (newest half %lld): (%d, %d), expected (%d, %d)", static_cast<long long>(index),
                   static_cast<long long>(newest), got.left, got.right, want.left, want.right);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = fuzz::CScratch::Get().File("source.wav");
    CParams params(data, size);
    CheckHeader(data, size, params);

    fuzz::CScratch::Write(path, data, size);
    SSourceFormat want;
    std::uint32_t dataOffset = 0;
    const int wantCode = ExpectedOpen(data, size, want, dataOffset);

    CEffectEngine engine;
    SSourceFormat format;
    const int code = engine.OpenEffectSource(path, format);
    FUZZ_CHECK(code == wantCode, "open gave %d, expected %d", code, wantCode);
    if (code != kEngineOk) {
        FUZZ_CHECK(engine.SourceFrames() == 0, "a failed open left a source");
        const SFrame f = engine.ReadSourceFrame(0);
        FUZZ_CHECK(f.left == 0 && f.right == 0, "a failed open reads samples");
        return 0;
    }
    FUZZ_CHECK(SameFormat(format, want), "open gave %u Hz, %d bits, %d channels, %u bytes", format.nSamplesPerSec,
               format.nBitsPerSample, format.nChannels, format.dwDataSize);
    const SSource src{data, size, dataOffset, format.nBitsPerSample, format.nChannels,
                      static_cast<std::uint32_t>(format.nBitsPerSample / 8 * format.nChannels)};
    FUZZ_CHECK(engine.SourceFrames() == format.dwDataSize / src.align, "source frames %u", engine.SourceFrames());

    CheckReads(params, engine, src);
    engine.CloseEffectSource();

    // One engine for all the runs: nothing of one run may leak into the next.
    const std::uint8_t identity = params.Byte();
    params.SetExtremes((params.Byte() & 3) == 0);
    for (int r = 0; r < kRoutines; ++r)
        CheckRun(static_cast<ERoutine>(r), (identity >> r) & 1, params, engine, path, src, format.dwDataSize);
    return 0;
}
