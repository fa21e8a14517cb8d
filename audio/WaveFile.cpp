#include "audio/WaveFile.h"

#include "audio/CWaveData.h"
#include "frame/CCurrentFormat.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int GetFileType(const std::string& path)
{
    // The extension is what follows the last "." or "/", so a folder name
    // with a dot never lends its extension to a file without one.
    auto cut = path.find_last_of("./");
    std::string ext = cut == std::string::npos ? path : path.substr(cut + 1);
    // Lower ASCII letters only; bytes of multibyte characters stay intact.
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (ext == "wav")
        return 1;
    if (ext == "au")
        return 2;
    return 0;
}

namespace {
struct MmioCloser {
    void operator()(CMmioFile* h) const { mmioClose(h); }
};
using MmioHandle = std::unique_ptr<CMmioFile, MmioCloser>;

constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatALaw = 6;
constexpr std::uint16_t kFormatMuLaw = 7;

// Reads the extension of an extensible `fmt ` chunk (positioned right after
// its first 16 bytes) and gives the format tag its sub-format stands for:
// the GUID of a registered tag is that tag followed by fixed bytes. 0 when
// the chunk is too short or the sub-format is not one of those.
std::uint16_t ExtensibleSubFormat(HMMIO file, const MMCKINFO& fmt)
{
    // cbSize (2), valid bits (2), channel mask (4), sub-format GUID (16).
    static const std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                               0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::uint8_t ext[24];
    if (fmt.cksize < kPcmFormatBytes + sizeof ext || mmioRead(file, ext, sizeof ext) != sizeof ext)
        return 0;
    if ((ext[0] | ext[1] << 8) < 22 || std::memcmp(ext + 10, kGuidTail, sizeof kGuidTail) != 0)
        return 0;
    const std::uint16_t tag = static_cast<std::uint16_t>(ext[8] | ext[9] << 8);
    return tag == WAVE_FORMAT_PCM || tag == kFormatFloat || tag == kFormatALaw || tag == kFormatMuLaw ? tag : 0;
}

std::int16_t Clamp16(std::int64_t v)
{
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, INT16_MIN, INT16_MAX));
}

std::int16_t FromDouble(double x)
{
    if (std::isnan(x))
        return 0;
    // Clamped in double first: infinities and huge values have no integer.
    const double v = std::floor(x * 32768.0 + 0.5);
    return static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
}

// G.711 expansion to 16 bits, as the reference tables of the standard.
std::int16_t FromALaw(std::uint8_t code)
{
    const unsigned a = code ^ 0x55u;
    int t = static_cast<int>(a & 0x0F) << 4;
    const unsigned seg = (a & 0x70u) >> 4;
    if (seg == 0)
        t += 8;
    else
        t = (t + 0x108) << (seg - 1);
    return static_cast<std::int16_t>(a & 0x80u ? t : -t);
}

std::int16_t FromMuLaw(std::uint8_t code)
{
    const unsigned u = ~code & 0xFFu;
    const int t = ((static_cast<int>(u & 0x0F) << 3) + 0x84) << ((u & 0x70u) >> 4);
    return static_cast<std::int16_t>(u & 0x80u ? 0x84 - t : t - 0x84);
}

