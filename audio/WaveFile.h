#pragma once
// WAV files: the layout the editor writes (a 44-byte header: "RIFF", a
// 16-byte `fmt ` chunk, a `data` chunk) and what it accepts when loading.

#include "platform/Reason.h"

#include <cstdint>
#include <string>

class CWaveData;
class CCurrentFormat;

// 1 when the extension of `path` (the text after the last "." of its last
// component, or the whole last component when it has none) is "wav" in any
// case, 2 for "au", 0 otherwise.
int GetFileType(const std::string& path);

// Replaces the format, block and size of `wave` with the content of the WAV
// file at `path`, then shows the new format and size through `frame`.
// Accepts a RIFF "WAVE" file whose first `fmt ` chunk (at least 16 bytes)
// describes PCM (format tag 1, or the extensible layout with a PCM
// sub-format, kept as tag 1) with 1 or 2 channels, 8 or 16 bits and a non-zero rate,
// followed later by a `data` chunk of non-zero size that the file holds in
// full; other chunks are skipped. Returns 1 on success. On failure returns 0
// with `error` set (FileOpen, or one of the loading reasons with `path`) and
// leaves `wave` and `frame` exactly as they were.
int LoadWaveFile(const std::string& path, CWaveData& wave, CCurrentFormat& frame,
                 SReason& error);

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
