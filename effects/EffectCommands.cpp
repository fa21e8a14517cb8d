#include "effects/EffectCommands.h"

#include "doc/COndrelDoc.h"
#include "effects/ComputeTeam.h"

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

// Marks the document busy for the length of a run: the window then neither
// draws from the block nor runs a command that reads or replaces it.
class CBusyScope {
public:
    explicit CBusyScope(COndrelDoc& doc) : m_doc(doc) { m_doc.SetBusy(true); }
    ~CBusyScope() { m_doc.SetBusy(false); }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

private:
    COndrelDoc& m_doc;
};

using WorkFn = std::function<int(std::uint8_t* block, const SEffectWindow& window, const std::string& source,
                                 CEffectProgress* progress)>;

// What a run reports its progress against: the engine streams the whole
// file; in-place work covers only the window.
enum class EProgressOver { File, Window };

// The common flow: the coming undo copy (also the engine's source), lock,
// window, run `work` on the block through the runner; then the copy becomes
// the undo copy and the result is published, or the window is put back and
// undo stays as it was.
EApplyResult RunCommand(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, CEffectRunner& runner,
                        EProgressOver over, const WorkFn& work)
{
    // No frames, nothing to change: a change of nothing would offer an undo
    // copy with no audio, which cannot be loaded back.
    if (!doc.HasData() || BytesPerFrame(doc) == 0 || doc.m_wave.GetFrameCount() == 0) {
        doc.SetError(SReason(EReason::NoAudio));
        return EApplyResult::Refused;
    }
    std::string copyPath;
    if (!doc.BeginUndoCopy(copyPath)) {
        doc.SetError(InContext(doc.GetError(), EReasonContext::UndoCopy));
        return EApplyResult::Refused;
    }
    EApplyResult outcome = EApplyResult::Applied;
    {
        CBusyScope busy(doc);
        CBlockLock lock(doc);
        if (!lock.Get()) {
            doc.DiscardUndoCopy(copyPath);
            doc.SetError(SReason(EReason::NoAudio));
            return EApplyResult::Refused;
        }
        const SEffectWindow window = EffectWindow(doc, start, length);
        const std::uint32_t total = over == EProgressOver::File ? doc.m_wave.GetFrameCount() : window.frames;
        const int result = runner.Run(
            [&](CEffectProgress* progress) { return work(lock.Get(), window, copyPath, progress); }, total);
        // A staged source (the save's own file) is no undo copy.
        const bool undoable = !doc.IsStagedSource(copyPath);
        if (result == kEngineOk && doc.CommitUndoCopy(copyPath)) {
            doc.m_wave.NoteDataChanged();
            if (undoable)
                doc.m_bCanUndo = 1;
            doc.SetModifiedFlag(true);
        } else {
            // Frames written before the stop go back to what they were. (An
            // engine that failed to open wrote nothing.)
            RestoreWindow(copyPath, lock.Get(), window.start, std::uint64_t{window.frames} * BytesPerFrame(doc));
            doc.m_wave.NoteDataChanged();
            if (result == kEngineCancelled) {
                outcome = EApplyResult::Cancelled;
            } else {
                if (result != kEngineOk)
                    doc.SetError(NumberReason(EReason::EffectSourceUnreadable, static_cast<std::uint64_t>(result)));
                else
                    doc.SetError(InContext(doc.GetError(), EReasonContext::UndoCopy));
                outcome = EApplyResult::Refused;
            }
            doc.DiscardUndoCopy(copyPath);
        }
    }
    // The views drew nothing during the run: they show the outcome now.
    doc.UpdateAllViews(nullptr);
    // The audio as it is now goes to the recovery copy in the background.
    if (outcome == EApplyResult::Applied)
        doc.OnChangeCompleted();
    return outcome;
}