// Converts `samples` samples of `encoding` at `src` to 16-bit PCM at `dst`.
void ConvertSamples(EWaveEncoding encoding, const std::uint8_t* src, std::size_t samples, std::uint8_t* dst)
{
    auto put = [&dst](std::int16_t v) {
        const auto u = static_cast<std::uint16_t>(v);
        *dst++ = static_cast<std::uint8_t>(u);
        *dst++ = static_cast<std::uint8_t>(u >> 8);
    };
    for (std::size_t i = 0; i < samples; ++i) {
        switch (encoding) {
        case EWaveEncoding::Pcm24: {
            const std::uint32_t u = std::uint32_t{src[0]} | std::uint32_t{src[1]} << 8 | std::uint32_t{src[2]} << 16;
            const std::int64_t s = static_cast<std::int32_t>(u << 8) >> 8; // sign of bit 23
            put(Clamp16((s + 128) >> 8));
            src += 3;
            break;
        }
        case EWaveEncoding::Pcm32: {
            std::int32_t s;
            std::memcpy(&s, src, 4);
            put(Clamp16((std::int64_t{s} + 32768) >> 16));
            src += 4;
            break;
        }
        case EWaveEncoding::Float32: {
            float x;
            std::memcpy(&x, src, 4);
            put(FromDouble(x));
            src += 4;
            break;
        }
        case EWaveEncoding::Float64: {
            double x;
            std::memcpy(&x, src, 8);
            put(FromDouble(x));
            src += 8;
            break;
        }
        case EWaveEncoding::ALaw: put(FromALaw(*src++)); break;
        case EWaveEncoding::MuLaw: put(FromMuLaw(*src++)); break;
        case EWaveEncoding::Pcm: return; // never converted
        }
    }
}

// Reads `frames` frames of `blockAlign` bytes in `encoding` from the file's
// position and writes them as 16-bit PCM at `dst`, a piece at a time.
bool ReadConverted(HMMIO file, EWaveEncoding encoding, unsigned blockAlign, unsigned channels,
                   std::uint64_t frames, std::uint8_t* dst)
{
    constexpr std::size_t kBufferBytes = 64 * 1024;
    const std::size_t framesPerPiece = kBufferBytes / blockAlign;
    std::vector<std::uint8_t> buffer(framesPerPiece * blockAlign);
    while (frames > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(frames, framesPerPiece));
        const std::size_t bytes = n * blockAlign;
        if (mmioRead(file, buffer.data(), static_cast<std::int64_t>(bytes)) != static_cast<std::int64_t>(bytes))
            return false;
        ConvertSamples(encoding, buffer.data(), n * channels, dst);
        dst += n * channels * 2;
        frames -= n;
    }
    return true;
}
} // namespace

const char* WaveEncodingName(EWaveEncoding encoding)
{
    switch (encoding) {
    case EWaveEncoding::Pcm: return "";
    case EWaveEncoding::Pcm24: return "pcm24";
    case EWaveEncoding::Pcm32: return "pcm32";
    case EWaveEncoding::Float32: return "float32";
    case EWaveEncoding::Float64: return "float64";
    case EWaveEncoding::ALaw: return "alaw";
    case EWaveEncoding::MuLaw: return "mulaw";
    }
    return "";
}

