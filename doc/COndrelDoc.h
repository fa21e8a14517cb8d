#pragma once
// The one document of the editor. It owns the audio (m_wave), decides what
// opening and saving a file mean, and gives the view, the transport and the
// effects their access to the audio. Offsets and lengths are byte counts
// into the PCM block, in whole frames.

#include "audio/CWaveData.h"
#include "doc/CRecovery.h"
#include "audio/WaveFile.h"
#include "framework/Document.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CCurrentFormat;

class COndrelDoc : public CDocument {
public:
    // `frame` holds the program's current format; loading and recording
    // tell it the document's format and size.
    explicit COndrelDoc(CCurrentFormat& frame);
    // Waits for a recovery write that still runs.
    ~COndrelDoc() override;

    CWaveData m_wave;
    int m_bCanUndo = 0; // 1 while the undo file holds the state before the last change

    // Reads nothing: opening is done by LoadWaveFile.
    void Serialize(CArchive& ar) override;
    // A new document keeps the audio, its format and the undo flag; only the
    // name and the modified flag are reset.
    bool OnNewDocument() override;
    // Opens a ".wav" file through LoadWaveFile and, on success, withdraws
    // undo (the undo file belongs to the previous file). Another extension
    // fails (OpenNotWav) and withdraws undo. A failure leaves the audio, the
    // current format and the modified flag as they were, with GetError set.
    bool OnOpenDocument(const std::string& path) override;
    // Saves a ".wav" name through SaveWaveFile and clears the modified flag;
    // any other name fails with GetError set (SaveNotWav) and writes nothing.
    bool OnSaveDocument(const std::string& path) override;

    virtual std::uint32_t GetDataSize() const;
    // Locks the PCM block and returns its first byte (null without a block);
    // always paired with UnlockData.
    virtual std::uint8_t* LockData();
    virtual void UnlockData();
    virtual int HasData() const;

    // Starts a recording into a new block: reads the recording panel (a
    // refused time stops here), sizes the block for time x bits x channels
    // x rate / 8 bytes of the panel's format (refused beyond a WAV file's
    // 32-bit size or the memory), opens the input device, starts it on the
    // new block and only then drops the current audio. 0 when recording,
    // non-zero with the audio, the format record and the current format
    // unchanged when the panel, the device or the block refused; GetError
    // then says why (RecordingTooLong, RecordingNoMemory, InputOpen with the
    // device's result, RecordingStart), or is None when the panel has told
    // the user already.
    virtual int BeginRecording(IWaveNotify* window);
    virtual void StopRecording();
    virtual void CloseRecording();
    // Plays `length` bytes from `offset`, or all valid bytes, in the current
    // format on the output device; 1 when playing, 0 when it could not
    // start (the caller then calls ClosePlayback), with GetError saying why:
    // OutputOpen with the device's result, or PlaybackStart.
    virtual int PlayRange(IWaveNotify* window, std::uint32_t offset, std::uint32_t length);
    virtual int PlayAll(IWaveNotify* window);
    virtual void StopPlayback();
    virtual void ClosePlayback();
    // Adopts the end of a recording: `bytes` recorded bytes (when 0, the
    // device position m_dwRecordedSamples in frames), never more than the
    // block holds. Withdraws undo, shows the format, marks the document
    // modified.
    virtual void FinishRecording(std::uint32_t bytes);

    // Write `frames` frames of a sine wave of `frequency` Hz and peak
    // `amplitude` at `dest`, sample i being amplitude x sin(2 pi i frequency /
    // rate) in extended precision, truncated toward zero: 8-bit data centred
    // on 127 and running downward (127 - s), 16-bit data signed. Stereo
    // frames get the value in both channels. Rate and channels come from the
    // format record.
    virtual void WriteSine8(std::uint8_t* dest, std::uint32_t frames, double frequency,
                            double amplitude);
    virtual void WriteSine16(std::uint8_t* dest, std::uint32_t frames, double frequency,
                             double amplitude);
    // The same from frame `first` of the wave on: `dest` is where frame
    // `first` goes (long selections are written in pieces).
    void WriteSine8From(std::uint8_t* dest, std::uint32_t first, std::uint32_t frames, double frequency,
                        double amplitude);
    void WriteSine16From(std::uint8_t* dest, std::uint32_t first, std::uint32_t frames, double frequency,
                         double amplitude);
    // Reverse the order of `count` units of 1, 2 (also 8-bit stereo frames)
    // or 4 bytes; samples inside a unit keep their order.
    virtual void ReverseBytes(std::uint8_t* dest, int count);
    virtual void ReverseWords(std::uint8_t* dest, int count);
    virtual void ReverseWordFrames(std::uint8_t* dest, int count);
    virtual void ReverseDwords(std::uint8_t* dest, int count);

