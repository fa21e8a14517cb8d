#include "doc/COndrelDoc.h"

#include "audio/WaveFile.h"
#include "frame/CCurrentFormat.h"
#include "platform/ProcessCache.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <utility>

COndrelDoc::COndrelDoc(CCurrentFormat& frame) : m_frame(frame) {}

COndrelDoc::~COndrelDoc()
{
    // The block must outlive the write that reads it.
    m_recoveryWrite.Join();
    if (m_bRecoveryLocked)
        UnlockData();
}

void COndrelDoc::Serialize(CArchive& /*ar*/) {}

bool COndrelDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument())
        return false;
    // An unmodified document has nothing to recover.
    DropRecovery();
    m_eFileEncoding = EWaveEncoding::Pcm;
    return true;
}

bool COndrelDoc::OnOpenDocument(const std::string& path)
{
    const bool bWasModified = IsModified();
    if (!CDocument::OnOpenDocument(path))
        return false;
    if (GetFileType(path) != 1) {
        m_bCanUndo = 0;
        SetModifiedFlag(bWasModified);
        SetError(FileReason(EReason::OpenNotWav, path));
        return false;
    }
    // The write of a recovery copy reads the block that the load replaces.
    WaitRecovery();
    if (!LoadWaveFile(path)) {
        // The audio is untouched, and so must be its unsaved state.
        SetModifiedFlag(bWasModified);
        return false;
    }
    // The undo file holds the previous file's state: never offer it here.
    m_bCanUndo = 0;
    DropRecovery();
    m_eFileEncoding = m_eLoadedEncoding;
    return true;
}

bool COndrelDoc::OnSaveDocument(const std::string& path)
{
    if (GetFileType(path) != 1) {
        SetError(FileReason(EReason::SaveNotWav, path));
        return false;
    }
    if (!SaveWaveFile(path))
        return false;
    SetModifiedFlag(false);
    // The saved file is the state now. The copy stays as the source of the
    // next change's undo copy, but is no longer offered for recovery.
    DropRecovery(/*bKeepCopy*/ true);
    m_eFileEncoding = EWaveEncoding::Pcm;
    return true;
}

std::uint32_t COndrelDoc::GetDataSize() const { return m_wave.GetDataSize(); }

std::uint8_t* COndrelDoc::LockData() { return m_wave.LockData(); }

void COndrelDoc::UnlockData() { m_wave.UnlockData(); }

int COndrelDoc::HasData() const { return m_wave.HasData(); }