int LoadWaveFile(const std::string& path, CWaveData& wave, CCurrentFormat& frame,
                 SReason& error, EWaveEncoding* pEncoding, std::uint64_t* pUnreadDataAt)
{
    int err = 0;
    MmioHandle file(mmioOpen(path, MMIO_READ | MMIO_ALLOCBUF, &err));
    if (!file) {
        error = FileReason(EReason::FileOpen, path, err);
        return 0;
    }
    auto fail = [&](EReason code, std::uint64_t number = 0, std::uint64_t number2 = 0) {
        error = NumberReason(code, number, number2);
        error.path = path;
        return 0;
    };

    MMCKINFO riff;
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF) != 0)
        return fail(EReason::NotWave);

    MMCKINFO fmt;
    fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file.get(), &fmt, &riff, MMIO_FINDCHUNK) != 0)
        return fail(EReason::NoFormatChunk);
    if (fmt.cksize < kPcmFormatBytes)
        return fail(EReason::FormatChunkShort, fmt.cksize);

    // Everything is read into a staging object first; the document's audio
    // and the current format change only once the whole file has loaded.
    CWaveData staged;
    WAVEFORMATEX& f = *staged.m_pFormat;
    std::memset(&f, 0, sizeof f);
    if (mmioRead(file.get(), &f, kPcmFormatBytes) != kPcmFormatBytes)
        return fail(EReason::FormatTruncated);
    if (f.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        // The extensible layout wraps a plain format in a longer chunk; the
        // file is read as that format, under its own tag.
        f.wFormatTag = ExtensibleSubFormat(file.get(), fmt);
        if (f.wFormatTag == 0)
            return fail(EReason::ExtensibleNotPcm);
    }
    if (f.wFormatTag != WAVE_FORMAT_PCM && f.wFormatTag != kFormatFloat && f.wFormatTag != kFormatALaw &&
        f.wFormatTag != kFormatMuLaw)
        return fail(EReason::NotPcm, f.wFormatTag);
    if (f.nChannels != 1 && f.nChannels != 2)
        return fail(EReason::ChannelCount, f.nChannels);
    EWaveEncoding encoding = EWaveEncoding::Pcm;
    switch (f.wFormatTag) {
    case WAVE_FORMAT_PCM:
        if (f.wBitsPerSample == 24)
            encoding = EWaveEncoding::Pcm24;
        else if (f.wBitsPerSample == 32)
            encoding = EWaveEncoding::Pcm32;
        else if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16)
            return fail(EReason::SampleSize, f.wBitsPerSample);
        break;
    case kFormatFloat:
        if (f.wBitsPerSample != 32 && f.wBitsPerSample != 64)
            return fail(EReason::EncodingSampleSize, f.wBitsPerSample, f.wFormatTag);
        encoding = f.wBitsPerSample == 32 ? EWaveEncoding::Float32 : EWaveEncoding::Float64;
        break;
    default: // A-law, mu-law
        if (f.wBitsPerSample != 8)
            return fail(EReason::EncodingSampleSize, f.wBitsPerSample, f.wFormatTag);
        encoding = f.wFormatTag == kFormatALaw ? EWaveEncoding::ALaw : EWaveEncoding::MuLaw;
        break;
    }
    if (f.nSamplesPerSec == 0)
        return fail(EReason::SampleRateZero);
    const unsigned frameBytes = f.nChannels * (f.wBitsPerSample / 8u);
    if (encoding != EWaveEncoding::Pcm && f.nBlockAlign != frameBytes)
        return fail(EReason::BlockAlignWrong, f.nBlockAlign, frameBytes);

    if (mmioAscend(file.get(), &fmt, 0) != 0)
        return fail(EReason::FormatUnskippable);
    MMCKINFO data;
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file.get(), &data, &riff, MMIO_FINDCHUNK) != 0)
        return fail(EReason::NoDataChunk);
    if (data.cksize == 0)
        return fail(EReason::DataEmpty);
    std::uint64_t available = mmioLength(file.get()) - data.dwDataOffset;
    if (data.cksize > available)
        return fail(EReason::DataTruncated, data.cksize, available);

    if (pUnreadDataAt)
        *pUnreadDataAt = 0;
    if (encoding == EWaveEncoding::Pcm && pUnreadDataAt) {
        if (!staged.Allocate(data.cksize) || !staged.IsValid())
            return fail(EReason::NoMemoryForAudio, data.cksize);
        staged.m_dwDataSize = data.cksize;
        staged.m_bHasData = 1;
        *pUnreadDataAt = data.dwDataOffset;
    } else if (encoding == EWaveEncoding::Pcm) {
        if (!staged.Allocate(data.cksize) || !staged.IsValid())
            return fail(EReason::NoMemoryForAudio, data.cksize);
        if (!staged.ReadData(file.get(), data.cksize))
            return fail(EReason::DataUnreadable);
    } else {
        const std::uint64_t frames = data.cksize / frameBytes;
        if (frames == 0)
            return fail(EReason::DataEmpty);
        const std::uint64_t bytes = frames * f.nChannels * 2;
        if (bytes > UINT32_MAX)
            return fail(EReason::ConvertedTooLarge, bytes);
        if (!staged.Allocate(static_cast<std::uint32_t>(bytes)) || !staged.IsValid())
            return fail(EReason::NoMemoryForAudio, bytes);
        std::uint8_t* p = staged.LockData();
        const bool ok = ReadConverted(file.get(), encoding, frameBytes, f.nChannels, frames, p);
        staged.UnlockData();
        if (!ok)
            return fail(EReason::DataUnreadable);
        staged.m_dwDataSize = static_cast<std::uint32_t>(bytes);
        staged.m_bHasData = 1;
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.wBitsPerSample = 16;
        f.nBlockAlign = static_cast<std::uint16_t>(f.nChannels * 2);
        f.nAvgBytesPerSec = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(std::uint64_t{f.nSamplesPerSec} * f.nBlockAlign, UINT32_MAX));
        f.cbSize = 0;
    }
    file.reset();

    wave.AdoptFrom(staged);
    frame.SetFormat(f.nSamplesPerSec, f.nChannels, f.wBitsPerSample);
    frame.SetDataSize(wave.m_dwDataSize);
    if (pEncoding)
        *pEncoding = encoding;
    return 1;
}