    virtual int GetFileType(const std::string& path) const;
    // Writes the audio to `path` (see SaveWaveFile in audio/WaveFile.h;
    // `bDurable` false skips flushing it to the disk); 1 on success, 0 with
    // GetError set. The modified flag is left alone.
    virtual int SaveWaveFile(const std::string& path, bool bDurable = true);
    // Replaces the audio with the WAV file at `path` (converted to 16 bits
    // when it holds another shape) and shows its format and size; 1 on
    // success, 0 with GetError set and nothing changed.
    virtual int LoadWaveFile(const std::string& path);
    // The same, leaving an 8- or 16-bit PCM file's data unread (see
    // LoadWaveFile in audio/WaveFile.h): `*pUnreadDataAt` is then where it
    // starts in the file, and 0 when the data was read (converted).
    int LoadWaveFileLeavingData(const std::string& path, std::uint64_t* pUnreadDataAt);
    // How the file the last successful LoadWaveFile read stores its samples
    // (Pcm before any load).
    EWaveEncoding GetLoadedEncoding() const { return m_eLoadedEncoding; }
    // How the document's own file stores its samples: not Pcm while the
    // audio came from a file that was converted on opening and no save has
    // written since. A new document and every successful save make it Pcm
    // (the file saved to holds the 16-bit audio).
    EWaveEncoding GetFileEncoding() const { return m_eFileEncoding; }

    // Where the undo copy is kept: "undo$$$.wav" in this process's cache
    // folder (platform/ProcessCache.h). False with GetError set when that
    // folder cannot be had.
    bool GetUndoFilePath(std::string& path);

    // A change writes the coming undo copy beside the current one first
    // ("undo$$$.new.wav", the 44-byte layout, not flushed) and puts it in
    // place only when the change completes, so a change that is refused,
    // fails or is cancelled leaves the undo copy and m_bCanUndo as they
    // were. BeginUndoCopy writes it and gives its path (false with GetError
    // set, nothing written, when it cannot); CommitUndoCopy renames it over
    // the undo copy (false with GetError set, the old copy kept, when it
    // cannot); DiscardUndoCopy removes it.
    bool BeginUndoCopy(std::string& path);
    bool CommitUndoCopy(const std::string& path);
    void DiscardUndoCopy(const std::string& path);

    // For a program that keeps no undo (the command-line tool): `path`
    // already holds the audio as it is now in the undo copy's layout (the
    // temporary file of the coming save, CStagedWaveSave). The next change
    // takes it as its source instead of writing an undo copy, leaves it in
    // place whatever the outcome, and offers no undo. "" stops it.
    void UseStagedSource(const std::string& path) { m_strStagedSource = path; }
    // True while `path` is such a source.
    bool IsStagedSource(const std::string& path) const
    {
        return !m_strStagedSource.empty() && path == m_strStagedSource;
    }

    // True while an effect works on the block on another thread: nothing on
    // the user-interface thread may then read or replace the data.
    bool IsBusy() const { return m_bBusy != 0; }
    void SetBusy(bool bBusy) { m_bBusy = bBusy ? 1 : 0; }

    // Deletes `length` bytes at byte `offset`, both cut to the valid data.
    // First the whole audio is written to the undo file; when that fails,
    // returns 0 with GetError set (in the UndoCopy context) and nothing
    // changed (undo included). Then the bytes after the range move down over
    // it and the valid size drops by `length` (the block keeps its size);
    // undo is offered, the document is marked modified and the views are
    // updated. Returns 1, also for an empty range, which changes nothing.
    virtual int DeleteRange(std::uint32_t offset, std::uint32_t length);

    // The Undo command: brings back the audio and its format from the undo
    // file, shows them, withdraws undo and marks the document modified (the
    // audio no longer matches what a save since the change wrote). Title
    // and path stay as they are. Returns 1, or 0 with GetError set (in the
    // Undo context) and nothing changed (undo stays offered) when the file
    // cannot be loaded.
    virtual int OnEditUndo();