int COndrelDoc::BeginRecording(IWaveNotify* window)
{
    // The panel's time and format become the current ones only when the
    // recording has started: whatever refuses it below, the current format
    // must still describe the audio the document holds.
    const int oldSeconds = m_frame.m_nRecordSeconds;
    const std::uint16_t oldChannels = m_frame.m_wChannels;
    const std::uint16_t oldBits = m_frame.m_wBitsPerSample;
    const std::uint32_t oldRate = m_frame.m_dwSamplesPerSec;
    auto refuse = [&](int code, SReason reason) {
        m_frame.m_nRecordSeconds = oldSeconds;
        m_frame.m_wChannels = oldChannels;
        m_frame.m_wBitsPerSample = oldBits;
        m_frame.m_dwSamplesPerSec = oldRate;
        SetError(std::move(reason));
        return code;
    };
    // A time the panel refuses keeps the recording from starting; the panel
    // has told the user why already, so there is nothing more to say.
    if (!m_frame.ReadPanel())
        return refuse(1, SReason{});
    // The recording replaces the block that a recovery write may still read.
    WaitRecovery();
    const std::uint32_t rate = m_frame.m_dwSamplesPerSec;
    const unsigned bits = m_frame.m_wBitsPerSample;
    const unsigned channels = m_frame.m_wChannels;
    const std::int64_t seconds = m_frame.m_nRecordSeconds;
    const std::uint64_t bytes = seconds > 0 ? (std::uint64_t(seconds) * bits * channels * rate) >> 3 : 0;
    if (seconds <= 0 || bytes == 0 || bytes > UINT32_MAX - 36)
        return refuse(1, NumberReason(EReason::RecordingTooLong,
                                      static_cast<std::uint64_t>(std::max<std::int64_t>(seconds, 0))));
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block)
        return refuse(1, NumberReason(EReason::RecordingNoMemory, static_cast<std::uint64_t>(seconds)));
    const WAVEFORMATEX savedFormat = *m_wave.m_pFormat;
    if (const MMRESULT r = m_wave.OpenInput(window, rate, bits, channels); r != MMSYSERR_NOERROR) {
        GlobalFree(block);
        *m_wave.m_pFormat = savedFormat;
        m_wave.CloseInput();
        return refuse(static_cast<int>(r), NumberReason(EReason::InputOpen, r));
    }
    // The device records into the new block; the current audio stays until
    // the device has taken the buffer and started.
    const HGLOBAL oldBlock = m_wave.m_hData;
    const std::uint32_t oldSize = m_wave.m_dwDataSize;
    const int oldHasData = m_wave.m_bHasData;
    m_wave.m_hData = block;
    m_wave.m_dwDataSize = 0;
    const int started = m_wave.StartRecording(static_cast<double>(seconds), rate, bits, channels);
    if (started != 0) {
        m_wave.CloseInput();
        GlobalFree(block);
        m_wave.m_hData = oldBlock;
        m_wave.m_dwDataSize = oldSize;
        m_wave.m_bHasData = oldHasData;
        *m_wave.m_pFormat = savedFormat;
        return refuse(started, NumberReason(EReason::RecordingStart, static_cast<std::uint64_t>(started)));
    }
    if (oldBlock) {
        GlobalUnlock(oldBlock);
        GlobalFree(oldBlock);
    }
    m_wave.NoteDataChanged();
    // The audio recovered so far is gone: the user has let it go.
    DropRecovery();
    return 0;
}

int COndrelDoc::PlayRange(IWaveNotify* window, std::uint32_t offset, std::uint32_t length)
{
    if (!OpenPlayback(window))
        return 0;
    return StartedPlayback(m_wave.PlayRange(offset, length));
}

int COndrelDoc::PlayAll(IWaveNotify* window)
{
    if (!OpenPlayback(window))
        return 0;
    return StartedPlayback(m_wave.PlayAll());
}

bool COndrelDoc::OpenPlayback(IWaveNotify* window)
{
    SetError(SReason());
    const MMRESULT r =
        m_wave.OpenOutput(window, m_frame.m_dwSamplesPerSec, m_frame.m_wBitsPerSample, m_frame.m_wChannels);
    if (r != MMSYSERR_NOERROR) {
        SetError(NumberReason(EReason::OutputOpen, r));
        return false;
    }
    return true;
}

int COndrelDoc::StartedPlayback(int ok)
{
    if (!ok)
        SetError(SReason(EReason::PlaybackStart));
    return ok;
}

void COndrelDoc::StopRecording() { m_wave.StopRecording(); }
void COndrelDoc::StopPlayback() { m_wave.ResetOutput(); }
void COndrelDoc::ClosePlayback() { m_wave.CloseOutput(); }
void COndrelDoc::CloseRecording() { m_wave.CloseInput(); }

void COndrelDoc::FinishRecording(std::uint32_t bytes)
{
    const WAVEFORMATEX& f = *m_wave.m_pFormat;
    std::uint64_t size = bytes ? bytes
                               : std::uint64_t{f.wBitsPerSample / 8u} *
                                     m_wave.m_dwRecordedSamples * f.nChannels;
    // The valid size never exceeds the block the device filled.
    std::uint64_t block = GlobalSize(m_wave.m_hData);
    m_wave.m_dwDataSize = static_cast<std::uint32_t>(size < block ? size : block);
    m_wave.NoteDataChanged();
    m_bCanUndo = 0;
    m_frame.SetFormat(f.nSamplesPerSec, f.nChannels, f.wBitsPerSample);
    SetModifiedFlag(true);
    OnChangeCompleted();
}