namespace {
// The 44 bytes before the data in the save's layout.
constexpr std::uint32_t kSavedHeaderBytes = 44;

// The 44 bytes the save writes before the data of `wave`.
void SavedHeader(const CWaveData& wave, unsigned char (&header)[kSavedHeaderBytes])
{
    auto le32 = [](std::uint32_t v, unsigned char* p) {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
        p[2] = static_cast<unsigned char>(v >> 16);
        p[3] = static_cast<unsigned char>(v >> 24);
    };
    std::memcpy(header, "RIFF", 4);
    le32(wave.m_dwDataSize + 36, header + 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    le32(16, header + 16);
    std::memcpy(header + 20, wave.m_pFormat.get(), kPcmFormatBytes);
    std::memcpy(header + 36, "data", 4);
    le32(wave.m_dwDataSize, header + 40);
}

// Writes `wave` in the save's layout into `file` (created or emptied),
// handing it to the disk as it goes when it is to be flushed (`bDurable`).
// False with `error` (FileWrite of `path`) when a write or the close fails.
bool WriteWave(const std::string& file, const std::string& path, CWaveData& wave, SReason& error,
               bool bDurable)
{
    int err = 0;
    MmioHandle out(mmioOpen(file, MMIO_CREATE | MMIO_WRITE | (bDurable ? MMIO_WRITEBACK : 0u), &err));
    if (!out) {
        error = FileReason(EReason::FileWrite, path, err);
        return false;
    }
    unsigned char header[kSavedHeaderBytes];
    SavedHeader(wave, header);

    bool ok = mmioWrite(out.get(), header, sizeof header) == sizeof header && wave.WriteData(out.get()) == 1;
    err = errno;
    if (mmioClose(out.release()) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok)
        error = FileReason(EReason::FileWrite, path, err);
    return ok;
}
} // namespace

int SaveWaveFile(const std::string& path, CWaveData& wave, SReason& error, bool bDurable)
{
    // The RIFF size field holds the data size plus 36 in 32 bits.
    if (wave.m_dwDataSize > UINT32_MAX - 36) {
        error = FileReason(EReason::AudioTooLongForWav, path);
        return 0;
    }
    CSafeSave save;
    if (!save.Begin(path)) {
        error = save.GetError();
        return 0;
    }
    if (!WriteWave(save.GetTempPath(), path, wave, error, bDurable))
        return 0; // the temporary file goes with `save`
    if (!save.Commit(bDurable)) {
        error = save.GetError();
        return 0;
    }
    return 1;
}

bool IsInSavedLayout(const std::string& path, const CWaveData& wave)
{
    if (!wave.m_bHasData || wave.m_dwDataSize > UINT32_MAX - 36)
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char want[kSavedHeaderBytes], have[kSavedHeaderBytes];
    SavedHeader(wave, want);
    struct stat st {};
    const bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                      static_cast<std::uint64_t>(st.st_size) == kSavedHeaderBytes + std::uint64_t{wave.m_dwDataSize} &&
                      ::pread(fd, have, sizeof have, 0) == static_cast<ssize_t>(sizeof have) &&
                      std::memcmp(want, have, sizeof want) == 0;
    ::close(fd);
    return same;
}

struct CStagedWaveSave::SImpl {
    CSafeSave save;
    std::string target;
    std::uint32_t dataSize = 0;
};

CStagedWaveSave::CStagedWaveSave() : m_p(std::make_unique<SImpl>()) {}
CStagedWaveSave::~CStagedWaveSave() = default;

bool CStagedWaveSave::Begin(const std::string& path, CWaveData& wave, SReason& error, bool bWithData)
{
    if (wave.m_dwDataSize > UINT32_MAX - 36) {
        error = FileReason(EReason::AudioTooLongForWav, path);
        return false;
    }
    m_p->target = path;
    if (!m_p->save.Begin(path)) {
        error = m_p->save.GetError();
        return false;
    }
    m_p->dataSize = wave.m_dwDataSize;
    if (!bWithData) {
        unsigned char header[kSavedHeaderBytes];
        SavedHeader(wave, header);
        return WriteRange(header, 0, sizeof header, error);
    }
    // Not flushed yet: the file is the change's source first.
    return WriteWave(m_p->save.GetTempPath(), path, wave, error, false);
}

bool CStagedWaveSave::WriteData(const std::uint8_t* data, std::uint32_t start, std::uint32_t bytes, SReason& error)
{
    start = std::min(start, m_p->dataSize);
    bytes = std::min(bytes, m_p->dataSize - start);
    return bytes == 0 || WriteRange(data + start, kSavedHeaderBytes + std::uint64_t{start}, bytes, error);
}

bool CStagedWaveSave::WriteRange(const std::uint8_t* p, std::uint64_t offset, std::uint64_t bytes, SReason& error)
{
    const int fd = ::open(m_p->save.GetTempPath().c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = FileReason(EReason::FileWrite, m_p->target, errno);
        return false;
    }
    // Written 8 MiB at a time, each handed to the disk at once, so that
    // the commit's flush finds little left.
    constexpr std::uint64_t kPieceBytes = 8u << 20;
    bool ok = true;
    int err = 0;
    for (std::uint64_t done = 0; ok && done < bytes;) {
        const std::uint64_t piece = std::min<std::uint64_t>(bytes - done, kPieceBytes);
        const auto at = static_cast<off_t>(offset + done);
        const ssize_t n = ::pwrite(fd, p + done, piece, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            err = n < 0 ? errno : EIO;
        } else {
            (void)::sync_file_range(fd, at, n, SYNC_FILE_RANGE_WRITE);
            done += static_cast<std::uint64_t>(n);
        }
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok)
        error = FileReason(EReason::FileWrite, m_p->target, err);
    return ok;
}

const std::string& CStagedWaveSave::GetStagedPath() const { return m_p->save.GetTempPath(); }

bool CStagedWaveSave::Rewrite(CWaveData& wave, std::uint32_t start, std::uint32_t bytes, SReason& error)
{
    if (wave.m_dwDataSize != m_p->dataSize) {
        m_p->dataSize = wave.m_dwDataSize;
        return WriteWave(m_p->save.GetTempPath(), m_p->target, wave, error, true);
    }
    start = std::min(start, wave.m_dwDataSize);
    bytes = std::min(bytes, wave.m_dwDataSize - start);
    if (bytes == 0)
        return true;
    const std::uint8_t* p = wave.LockData();
    if (!p) {
        error = FileReason(EReason::FileWrite, m_p->target, 0);
        return false;
    }
    const bool ok = WriteData(p, start, bytes, error);
    wave.UnlockData();
    return ok;
}

bool CStagedWaveSave::Commit(SReason& error)
{
    if (!m_p->save.Commit(true)) {
        error = m_p->save.GetError();
        return false;
    }
    return true;
}