    // Whether Undo can run: there is audio and the undo file holds the state
    // before the last change.
    bool CanUndo() const { return HasData() == 1 && m_bCanUndo == 1; }

    CCurrentFormat& GetFrame() const { return m_frame; }

    // Recovery of unsaved work (doc/CRecovery.h). Off until EnableRecovery:
    // the command-line tool and most tests write no recovery copy. When on,
    // every completed change (delete, effect, undo, the end of a recording)
    // starts writing the audio as the recovery copy on a worker thread; the
    // next change takes that copy as its undo copy by a link instead of a
    // fresh write. Saving, opening, New and the start of a recording remove
    // the copy. `wait` is called on this thread when something must wait for
    // a write still running (a change, a save, an open), with a test that
    // tells when the write has ended; it may show a progress window and must
    // return only once the test holds. `done` is called on the worker thread
    // when a write ends (the caller then calls PollRecovery on this thread).
    void EnableRecovery(std::function<void(const std::function<bool()>& finished)> wait,
                        std::function<void()> done);
    // Turns recovery off again (after waiting for a write that runs): no
    // more copies, and every change writes its own undo copy. Measurements
    // compare the two.
    void DisableRecovery();
    bool IsRecoveryEnabled() const { return m_bRecovery; }
    // True while a recovery write runs (or has ended without PollRecovery
    // or a wait having taken its result).
    bool IsRecoveryWriting() const { return !m_strWritingCopy.empty(); }
    // Progress of the write that runs: bytes written and bytes in all.
    std::uint64_t RecoveryDone() const { return m_recoveryWrite.Done(); }
    std::uint64_t RecoveryTotal() const { return m_recoveryWrite.Total(); }
    // Takes the result of a write that has ended (nothing when it still
    // runs). False once for a write that failed, with *pError set; recovery
    // then stays on and the next change tries again.
    bool PollRecovery(SReason* pError = nullptr);
    // Waits (through the wait hook) for the write that runs, then takes its
    // result as PollRecovery does.
    bool WaitRecovery(SReason* pError = nullptr);
    // The path of the complete recovery copy that holds the audio as it is
    // now; "" when there is none.
    const std::string& GetRecoveryCopy() const { return m_strRecoveryCopy; }
    // Removes the recovery copy and its record (after waiting for a write):
    // the audio no longer needs one. With `bKeepCopy` only the record goes:
    // the copy is no longer offered but still serves the next change as its
    // undo copy (after a save).
    void DropRecovery(bool bKeepCopy = false);
    // Called when a change has completed (the effect commands call it; the
    // document's own changes do): starts the recovery write.
    void OnChangeCompleted();
    // Makes the document what the record of a dead editor's `folder` says:
    // its audio, path, title, modified flag and the current format; undo is
    // withdrawn. Then starts writing the recovery copy in this process's own
    // folder. Returns 1, or 0 with GetError set and nothing changed when the
    // copy cannot be loaded.
    int RecoverFrom(const std::string& folder, const SRecoveryRecord& record);

private:
    // Opens the output device in the current format; false with the error
    // set when it refuses.
    bool OpenPlayback(IWaveNotify* window);
    // `ok` as the start of the playback returned it, with the error set
    // when it is 0.
    int StartedPlayback(int ok);

    // Takes the ended write's result; see PollRecovery.
    bool FinishRecoveryWrite(SReason* pError);

    CCurrentFormat& m_frame;
    int m_bBusy = 0;
    bool m_bRecovery = false;
    std::function<void(const std::function<bool()>&)> m_recoveryWait;
    std::function<void()> m_recoveryDone;
    CRecoveryWrite m_recoveryWrite;
    std::string m_strWritingCopy;   // the copy the running write makes; "" when none runs
    std::string m_strRecoveryCopy;  // the complete copy of the audio as it is now
    std::uint64_t m_nRecoveryGeneration = 0;
    bool m_bRecoveryLocked = false; // the running write holds a lock of the block
    std::string m_strStagedSource;
    EWaveEncoding m_eLoadedEncoding = EWaveEncoding::Pcm;
    EWaveEncoding m_eFileEncoding = EWaveEncoding::Pcm;
};