namespace {
// Truncates toward zero; values beyond 64 bits give the lowest value, as
// the hardware's own conversion does. Only the low bits are stored.
std::int64_t TruncateToInteger(long double v)
{
    if (!(v > -9.2233720368547758e18L && v < 9.2233720368547758e18L))
        return INT64_MIN;
    return static_cast<std::int64_t>(v);
}

long double SinePhase(std::uint32_t i, double frequency, std::uint32_t rate)
{
    return ((static_cast<long double>(i) * frequency) * 6.283185307179586) / rate;
}

// trunc(offset + sign x amplitude x sin(x)), with x and the sine in extended
// precision, worked out for frames first .. first + frames - 1 and handed to
// store(value). The extended sine is slow; a double estimate of the value is
// close enough to decide the truncation whenever the value is clearly away
// from an integer, so the extended sine is only worked out for the rare
// values near an integer. The result is the same either way.
//
// The estimate works in runs of kRun frames: for frame i = i0 + j,
//   sin(b + a_j) = sin b cos a_j + cos b sin a_j,
// with b = i0 x step and a_j = j x step in double (step = 2 pi f / rate in
// double), the run's sin b and cos b from the C library and the sines and
// cosines of the a_j worked out once per call. Its error against the exact
// value, in units of 2^-53:
//   - the angle b + a_j against the extended x: the step's rounding (x's
//     own roundings are in extended precision) and those of b and a_j,
//     within 2 |x|, which the sine passes on at most as it is;
//   - the four library values (within an ulp each, at most 2^-53 for values
//     within 1) through the two products, 4; the products and their sum
//     rounded, 2; all times |A|;
//   - the amplitude's product and the offset's sum rounded, |A| and
//     |A| + 127, and the extended value's own roundings, far less.
// That is at most 2 (|A| (|x| + 4) + 64) units, which the bound below,
// 8 (|A| (|x| + 4) + 256) units, exceeds fourfold. |x| grows with the
// frame index, so the bound of the last frame, the largest, serves the
// whole stretch.
template <class StoreFn>
inline void SineValues(std::uint32_t first, std::uint32_t frames, double frequency, std::uint32_t rate,
                       double amplitude, int offset, int sign, StoreFn&& store)
{
    if (frames == 0)
        return;
    auto exact = [&](std::uint32_t i) {
        const long double s = amplitude * std::sin(SinePhase(i, frequency, rate));
        store(TruncateToInteger(sign > 0 ? offset + s : offset - s));
    };
    const bool usable = std::isfinite(amplitude) && std::fabs(amplitude) < 1e9;
    const double widest = std::fabs(static_cast<double>(SinePhase(first + frames - 1, frequency, rate)));
    const double bound = (std::fabs(amplitude) * (widest + 4.0) + 256.0) * 0x1p-50;
    const double step = static_cast<double>((static_cast<long double>(frequency) * 6.283185307179586) / rate);
    // x stays far below 1e12 for any rate and frequency the dialogs accept.
    if (!(usable && std::isfinite(bound) && std::isfinite(step) && widest < 1e12)) {
        for (std::uint32_t i = first; i < first + frames; ++i)
            exact(i);
        return;
    }
    constexpr std::uint32_t kRun = 256;
    double sinA[kRun], cosA[kRun], value[kRun];
    const std::uint32_t span = std::min(frames, kRun);
    for (std::uint32_t j = 0; j < span; ++j) {
        const double a = static_cast<double>(j) * step;
        sinA[j] = std::sin(a);
        cosA[j] = std::cos(a);
    }
    for (std::uint32_t i0 = first; i0 - first < frames; i0 += kRun) {
        const std::uint32_t n = std::min(kRun, frames - (i0 - first));
        const double b = static_cast<double>(i0) * step;
        const double sinB = std::sin(b), cosB = std::cos(b);
        for (std::uint32_t j = 0; j < n; ++j)
            value[j] = offset + sign * (amplitude * (sinB * cosA[j] + cosB * sinA[j]));
        for (std::uint32_t j = 0; j < n; ++j) {
            const double vd = value[j];
            // The nearest integer of vd (|vd| < 2^51 here), as nearbyint
            // gives it in the default rounding.
            const double nearest = (vd + 0x1.8p52) - 0x1.8p52;
            if (std::fabs(vd - nearest) > bound)
                store(static_cast<std::int64_t>(vd));
            else
                exact(i0 + j);
        }
    }
}
} // namespace

