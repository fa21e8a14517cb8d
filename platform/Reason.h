#pragma once
// Why an operation failed, as data: a code with the details it names (the
// file, a number or two, the system's errno). The layers below the window
// return these and never a sentence; the window turns them into Japanese
// (framework/ReasonText.h) and the command-line tool into English
// (ReasonTextEnglish below).

#include <cstdint>
#include <ostream>
#include <string>

enum class EReason : int {
    None = 0,

    // Files: `path`, and the system's reason in `err` (0 when none).
    FileOpen,    // the file cannot be opened for reading
    FileWrite,   // the file (or its temporary beside it) cannot be written
    FileReplace, // the written file cannot be put in place of `path`

    // The scratch folder of the process (platform/ProcessCache.h).
    CacheHomeUnknown, // neither XDG_CACHE_HOME nor HOME names a folder
    FolderCreate,     // `path` cannot be created; `err`
    FolderLock,       // `path` cannot be locked for this process; `err`

    // Loading a WAV file: `path` is the file.
    NotWave,            // no RIFF "WAVE" header
    NoFormatChunk,      // no `fmt ` chunk before the data
    FormatChunkShort,   // `number`: the chunk's size in bytes, below 16
    FormatTruncated,    // the file ends inside the `fmt ` chunk
    ExtensibleNotPcm,   // the extensible layout with a sub-format other than those read
    NotPcm,             // `number`: the format tag (1, 3, 6 and 7 are read)
    ChannelCount,       // `number`: the channel count (1 or 2 are read)
    SampleSize,         // `number`: the bits per sample of integer PCM (8, 16, 24 or 32 are read)
    EncodingSampleSize, // `number`: the bits per sample, `number2`: the format tag (3: 32 or 64; 6, 7: 8)
    BlockAlignWrong,    // `number`: the file's block align, `number2`: channels x bytes per sample
    ConvertedTooLarge,  // `number`: the bytes of 16-bit audio the file becomes, beyond 32-bit sizes
    SampleRateZero,     // a sample rate of 0 Hz
    FormatUnskippable,  // the file cannot be read past the `fmt ` chunk
    NoDataChunk,        // no `data` chunk after the `fmt ` chunk
    DataEmpty,          // the `data` chunk holds no bytes
    DataTruncated,      // `number`: the bytes the chunk claims, `number2`: the bytes the file holds
    NoMemoryForAudio,   // `number`: the bytes of audio
    DataUnreadable,     // the audio data cannot be read in full

    // Saving a WAV file.
    AudioTooLongForWav, // `path`: the audio exceeds a WAV file's 32-bit sizes

    // The document.
    OpenNotWav, // `path`: only names ending in .wav are opened
    SaveNotWav, // `path`: audio is saved only under names ending in .wav

    // Recording.
    RecordingTooLong,  // `number`: seconds; the block would not fit in a WAV file
    RecordingNoMemory, // `number`: seconds
    InputOpen,         // `number`: the wave input's result (MMSYSERR_..., WAVERR_...)
    RecordingStart,    // `number`: the step of the start that failed (1, 2 or 3)

    // Playback.
    OutputOpen,    // `number`: the wave output's result (MMSYSERR_..., WAVERR_...)
    PlaybackStart, // the opened output refused the audio

    // Editing.
    NoAudio,                // there is no audio to change
    EffectSourceUnreadable, // `number`: the effect engine's result

    Count // not a reason: the number of codes above
};

// What was being done when the reason arose, for failures that have a step
// of their own around them.
enum class EReasonContext : int {
    None = 0,
    UndoCopy, // writing the undo copy before a change; the change was refused
    Undo,     // bringing back the audio from the undo copy
    Count     // not a context: the number of values above
};

struct SReason {
    SReason() = default;
    // A reason of `code` with no details.
    explicit SReason(EReason c) : code(c) {}

    EReason code = EReason::None;
    std::string path;         // the file or folder concerned, if any
    std::uint64_t number = 0; // the count, size or result the code names
    std::uint64_t number2 = 0;
    int err = 0; // errno of the system call that failed, or 0
    EReasonContext context = EReasonContext::None;

    // True when there is no reason: nothing failed, or the user was told
    // already.
    bool IsNone() const { return code == EReason::None; }
    bool operator==(const SReason&) const = default;
};

// A reason of `code` about `path`, with the system's `err`.
inline SReason FileReason(EReason code, std::string path, int err = 0)
{
    SReason r(code);
    r.path = std::move(path);
    r.err = err;
    return r;
}

// A reason of `code` with `number` (and `number2`) and no file.
inline SReason NumberReason(EReason code, std::uint64_t number, std::uint64_t number2 = 0)
{
    SReason r(code);
    r.number = number;
    r.number2 = number2;
    return r;
}

// `reason` as the cause of a failure in `context`.
inline SReason InContext(SReason reason, EReasonContext context)
{
    reason.context = context;
    return reason;
}

// One English line for `reason` ("cannot write /x/a.wav: No space left on
// device"): the command-line tool's messages, logs and test output. Empty
// for EReason::None.
std::string ReasonTextEnglish(const SReason& reason);

// Prints ReasonTextEnglish (test output and diagnostics).
std::ostream& operator<<(std::ostream& out, const SReason& reason);
