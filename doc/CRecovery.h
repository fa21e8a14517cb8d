#pragma once
// Unsaved work that survives the editor's death: after every completed
// change the document writes its audio as the recovery copy (the undo
// copy's 44-byte WAV layout) on a worker thread, flushed to the disk, with
// a small record of the document beside it. The next editor to start finds
// the copy in the dead editor's cache folder and offers it back.
//
// In the folder: "recovery-<n>.wav", the copy of change n, and the record
// (kRecoveryRecordName) naming the copy it belongs to. Each is written to a
// temporary file, flushed and renamed in place, the record only after its
// copy; the copy of the previous change is removed only once the record
// names the new one. So at any moment the record names a complete copy.

#include "audio/WaveFile.h"
#include "audio/WaveFormat.h"
#include "platform/Reason.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// What the record says about the document whose audio the copy holds.
struct SRecoveryRecord {
    std::string audioName; // the copy's file name inside the folder
    std::string path;      // the document's path ("" for an untitled one)
    std::string title;     // its title as shown ("" for an untitled one)
    bool bModified = true;
    // The program's current format (the readouts and the recording panel).
    std::uint32_t dwSamplesPerSec = 0;
    std::uint16_t wChannels = 0;
    std::uint16_t wBitsPerSample = 0;
    // How the document's file on disk is written: a converted original
    // must still be asked about before a save writes 16 bits over it.
    EWaveEncoding eFileEncoding = EWaveEncoding::Pcm;
    bool operator==(const SRecoveryRecord&) const = default;
};

// Writes `record` into `folder` (temporary file, flushed, renamed); false
// with `error` set when it cannot.
bool WriteRecoveryRecord(const std::string& folder, const SRecoveryRecord& record, SReason& error);
// Reads the record of `folder`; false when there is none or it is not one
// this program wrote in full (a name with a "/" or "..", a field missing).
bool ReadRecoveryRecord(const std::string& folder, SRecoveryRecord& record);
// Removes the record and every recovery copy of `folder`.
void RemoveRecoveryFiles(const std::string& folder);

// One background write of a recovery copy and its record. The caller keeps
// the audio bytes unchanged and alive until Join has returned.
class CRecoveryWrite {
public:
    CRecoveryWrite() = default;
    ~CRecoveryWrite() { Join(); }
    CRecoveryWrite(const CRecoveryWrite&) = delete;
    CRecoveryWrite& operator=(const CRecoveryWrite&) = delete;

    // Starts writing `bytes` bytes at `data` in `format` as
    // folder/record.audioName, then the record, then removes the other
    // copies. `onDone` (may be empty) is called on the worker thread at the
    // end. Must not be called while a write runs.
    void Start(const std::string& folder, const std::uint8_t* data, std::uint32_t bytes,
               const WAVEFORMATEX& format, SRecoveryRecord record, std::function<void()> onDone);
    // True between Start and Join.
    bool IsStarted() const { return m_worker.joinable(); }
    // True once the worker has ended (Join then returns at once).
    bool IsFinished() const { return m_bFinished.load(); }
    // Bytes of the copy written so far, of `Total()`.
    std::uint64_t Done() const { return m_nDone.load(std::memory_order_relaxed); }
    std::uint64_t Total() const { return m_nTotal; }
    // Waits for the worker; true when the copy and the record are on the
    // disk, false with GetError set when a step failed. True without a
    // write.
    bool Join();
    const SReason& GetError() const { return m_error; }

private:
    std::thread m_worker;
    std::atomic<bool> m_bFinished{false};
    std::atomic<std::uint64_t> m_nDone{0};
    std::uint64_t m_nTotal = 0;
    bool m_bOk = true;
    SReason m_error;
};
