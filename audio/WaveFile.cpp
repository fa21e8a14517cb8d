#include "audio/WaveFile.h"

#include "audio/CWaveData.h"
#include "frame/CCurrentFormat.h"
#include "platform/SafeFile.h"

#include <cstdint>
#include <cstring>
#include <memory>

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

// Reads the extension of an extensible `fmt ` chunk (positioned right after
// its first 16 bytes) and tells whether its sub-format is integer PCM.
bool IsExtensiblePcm(HMMIO file, const MMCKINFO& fmt)
{
    // cbSize (2), valid bits (2), channel mask (4), sub-format GUID (16).
    static const std::uint8_t kPcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::uint8_t ext[24];
    if (fmt.cksize < kPcmFormatBytes + sizeof ext || mmioRead(file, ext, sizeof ext) != sizeof ext)
        return false;
    return (ext[0] | ext[1] << 8) >= 22 && std::memcmp(ext + 8, kPcmGuid, 16) == 0;
}
} // namespace

int LoadWaveFile(const std::string& path, CWaveData& wave, CCurrentFormat& frame,
                 SReason& error)
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
        // The extensible layout wraps plain PCM in a longer chunk; such a
        // file is PCM like any other and is kept as format tag 1.
        if (!IsExtensiblePcm(file.get(), fmt))
            return fail(EReason::ExtensibleNotPcm);
        f.wFormatTag = WAVE_FORMAT_PCM;
    }
    if (f.wFormatTag != WAVE_FORMAT_PCM)
        return fail(EReason::NotPcm, f.wFormatTag);
    if (f.nChannels != 1 && f.nChannels != 2)
        return fail(EReason::ChannelCount, f.nChannels);
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16)
        return fail(EReason::SampleSize, f.wBitsPerSample);
    if (f.nSamplesPerSec == 0)
        return fail(EReason::SampleRateZero);

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

    if (!staged.Allocate(data.cksize) || !staged.IsValid())
        return fail(EReason::NoMemoryForAudio, data.cksize);
    if (!staged.ReadData(file.get(), data.cksize))
        return fail(EReason::DataUnreadable);
    file.reset();

    wave.AdoptFrom(staged);
    frame.SetFormat(f.nSamplesPerSec, f.nChannels, f.wBitsPerSample);
    frame.SetDataSize(wave.m_dwDataSize);
    return 1;
}

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
    int err = 0;
    MmioHandle file(mmioOpen(save.GetTempPath(), MMIO_CREATE | MMIO_WRITE, &err));
    if (!file) {
        error = FileReason(EReason::FileWrite, path, err);
        return 0;
    }
    auto le32 = [](std::uint32_t v, unsigned char* p) {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
        p[2] = static_cast<unsigned char>(v >> 16);
        p[3] = static_cast<unsigned char>(v >> 24);
    };
    unsigned char header[44];
    std::memcpy(header, "RIFF", 4);
    le32(wave.m_dwDataSize + 36, header + 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    le32(16, header + 16);
    std::memcpy(header + 20, wave.m_pFormat.get(), kPcmFormatBytes);
    std::memcpy(header + 36, "data", 4);
    le32(wave.m_dwDataSize, header + 40);

    bool ok = mmioWrite(file.get(), header, sizeof header) == sizeof header &&
              wave.WriteData(file.get()) == 1;
    err = errno;
    if (mmioClose(file.release()) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        error = FileReason(EReason::FileWrite, path, err);
        return 0; // the temporary file goes with `save`
    }
    if (!save.Commit(bDurable)) {
        error = save.GetError();
        return 0;
    }
    return 1;
}
