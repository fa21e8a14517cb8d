#include "effects/EffectCommands.h"

#include "doc/COndrelDoc.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
// The document's data block locked for the length of a command.
class CBlockLock {
public:
    explicit CBlockLock(COndrelDoc& doc) : m_doc(doc), m_p(doc.LockData()) {}
    ~CBlockLock() { m_doc.UnlockData(); }
    CBlockLock(const CBlockLock&) = delete;
    CBlockLock& operator=(const CBlockLock&) = delete;
    std::uint8_t* Get() const { return m_p; }

private:
    COndrelDoc& m_doc;
    std::uint8_t* m_p;
};

std::uint32_t BytesPerFrame(const COndrelDoc& doc)
{
    const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
    return (f.wBitsPerSample / 8u) * f.nChannels;
}

// Writes the undo copy, which is also the engine's source. False (with the
// document's error set) when it cannot be written: the command must then
// change nothing.
bool SaveUndoCopy(COndrelDoc& doc, std::string& path)
{
    if (!doc.GetUndoFilePath(path) || !doc.SaveWaveFile(path, false)) {
        doc.SetError("the undo copy could not be written: " + doc.GetError());
        return false;
    }
    return true;
}

// Puts the window's bytes back from the undo copy (the data as it was
// before the command) after a run that did not finish.
bool RestoreWindow(const std::string& undoPath, std::uint8_t* block, std::uint32_t start,
                   std::uint64_t bytes)
{
    std::FILE* f = std::fopen(undoPath.c_str(), "rb");
    if (!f)
        return false;
    // The undo copy is written by the document in its own 44-byte layout.
    const bool ok = std::fseek(f, static_cast<long>(44 + std::uint64_t{start}), SEEK_SET) == 0 &&
                    std::fread(block + start, 1, bytes, f) == bytes;
    std::fclose(f);
    return ok;
}

void Publish(COndrelDoc& doc)
{
    doc.m_wave.NoteDataChanged();
    doc.m_bCanUndo = 1;
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews(nullptr);
}

// The common flow: undo copy, lock, window, run `work` on the block through
// the runner, then publish, or put the window back.
EApplyResult RunCommand(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, CEffectRunner& runner,
                        const std::function<int(std::uint8_t* block, const SEffectWindow& window,
                                                const std::string& source, CEffectProgress* progress)>& work)
{
    if (!doc.HasData() || BytesPerFrame(doc) == 0) {
        doc.SetError("there is no audio to change");
        return EApplyResult::Refused;
    }
    std::string undoPath;
    if (!SaveUndoCopy(doc, undoPath))
        return EApplyResult::Refused;
    CBlockLock lock(doc);
    if (!lock.Get()) {
        doc.SetError("there is no audio to change");
        return EApplyResult::Refused;
    }
    const SEffectWindow window = EffectWindow(doc, start, length);
    const int result = runner.Run(
        [&](CEffectProgress* progress) { return work(lock.Get(), window, undoPath, progress); },
        doc.m_wave.GetFrameCount());
    if (result == kEngineOk) {
        Publish(doc);
        return EApplyResult::Applied;
    }
    // Frames written before the stop go back to what they were. (An engine
    // that failed to open wrote nothing.)
    RestoreWindow(undoPath, lock.Get(), window.start, std::uint64_t{window.frames} * BytesPerFrame(doc));
    if (result == kEngineCancelled)
        return EApplyResult::Cancelled;
    doc.SetError("the effect could not read its copy of the audio (code " + std::to_string(result) + ")");
    return EApplyResult::Refused;
}

// Runs an engine routine over the window.
template <typename Routine>
EApplyResult RunEngineCommand(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, CEffectRunner& runner,
                              Routine routine)
{
    return RunCommand(doc, start, length, runner,
                      [&](std::uint8_t* block, const SEffectWindow& w, const std::string& source,
                          CEffectProgress* progress) {
                          CEffectEngine engine;
                          return routine(engine, source, SEffectTarget{block, w.start, w.frames}, progress);
                      });
}

// Reports progress of in-place work done in chunks; false when stopped.
bool Continue(CEffectProgress* progress, std::uint32_t done, std::uint32_t total)
{
    return !progress || progress->Continue(done, total);
}
} // namespace