// Runs an engine routine over the window.
template <typename Routine>
EApplyResult RunEngineCommand(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, CEffectRunner& runner,
                              Routine routine)
{
    return RunCommand(doc, start, length, runner, EProgressOver::File,
                      [&](std::uint8_t* block, const SEffectWindow& w, const std::string& source,
                          CEffectProgress* progress) {
                          CEffectEngine engine;
                          return routine(engine, source, SEffectTarget{block, w.start, w.frames}, progress);
                      });
}

// Swaps frame k of the `count` frames at `a` with frame count - 1 - k of
// the `count` frames at `b` (N bytes a frame; the pieces do not overlap).
template <std::size_t N>
void SwapMirrored(std::uint8_t* a, std::uint8_t* b, std::uint32_t count)
{
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint8_t* x = a + std::size_t{k} * N;
        std::uint8_t* y = b + std::size_t{count - 1 - k} * N;
        std::uint8_t tmp[N];
        std::memcpy(tmp, x, N);
        std::memcpy(x, y, N);
        std::memcpy(y, tmp, N);
    }
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
    return RunCommand(doc, start, length, runner, EProgressOver::Window,
                      [&](std::uint8_t* block, const SEffectWindow& w, const std::string&, CEffectProgress* progress) {
                          std::uint8_t* p = block + w.start;
                          const std::uint32_t bpf = BytesPerFrame(doc);
                          const std::uint32_t n = w.frames;
                          // Frame i swaps with frame n - 1 - i. In pieces from both
                          // ends toward the middle, so that a long selection shows
                          // its progress (two frames done per swap) and can stop.
                          constexpr std::uint32_t kChunk = 1u << 16;
                          const std::uint32_t pairs = n / 2;
                          for (std::uint32_t i = 0; i == 0 || i < pairs; i += kChunk) {
                              if (!Continue(progress, i * 2, n))
                                  return kEngineCancelled;
                              if (i >= pairs)
                                  break;
                              const std::uint32_t count = std::min(kChunk, pairs - i);
                              // The outer frames of this piece: [i, i + count) and
                              // their mirror [n - i - count, n - i).
                              std::uint8_t* a = p + std::uint64_t{i} * bpf;
                              std::uint8_t* b = p + std::uint64_t{n - i - count} * bpf;
                              if (bpf == 1)
                                  SwapMirrored<1>(a, b, count);
                              else if (bpf == 2)
                                  SwapMirrored<2>(a, b, count);
                              else
                                  SwapMirrored<4>(a, b, count);
                          }
                          return kEngineOk;
                      });
}

EApplyResult GenerateSineWave(COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const SSineParams& params,
                              CEffectRunner& runner)
{
    return RunCommand(doc, start, length, runner, EProgressOver::Window,
                      [&](std::uint8_t* block, const SEffectWindow& w, const std::string&, CEffectProgress* progress) {
                          const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
                          if (f.nChannels != 1 && f.nChannels != 2)
                              return kEngineOk;
                          const std::uint32_t bpf = BytesPerFrame(doc);
                          // In chunks, so that a long selection shows its progress;
                          // the phase runs on from chunk to chunk.
                          constexpr std::uint32_t kChunk = 1u << 16;
                          CComputeTeam team;
                          for (std::uint32_t done = 0; done == 0 || done < w.frames;) {
                              if (!Continue(progress, done, w.frames))
                                  return kEngineCancelled;
                              if (done >= w.frames)
                                  break;
                              const std::uint32_t n = std::min(kChunk, w.frames - done);
                              // Each frame's value depends on its index alone: the
                              // chunk is shared out between the processors.
                              team.For(n, 8192, [&](std::uint32_t a, std::uint32_t b) {
                                  std::uint8_t* p = block + w.start + (std::uint64_t{done} + a) * bpf;
                                  if (f.wBitsPerSample == 8)
                                      doc.WriteSine8From(p, done + a, b - a, params.frequency, params.amplitude);
                                  else
                                      doc.WriteSine16From(p, done + a, b - a, params.frequency, params.amplitude);
                              });
                              done += n;
                          }
                          return kEngineOk;
                      });
}
