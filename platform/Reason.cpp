#include "platform/Reason.h"

#include "platform/SafeFile.h"

namespace {
std::string Num(std::uint64_t n) { return std::to_string(n); }

// ": <errno text>", or nothing when the system gave no reason.
std::string Why(int err) { return err ? ": " + ErrnoText(err) : std::string(); }

std::string CodeText(const SReason& r)
{
    const std::string& p = r.path;
    switch (r.code) {
    case EReason::None: return {};
    case EReason::FileOpen: return "cannot open " + p + Why(r.err);
    case EReason::FileWrite: return "cannot write " + p + Why(r.err);
    case EReason::FileReplace: return "cannot replace " + p + Why(r.err);
    case EReason::CacheHomeUnknown: return "cannot find a cache folder: neither XDG_CACHE_HOME nor HOME is set";
    case EReason::FolderCreate: return "cannot create " + p + Why(r.err);
    case EReason::FolderLock: return "cannot lock " + p + Why(r.err);
    case EReason::NotWave: return p + ": not a WAV file (no RIFF WAVE header)";
    case EReason::NoFormatChunk: return p + ": no format chunk before the audio data";
    case EReason::FormatChunkShort: return p + ": format chunk too short (" + Num(r.number) + " bytes)";
    case EReason::FormatTruncated: return p + ": file ends inside the format chunk";
    case EReason::ExtensibleNotPcm: return p + ": not PCM audio (extensible format of another kind)";
    case EReason::NotPcm: return p + ": not PCM audio (format tag " + Num(r.number) + ")";
    case EReason::ChannelCount:
        return p + ": unsupported channel count " + Num(r.number) + " (1 or 2 are supported)";
    case EReason::SampleSize:
        return p + ": unsupported sample size of " + Num(r.number) + " bits (8, 16, 24 or 32 are supported)";
    case EReason::EncodingSampleSize:
        return p + ": unsupported sample size of " + Num(r.number) + " bits for format tag " + Num(r.number2) +
               (r.number2 == 3 ? " (32 or 64 are supported)" : r.number2 == 6 || r.number2 == 7 ? " (8 is supported)" : "");
    case EReason::BlockAlignWrong:
        return p + ": block align of " + Num(r.number) + " bytes where a frame has " + Num(r.number2);
    case EReason::ConvertedTooLarge:
        return p + ": the audio would take " + Num(r.number) + " bytes as 16-bit samples, too long for the editor";
    case EReason::SampleRateZero: return p + ": sample rate of 0 Hz";
    case EReason::FormatUnskippable: return p + ": cannot read past the format chunk";
    case EReason::NoDataChunk: return p + ": no audio data chunk after the format chunk";
    case EReason::DataEmpty: return p + ": the audio data chunk is empty";
    case EReason::DataTruncated:
        return p + ": the audio data chunk claims " + Num(r.number) + " bytes but the file holds only " +
               Num(r.number2);
    case EReason::NoMemoryForAudio: return p + ": not enough memory for " + Num(r.number) + " bytes of audio";
    case EReason::DataUnreadable: return p + ": the audio data could not be read in full";
    case EReason::AudioTooLongForWav: return "cannot write " + p + ": the audio is too long for a WAV file";
    case EReason::OpenNotWav: return p + ": only .wav files can be opened";
    case EReason::SaveNotWav: return p + ": audio can only be saved under a name ending in .wav";
    case EReason::RecordingTooLong:
        return "a recording of " + Num(r.number) + " seconds in this format does not fit in a WAV file";
    case EReason::RecordingNoMemory: return "not enough memory for a recording of " + Num(r.number) + " seconds";
    case EReason::InputOpen: return "the sound input could not be opened (error " + Num(r.number) + ")";
    case EReason::RecordingStart: return "the recording could not be started (step " + Num(r.number) + ")";
    case EReason::OutputOpen: return "the sound output could not be opened (error " + Num(r.number) + ")";
    case EReason::PlaybackStart: return "the playback could not be started";
    case EReason::NoAudio: return "there is no audio to change";
    case EReason::EffectSourceUnreadable:
        return "the effect could not read its copy of the audio (code " + Num(r.number) + ")";
    case EReason::Count: break;
    }
    return "unknown failure " + Num(static_cast<std::uint64_t>(r.code));
}
} // namespace

std::string ReasonTextEnglish(const SReason& reason)
{
    const std::string text = CodeText(reason);
    if (text.empty())
        return text;
    switch (reason.context) {
    case EReasonContext::None: break;
    case EReasonContext::UndoCopy: return "the undo copy could not be written: " + text;
    case EReasonContext::Undo: return "cannot undo: " + text;
    case EReasonContext::Count: break;
    }
    return text;
}

std::ostream& operator<<(std::ostream& out, const SReason& reason)
{
    return out << ReasonTextEnglish(reason);
}
