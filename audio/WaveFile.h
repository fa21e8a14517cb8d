#pragma once
// WAV files: the layout the editor writes (a 44-byte header: "RIFF", a
// 16-byte `fmt ` chunk, a `data` chunk) and what it accepts when loading.

#include "platform/Reason.h"

#include <cstdint>
#include <memory>
#include <string>

class CWaveData;
class CCurrentFormat;

// 1 when the extension of `path` (the text after the last "." of its last
// component, or the whole last component when it has none) is "wav" in any
// case, 2 for "au", 0 otherwise.
int GetFileType(const std::string& path);

// How a WAV file stores its samples. Pcm is 8- or 16-bit PCM, loaded as it
// is; every other shape is converted to 16-bit PCM while loading.
enum class EWaveEncoding {
    Pcm,
    Pcm24,   // integer PCM, 24 bits: (s + 128) >> 8
    Pcm32,   // integer PCM, 32 bits: (s + 32768) >> 16, clamped
    Float32, // IEEE float, 32 bits: floor(x * 32768 + 0.5), clamped; NaN is 0
    Float64, // the same from 64 bits
    ALaw,    // G.711 A-law, 8 bits
    MuLaw,   // G.711 mu-law, 8 bits
};

// The command-line tool's name of `encoding`: "pcm24", "pcm32", "float32",
// "float64", "alaw", "mulaw"; "" for Pcm.
const char* WaveEncodingName(EWaveEncoding encoding);

// Replaces the format, block and size of `wave` with the content of the WAV
// file at `path`, then shows the new format and size through `frame`.
// Accepts a RIFF "WAVE" file whose first `fmt ` chunk (at least 16 bytes;
// the extensible layout needs 40 and gives its sub-format as the tag)
// describes 1 or 2 channels at a non-zero rate of: integer PCM (tag 1) of
// 8 or 16 bits, kept byte for byte; integer PCM of 24 or 32 bits, IEEE
// float (tag 3) of 32 or 64 bits, A-law (6) or mu-law (7) of 8 bits, each
// converted to 16-bit PCM (see EWaveEncoding) with a format record of tag
// 1, 16 bits and its own block align and byte rate. A converted file needs
// a block align of channels x bytes per sample; a trailing partial frame is
// dropped. A `data` chunk of non-zero size that the file holds in full must
// follow; other chunks are skipped. Conversion reads the data in pieces:
// it needs the converted block and a buffer of 64 KiB, never the source
// size. Returns 1 on success with `*pEncoding` (when not null) set to the
// file's encoding. On failure returns 0 with `error` set (FileOpen, or one
// of the loading reasons with `path`) and leaves `wave`, `frame` and
// `*pEncoding` exactly as they were.
// With `pUnreadDataAt` given, the data of an 8- or 16-bit PCM file is not
// read: the block is allocated for it, its bytes unspecified, and
// `*pUnreadDataAt` is the offset of the data in the file, for the caller to
// read what it needs (a caller that overwrites most of it). A converted
// file is read as always, with `*pUnreadDataAt` 0.
int LoadWaveFile(const std::string& path, CWaveData& wave, CCurrentFormat& frame,
                 SReason& error, EWaveEncoding* pEncoding = nullptr, std::uint64_t* pUnreadDataAt = nullptr);

// Writes `wave` to `path` in the 44-byte-header layout (the first 16 bytes of
// the format record, then the valid data bytes). The file is replaced only
// once every byte is on the disk: on failure returns 0 with `error` set
// (AudioTooLongForWav, FileWrite or FileReplace with `path`) and the old
// file, if any, is left byte for byte as it was. With `bDurable`
// false the file is not flushed to the disk (see CSafeSave::Commit): for the
// undo copy, which is thrown away at exit and would otherwise cost a flush
// of the whole audio before every change.
int SaveWaveFile(const std::string& path, CWaveData& wave, SReason& error,
                 bool bDurable = true);

// True when the file at `path` has exactly the length and the header that
// SaveWaveFile would write for `wave`: with the data `wave` was loaded from
// it, the file is byte for byte what saving `wave` would give, so it can
// stand in for that copy as a change's source. The data is not compared.
bool IsInSavedLayout(const std::string& path, const CWaveData& wave);

// A save in two steps, for a change that reads its source from the file
// being saved (the command-line tool, which keeps no undo copy): Begin
// writes the audio as SaveWaveFile would into a temporary file beside the
// target, not yet flushed, so the change can read it as its source; after
// the change Rewrite writes the changed bytes again in place, and Commit
// flushes the file and puts it over the target as SaveWaveFile does. The
// target is touched only by a successful Commit; the temporary file goes
// with the object otherwise.
class CStagedWaveSave {
public:
    CStagedWaveSave();
    ~CStagedWaveSave();
    CStagedWaveSave(const CStagedWaveSave&) = delete;
    CStagedWaveSave& operator=(const CStagedWaveSave&) = delete;

    // Writes `wave` to the temporary file, or with `bWithData` false only
    // its header, the data to follow through WriteData or Rewrite. False
    // with `error` set as SaveWaveFile sets it.
    bool Begin(const std::string& path, CWaveData& wave, SReason& error, bool bWithData = true);
    // The temporary file: the audio as it was at Begin, in the save's layout.
    const std::string& GetStagedPath() const;
    // Writes data bytes [start, start + bytes) of `wave` (clipped to its
    // data) over the same bytes of the temporary file. When the data size
    // has changed since Begin, writes the whole file again. False with
    // `error` set (FileWrite with the target) when a write fails.
    bool Rewrite(CWaveData& wave, std::uint32_t start, std::uint32_t bytes, SReason& error);
    // Writes bytes [start, start + bytes) of `data`, the whole data of the
    // audio as Begin saw its size (clipped to it), into the temporary file,
    // handing them to the disk as it goes. For writing the parts of a
    // change that are final while the change still runs: `data` is read
    // only here. False with `error` set (FileWrite with the target).
    bool WriteData(const std::uint8_t* data, std::uint32_t start, std::uint32_t bytes, SReason& error);
    // Flushes the temporary file and renames it over the target.
    bool Commit(SReason& error);

private:
    bool WriteRange(const std::uint8_t* p, std::uint64_t offset, std::uint64_t bytes, SReason& error);

    struct SImpl;
    std::unique_ptr<SImpl> m_p;
};
