#pragma once
// The audio of the open document: the PCM format record and one movable
// memory block with the PCM frames exactly as in a WAV file's `data` chunk,
// of which the first m_dwDataSize bytes are valid. The block is never
// resized: a deletion lowers m_dwDataSize, loading and recording bring a new
// block. The document reads the format record and writes m_dwDataSize
// directly.

#include "audio/WaveFormat.h"
#include "platform/GlobalMemory.h"
#include "platform/RiffFile.h"
#include "platform/WaveAudio.h"

#include <cstdint>
#include <memory>

class CWaveData {
public:
    CWaveData();
    CWaveData(const CWaveData&) = delete;
    CWaveData& operator=(const CWaveData&) = delete;
    ~CWaveData();

    HGLOBAL m_hData = nullptr;                 // the PCM block, null while there is none
    std::unique_ptr<WAVEFORMATEX> m_pFormat;   // the one format record of the document
    std::uint32_t m_dwDataSize = 0;            // valid bytes at the start of the block
    std::uint32_t m_dwRecordedSamples = 0;     // input position in frames when recording stopped
    int m_bHasData = 0;                        // 1 once data was read or recording started
    std::uint64_t m_nDataVersion = 0;          // changes with every change of the data (see NoteDataChanged)
    std::unique_ptr<IWaveOut> m_pWaveOut;      // output device while playing
    std::unique_ptr<IWaveIn> m_pWaveIn;        // input device while recording
    WAVEHDR m_waveHdr;                         // the one buffer of either device

    // Sets m_dwDataSize to 0 and allocates a new block of `bytes` bytes
    // (content unspecified) without releasing the one held. Returns the new
    // handle, null when the memory cannot be had.
    virtual HGLOBAL Allocate(std::uint32_t bytes);
    // Releases the block, if any; m_dwDataSize is left as it is.
    virtual void FreeData();
    // 1 when a block is held, else 0.
    virtual int IsValid() const;
    // Locks the block and returns its first byte; null without a block.
    // Every LockData is paired with one UnlockData.
    virtual std::uint8_t* LockData();
    virtual void UnlockData();
    virtual unsigned GetBitsPerSample() const;
    virtual unsigned GetChannels() const;
    // Whole frames in the valid bytes; 0 for a format with no bytes per
    // frame.
    virtual std::uint32_t GetFrameCount() const;
    virtual HGLOBAL GetDataHandle() const;
    virtual int HasData() const;

    // Recording. The device identifier comes from the profile ("WAV Config",
    // "WavInDevice"; -1, the default device, without a profile) at every open.
    // OpenInput makes the format record describe `rate`, `bits` and
    // `channels` and opens the input device with `notify` as the target of
    // its end notice; returns the device's result (0 when open).
    virtual MMRESULT OpenInput(IWaveNotify* notify, std::uint32_t rate, unsigned bits, unsigned channels);
    // Records into the whole block: locks it (until CloseInput) and starts
    // the device on a buffer of rate x bits x channels x seconds / 8 bytes,
    // never more than the block holds. 0 when recording, 2 when the device
    // refused the buffer, 3 when it did not start (the block is unlocked).
    virtual int StartRecording(double seconds, std::uint32_t rate, unsigned bits, unsigned channels);
    // Notes the frames recorded so far in m_dwRecordedSamples (0 when the
    // device cannot tell) and stops: the device returns the buffer.
    virtual MMRESULT StopRecording();
    // Closes the input device and unlocks the block if a recording locked it.
    virtual void CloseInput();

    // Playback, through the output device named by "WavOutDevice".
    virtual MMRESULT OpenOutput(IWaveNotify* notify, std::uint32_t rate, unsigned bits, unsigned channels);
    // Play all valid bytes, or `length` bytes from byte `offset` (kept inside
    // the valid bytes); the block stays locked until CloseOutput. 1 when the
    // device plays, 0 when it refused.
    virtual int PlayAll();
    virtual int PlayRange(std::uint32_t offset, std::uint32_t length);
    // Stops playback: the device returns the buffer.
    virtual MMRESULT ResetOutput();
    // Closes the output device and unlocks the block if a playback locked it.
    virtual void CloseOutput();
    // True while a device holds the block (from the start of a recording or
    // a playback until its device is closed).
    bool IsDeviceBusy() const { return m_bInLocked || m_bOutLocked; }
    // True while the input device holds the block (from the start of a
    // recording until its device is closed); the valid size is 0 then.
    bool IsRecording() const { return m_bInLocked; }

    // The profile the device identifiers are read from (not owned; null:
    // the default devices).
    void SetProfile(class CProfile* pProfile) { m_pProfile = pProfile; }
    // Reads `bytes` bytes from the file's current position into the start of
    // the block. Returns 1 and makes them the valid data (m_bHasData = 1);
    // returns 0 on a short read or when the block is smaller, leaving
    // m_dwDataSize and m_bHasData as they were.
    virtual int ReadData(HMMIO file, std::uint32_t bytes);
    virtual std::uint32_t GetDataSize() const;
    // Writes the valid bytes to the file's current position; 1 when all of
    // them were written, else 0.
    virtual int WriteData(HMMIO file);

    // Records that the data (bytes, size, format or block) changed, so that
    // anything computed from it (the overview's summary) is computed anew.
    // Every operation that writes into the block calls it; Allocate,
    // FreeData, ReadData and AdoptFrom do so themselves.
    void NoteDataChanged() { ++m_nDataVersion; }

    // Takes the format, the block and the valid size of `other` (which is
    // left without a block) in place of its own, releasing the old block,
    // and marks the data as present. Used to adopt a completely loaded file.
    void AdoptFrom(CWaveData& other);

private:
    void FillFormat(std::uint32_t rate, unsigned bits, unsigned channels);
    int DeviceId(const char* key) const;
    int Write(std::uint8_t* p, std::uint32_t length);

    class CProfile* m_pProfile = nullptr;
    bool m_bInLocked = false;
    bool m_bOutLocked = false;
};