SEffectWindow EffectWindow(const COndrelDoc& doc, std::uint32_t start, std::uint32_t length)
{
    const std::uint32_t bpf = BytesPerFrame(doc);
    if (length == 0 || bpf == 0)
        return {0, doc.m_wave.GetFrameCount()};
    // Within the valid data, whatever the caller asked.
    const std::uint32_t size = doc.GetDataSize();
    start = std::min(start, size);
    const std::uint32_t frames = std::min<std::uint32_t>(length / bpf, (size - start) / bpf);
    return {start, frames};
}

EApplyResult ApplyEcho(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SEchoParams& p,
                       CEffectRunner& runner)
{
    return RunEngineCommand(doc, start, length, runner, [&](CEffectEngine& e, const std::string& src,
                                                           const SEffectTarget& t, CEffectProgress* progress) {
        return RunEcho(e, src, t, 100.0, 50.0, 1.0, p.mixLevel, 0.6, p.echoCount, progress);
    });
}

EApplyResult ApplyVibrato(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SVibratoParams& p,
                          CEffectRunner& runner)
{
    return RunEngineCommand(doc, start, length, runner, [&](CEffectEngine& e, const std::string& src,
                                                           const SEffectTarget& t, CEffectProgress* progress) {
        return RunVibrato(e, src, t, p.depth, p.frequency, 0, progress);
    });
}

EApplyResult ApplyChorus(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SChorusParams& p,
                         CEffectRunner& runner)
{
    return RunEngineCommand(doc, start, length, runner, [&](CEffectEngine& e, const std::string& src,
                                                           const SEffectTarget& t, CEffectProgress* progress) {
        return RunChorus(e, src, t, p.ratio, 100, 100, 1.0, p.mixLevel, progress);
    });
}

EApplyResult ApplyTremolo(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const STremoloParams& p,
                          CEffectRunner& runner)
{
    return RunEngineCommand(doc, start, length, runner, [&](CEffectEngine& e, const std::string& src,
                                                           const SEffectTarget& t, CEffectProgress* progress) {
        return RunTremolo(e, src, t, p.frequency, p.level, progress);
    });
}

EApplyResult ApplyVoiceChanger(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SVoiceParams& p,
                               CEffectRunner& runner)
{
    return RunEngineCommand(doc, start, length, runner, [&](CEffectEngine& e, const std::string& src,
                                                           const SEffectTarget& t, CEffectProgress* progress) {
        return RunVoiceChanger(e, src, t, p.ratio, 100, 100, progress);
    });
}

EApplyResult ReverseSelection(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, CEffectRunner& runner)
{
    return RunCommand(doc, start, length, runner,
                      [&](std::uint8_t* block, const SEffectWindow& w, const std::string&, CEffectProgress*) {
                          const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
                          std::uint8_t* p = block + w.start;
                          const int n = static_cast<int>(std::min<std::uint32_t>(w.frames, INT32_MAX));
                          if (f.nChannels == 1 && f.wBitsPerSample == 8)
                              doc.ReverseBytes(p, n);
                          else if (f.nChannels == 1 && f.wBitsPerSample == 16)
                              doc.ReverseWords(p, n);
                          else if (f.nChannels == 2 && f.wBitsPerSample == 8)
                              doc.ReverseWordFrames(p, n);
                          else if (f.nChannels == 2 && f.wBitsPerSample == 16)
                              doc.ReverseDwords(p, n);
                          return kEngineOk;
                      });
}

EApplyResult GenerateSineWave(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SSineParams& params,
                              CEffectRunner& runner)
{
    return RunCommand(doc, start, length, runner,
                      [&](std::uint8_t* block, const SEffectWindow& w, const std::string&, CEffectProgress* progress) {
                          const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
                          if (f.nChannels != 1 && f.nChannels != 2)
                              return kEngineOk;
                          const std::uint32_t bpf = BytesPerFrame(doc);
                          // In chunks, so that a long selection shows its progress;
                          // the phase runs on from chunk to chunk.
                          constexpr std::uint32_t kChunk = 1u << 16;
                          for (std::uint32_t done = 0; done < w.frames;) {
                              const std::uint32_t n = std::min(kChunk, w.frames - done);
                              std::uint8_t* p = block + w.start + std::uint64_t{done} * bpf;
                              if (f.wBitsPerSample == 8)
                                  doc.WriteSine8From(p, done, n, params.frequency, params.amplitude);
                              else
                                  doc.WriteSine16From(p, done, n, params.frequency, params.amplitude);
                              done += n;
                              if (!Continue(progress, done, w.frames))
                                  return kEngineCancelled;
                          }
                          return kEngineOk;
                      });
}
