#pragma once
// The effect engine's stream I/O. An effect reads a WAV file (the undo copy
// of the document's data) frame by frame through a fixed ring of two halves,
// on one common 16-bit scale, and writes each result frame into the
// document's data block, but only inside a window (the selection). One
// engine object serves one effect run at a time.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

// Results of opening a source.
constexpr int kEngineOk = 0;
constexpr int kEngineCannotOpen = 1;  // not opened, positioned or read in full while probing
constexpr int kEngineNoMemory = 7;    // the read ring could not be had
constexpr int kEngineMoreBytes = 23;  // ParseWaveHeader only: the bytes end before the next chunk header
constexpr int kEngineUnusable = 58;   // no RIFF/WAVE, no fmt of 16+ bytes or data, or a shape not handled
constexpr int kEngineCancelled = -1;  // an effect routine stopped on the caller's request

// The ring: two halves of 409,600 bytes (and 256 spare bytes).
constexpr std::uint32_t kRingHalfBytes = 409600;
constexpr std::uint32_t kRingBytes = 819456;

// A frame on the common scale: 16-bit samples as they are, 8-bit samples as
// (byte - 128) x 256; mono data gives the one sample as both.
struct SFrame {
    std::int32_t left;
    std::int32_t right;
};

// A fractional read position taken apart: the frame at or below it (toward
// zero), the frame after it, and the weight of the frame after it.
// Positions outside the range of frame indices are taken as the nearest
// index; a NaN reads the oldest frame held, like any index far behind.
struct SSourcePosition {
    std::int32_t index;
    std::int32_t next;
    double fraction;
};

inline SSourcePosition SplitSourcePosition(double position)
{
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    double x = position;
    if (!(x >= lo))
        x = lo;
    else if (x > hi)
        x = hi;
    // The conversion truncates toward zero; x lies within the int range.
    const auto a = static_cast<std::int32_t>(x);
    // At the last index there is no next frame; its weight is 0 there.
    return {a, a < std::numeric_limits<std::int32_t>::max() ? a + 1 : a, x - a};
}

// The frame between f0 and f1 at `fraction` (0 gives f0), truncated toward
// zero (as the conversion does). |fraction| < 1 keeps both results well
// inside the int range.
inline SFrame InterpolateFrames(const SFrame& f0, const SFrame& f1, double fraction)
{
    const double left = (1 - fraction) * f0.left + fraction * f1.left;
    const double right = (1 - fraction) * f0.right + fraction * f1.right;
    return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(right)};
}

// The frames the ring holds truly, decoded on the common scale: frame
// `begin + k` is left[k], right[k] for begin <= begin + k < end. Reading
// any index below `end` (older ones give left[0], right[0], the oldest
// frame held) answers exactly what ReadSourceFrame would, and loads
// nothing; only an index at `end` or beyond makes the reader load. Mono
// sources have right == left. When nothing is open, begin == end, far
// below any index.
// Values each held channel has after its newest frame (their contents
// are unspecified): block code may load up to this many past it.
constexpr std::size_t kHeldPadding = 8;

struct SHeldFrames {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    const std::int32_t* left = nullptr;
    const std::int32_t* right = nullptr;
};

// What a read of `index` gives while no read loads: the decoded frame, or
// the oldest held for older indices. `index` must lie below held.end.
inline SFrame HeldRead(const SHeldFrames& held, std::int64_t index)
{
    const std::int64_t k = index > held.begin ? index - held.begin : 0;
    return {held.left[k], held.right[k]};
}

// The engine's ReadSourceFrameAt from what is held.
inline SFrame HeldReadAt(const SHeldFrames& held, double position)
{
    const SSourcePosition at = SplitSourcePosition(position);
    return InterpolateFrames(HeldRead(held, at.index), HeldRead(held, at.next), at.fraction);
}

struct SSourceFormat {
    std::uint32_t nSamplesPerSec = 0;
    int nBitsPerSample = 0;
    int nChannels = 0;
    std::uint32_t dwDataSize = 0; // bytes, as the data chunk states
};

class CEffectEngine {
public:
    CEffectEngine();
    ~CEffectEngine();
    CEffectEngine(const CEffectEngine&) = delete;
    CEffectEngine& operator=(const CEffectEngine&) = delete;

    // Opens the source, probes its header (56 bytes, then 56 more at a time
    // up to 1,064) and loads the first ring half. Returns kEngineOk with the
    // format, or kEngineCannotOpen, kEngineNoMemory or kEngineUnusable with
    // nothing left open.
    int OpenEffectSource(const std::string& path, SSourceFormat& format);

    // Walks the chunks of the first `n` bytes of a file. Returns kEngineOk
    // with the format and the byte offset of the sample data,
    // kEngineMoreBytes when the bytes end before the next chunk header, or
    // kEngineUnusable.
    static int ParseWaveHeader(const std::uint8_t* b, std::uint32_t n, SSourceFormat& format,
                               std::uint32_t& dataOffset);

    // The source frame at `index` (whole frames from the start of the data):
    // silence before the first frame until the first refill and after the
    // end of the file; bytes after the data chunk are read as samples; an
    // index older than the ring holds gives the oldest frame held. Reading
    // ahead loads further halves; the reader never goes back.
    SFrame ReadSourceFrame(std::int32_t index);
    // The frame at a fractional position, interpolated linearly between the
    // frames around it and truncated toward zero.
    SFrame ReadSourceFrameAt(double position);
    // Closes the source and frees the ring.
    void CloseEffectSource();

    // Where results go: the block, its format (that of the source), and the
    // window: start in bytes, length in frames. Resets the frames written.
    void SetEffectTarget(std::uint8_t* dest, std::uint32_t rate, int bits, int channels,
                         std::uint32_t dataSize, std::uint32_t windowStart, std::uint32_t windowFrames);
    // Clamps to -32768..32767 and stores frame p (the count of frames
    // written so far) when it lies inside the window; always counts it.
    // Returns 0.
    int WriteTargetFrame(std::int32_t left, std::int32_t right);

    // The same as `count` calls of WriteTargetFrame with left[k], right[k].
    void WriteTargetFrames(const std::int32_t* left, const std::int32_t* right, std::uint32_t count);
    // Stores frames first .. first + count - 1 (as FramesWritten counts
    // them; those in the window only) without counting them: parts of a
    // stretch computed on several threads store their own frames, and the
    // stretch is then counted with SkipTargetFrames.
    void StoreTargetFrames(std::uint64_t first, const std::int32_t* left, const std::int32_t* right,
                           std::uint32_t count) const;
    // Counts `count` frames as written without storing them: for frames the
    // window does not hold, whose values nobody needs.
    void SkipTargetFrames(std::uint32_t count) { m_nWritten += count; }
    // The frames (counted as FramesWritten counts them) that the window
    // stores: [StoredBegin(), StoredEnd()). Empty for a target of a shape
    // that is not handled.
    std::uint64_t StoredBegin() const;
    std::uint64_t StoredEnd() const;

    // What the reader holds now (see SHeldFrames); changes only when a read
    // loads a further half or the source is opened or closed.
    SHeldFrames Held() const;

    // Frames written in this run so far.
    std::uint32_t FramesWritten() const { return m_nWritten; }
    // Frames of the source's data: data size / bytes per frame.
    std::uint32_t SourceFrames() const;

private:
    struct SImpl;
    std::unique_ptr<SImpl> m_p;
    std::uint32_t m_nWritten = 0;
};