void COndrelDoc::WriteSine8(std::uint8_t* dest, std::uint32_t frames, double frequency, double amplitude)
{
    WriteSine8From(dest, 0, frames, frequency, amplitude);
}

void COndrelDoc::WriteSine16(std::uint8_t* dest, std::uint32_t frames, double frequency, double amplitude)
{
    WriteSine16From(dest, 0, frames, frequency, amplitude);
}

void COndrelDoc::WriteSine8From(std::uint8_t* dest, std::uint32_t first, std::uint32_t frames, double frequency,
                                double amplitude)
{
    const WAVEFORMATEX& f = *m_wave.m_pFormat;
    const bool stereo = f.nChannels == 2;
    SineValues(first, frames, frequency, f.nSamplesPerSec, amplitude, 127, -1, [&](std::int64_t value) {
        const auto v = static_cast<std::uint8_t>(value);
        *dest++ = v;
        if (stereo)
            *dest++ = v;
    });
}

void COndrelDoc::WriteSine16From(std::uint8_t* dest, std::uint32_t first, std::uint32_t frames, double frequency,
                                 double amplitude)
{
    const WAVEFORMATEX& f = *m_wave.m_pFormat;
    const bool stereo = f.nChannels == 2;
    SineValues(first, frames, frequency, f.nSamplesPerSec, amplitude, 0, 1, [&](std::int64_t value) {
        const auto v = static_cast<std::uint16_t>(value);
        const unsigned char le[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
        std::memcpy(dest, le, 2);
        dest += 2;
        if (stereo) {
            std::memcpy(dest, le, 2);
            dest += 2;
        }
    });
}

namespace {
// Swaps unit i with unit count - 1 - i for i below count / 2.
template <std::size_t N>
void ReverseUnits(std::uint8_t* dest, int count)
{
    int n = count / 2;
    for (int i = 0; i < n; ++i) {
        std::uint8_t* a = dest + static_cast<std::size_t>(i) * N;
        std::uint8_t* b = dest + static_cast<std::size_t>(count - 1 - i) * N;
        std::uint8_t tmp[N];
        std::memcpy(tmp, a, N);
        std::memcpy(a, b, N);
        std::memcpy(b, tmp, N);
    }
}
} // namespace

void COndrelDoc::ReverseBytes(std::uint8_t* dest, int count) { ReverseUnits<1>(dest, count); }

void COndrelDoc::ReverseWords(std::uint8_t* dest, int count) { ReverseUnits<2>(dest, count); }

void COndrelDoc::ReverseWordFrames(std::uint8_t* dest, int count) { ReverseWords(dest, count); }

void COndrelDoc::ReverseDwords(std::uint8_t* dest, int count) { ReverseUnits<4>(dest, count); }

int COndrelDoc::GetFileType(const std::string& path) const { return ::GetFileType(path); }

int COndrelDoc::SaveWaveFile(const std::string& path, bool bDurable)
{
    SReason error;
    if (!::SaveWaveFile(path, m_wave, error, bDurable)) {
        SetError(std::move(error));
        return 0;
    }
    return 1;
}

int COndrelDoc::LoadWaveFileLeavingData(const std::string& path, std::uint64_t* pUnreadDataAt)
{
    SReason error;
    if (!::LoadWaveFile(path, m_wave, m_frame, error, &m_eLoadedEncoding, pUnreadDataAt)) {
        SetError(std::move(error));
        return 0;
    }
    return 1;
}

int COndrelDoc::LoadWaveFile(const std::string& path)
{
    SReason error;
    if (!::LoadWaveFile(path, m_wave, m_frame, error, &m_eLoadedEncoding)) {
        SetError(std::move(error));
        return 0;
    }
    return 1;
}

bool COndrelDoc::GetUndoFilePath(std::string& path)
{
    SReason error;
    std::string folder = ProcessCacheFolder(&error);
    if (folder.empty()) {
        SetError(std::move(error));
        return false;
    }
    path = folder + "/undo$$$.wav";
    return true;
}

bool COndrelDoc::BeginUndoCopy(std::string& path)
{
    if (!m_strStagedSource.empty()) {
        path = m_strStagedSource;
        return true;
    }
    std::string undoPath;
    if (!GetUndoFilePath(undoPath))
        return false;
    path = undoPath.substr(0, undoPath.size() - 4) + ".new.wav";
    // A change waits for the recovery copy of the previous one: that copy
    // holds the audio as it is now, so it becomes the undo copy by a link
    // and nothing is written here.
    WaitRecovery();
    if (!m_strRecoveryCopy.empty()) {
        std::remove(path.c_str());
        if (::link(m_strRecoveryCopy.c_str(), path.c_str()) == 0)
            return true;
    }
    // The copy needs no flush: it only has to outlive this run.
    if (!SaveWaveFile(path, /*bDurable*/ false)) {
        DiscardUndoCopy(path);
        return false;
    }
    return true;
}

bool COndrelDoc::CommitUndoCopy(const std::string& path)
{
    if (IsStagedSource(path)) {
        m_strStagedSource.clear();
        return true;
    }
    std::string undoPath;
    if (!GetUndoFilePath(undoPath))
        return false;
    if (std::rename(path.c_str(), undoPath.c_str()) != 0) {
        SetError(FileReason(EReason::FileReplace, undoPath, errno));
        return false;
    }
    return true;
}

void COndrelDoc::DiscardUndoCopy(const std::string& path)
{
    if (IsStagedSource(path))
        m_strStagedSource.clear();
    else
        std::remove(path.c_str());
}

int COndrelDoc::DeleteRange(std::uint32_t offset, std::uint32_t length)
{
    const std::uint32_t size = m_wave.m_dwDataSize;
    offset = std::min(offset, size);
    length = std::min(length, size - offset);
    if (length == 0)
        return 1;

    // When the undo copy cannot be written the deletion is refused, so no
    // change is ever made that could not be undone. Nothing below can fail,
    // so the copy goes in place at once.
    std::string copyPath;
    if (!BeginUndoCopy(copyPath) || !CommitUndoCopy(copyPath)) {
        DiscardUndoCopy(copyPath);
        SetError(InContext(GetError(), EReasonContext::UndoCopy));
        return 0;
    }

    std::uint8_t* p = LockData();
    std::memmove(p + offset, p + offset + length, size - offset - length);
    UnlockData();
    m_wave.m_dwDataSize = size - length;
    m_wave.NoteDataChanged();

    m_bCanUndo = 1;
    SetModifiedFlag(true);
    UpdateAllViews(nullptr);
    OnChangeCompleted();
    return 1;
}

int COndrelDoc::OnEditUndo()
{
    std::string undoPath;
    WaitRecovery();
    if (!GetUndoFilePath(undoPath) || !LoadWaveFile(undoPath)) {
        SetError(InContext(GetError(), EReasonContext::Undo));
        return 0;
    }
    m_bCanUndo = 0;
    // The audio now differs from what the last save wrote.
    SetModifiedFlag(true);
    UpdateAllViews(nullptr);
    OnChangeCompleted();
    return 1;
}

void COndrelDoc::EnableRecovery(std::function<void(const std::function<bool()>&)> wait, std::function<void()> done)
{
    m_bRecovery = true;
    m_recoveryWait = std::move(wait);
    m_recoveryDone = std::move(done);
}

void COndrelDoc::DisableRecovery()
{
    DropRecovery();
    WaitRecovery();
    m_bRecovery = false;
    m_strRecoveryCopy.clear();
}

void COndrelDoc::OnChangeCompleted()
{
    if (!m_bRecovery)
        return;
    // Nothing may change the block while a write reads it; every change
    // waits for the write before it starts, so none runs now.
    WaitRecovery();
    m_strRecoveryCopy.clear(); // the audio has changed
    if (!HasData() || GetDataSize() == 0) {
        DropRecovery();
        return;
    }
    const std::string folder = ProcessCacheFolder();
    if (folder.empty())
        return; // no folder: recovery is off (the window has said so)
    SRecoveryRecord record;
    record.audioName = "recovery-" + std::to_string(++m_nRecoveryGeneration) + ".wav";
    record.path = GetPathName();
    record.title = GetTitle();
    record.bModified = IsModified();
    record.dwSamplesPerSec = m_frame.m_dwSamplesPerSec;
    record.wChannels = m_frame.m_wChannels;
    record.wBitsPerSample = m_frame.m_wBitsPerSample;
    record.eFileEncoding = m_eFileEncoding;
    const std::uint8_t* data = LockData();
    m_bRecoveryLocked = true;
    m_strWritingCopy = folder + "/" + record.audioName;
    m_recoveryWrite.Start(folder, data, GetDataSize(), *m_wave.m_pFormat, std::move(record), m_recoveryDone);
}

bool COndrelDoc::FinishRecoveryWrite(SReason* pError)
{
    if (m_strWritingCopy.empty() || !m_recoveryWrite.IsFinished())
        return true;
    const bool ok = m_recoveryWrite.Join();
    if (m_bRecoveryLocked) {
        UnlockData();
        m_bRecoveryLocked = false;
    }
    if (ok) {
        m_strRecoveryCopy = m_strWritingCopy;
    } else if (pError) {
        *pError = m_recoveryWrite.GetError();
    }
    m_strWritingCopy.clear();
    return ok;
}

bool COndrelDoc::PollRecovery(SReason* pError) { return FinishRecoveryWrite(pError); }

bool COndrelDoc::WaitRecovery(SReason* pError)
{
    if (m_strWritingCopy.empty())
        return true;
    if (!m_recoveryWrite.IsFinished() && m_recoveryWait)
        m_recoveryWait([this] { return m_recoveryWrite.IsFinished(); });
    m_recoveryWrite.Join();
    return FinishRecoveryWrite(pError);
}

void COndrelDoc::DropRecovery(bool bKeepCopy)
{
    // Nothing to remove before the first write.
    if (!m_bRecovery || m_nRecoveryGeneration == 0)
        return;
    WaitRecovery();
    const std::string folder = ProcessCacheFolder();
    if (folder.empty())
        return;
    if (bKeepCopy) {
        std::remove((folder + "/" + kRecoveryRecordName).c_str());
        return;
    }
    RemoveRecoveryFiles(folder);
    m_strRecoveryCopy.clear();
}

int COndrelDoc::RecoverFrom(const std::string& folder, const SRecoveryRecord& record)
{
    WaitRecovery();
    if (!LoadWaveFile(folder + "/" + record.audioName))
        return 0;
    SetPathName(record.path);
    SetTitle(record.title);
    SetModifiedFlag(record.bModified);
    m_eFileEncoding = record.eFileEncoding;
    // The current format as the user had it, when it is one the program
    // can have; else the audio's own.
    const unsigned ch = record.wChannels, bits = record.wBitsPerSample;
    if ((ch == 1 || ch == 2) && (bits == 8 || bits == 16) && record.dwSamplesPerSec != 0)
        m_frame.SetFormat(record.dwSamplesPerSec, ch, bits);
    m_bCanUndo = 0;
    OnChangeCompleted();
    return 1;
}
