#pragma once
// Wave audio: one output and one input device, each handed one caller-owned
// buffer per request (no copy: the device reads from or writes into the
// buffer itself). The end of a buffer — played out, filled, or returned
// early by a reset — reaches the notify target exactly once, on the
// user-interface thread. The sound system behind it is supplied at start-up
// (SetWaveAudio); without one every open fails with MMSYSERR_NODRIVER.

#include "platform/RiffFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct WAVEFORMATEX;

using MMRESULT = unsigned; // MMSYSERR_NOERROR (0) is shared with the RIFF file services
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;

// The system's default device.
constexpr int WAVE_MAPPER = -1;

// One buffer handed to a device.
struct WAVEHDR {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;  // bytes to play, or room to record into
    std::uint32_t dwBytesRecorded = 0; // bytes the input device wrote
    std::uint32_t dwFlags = 0;
};

// Where the end of a buffer is told, on the user-interface thread.
class IWaveNotify {
public:
    virtual ~IWaveNotify() = default;
    virtual void OnWomDone(WAVEHDR* pHdr) = 0; // the output buffer is done
    virtual void OnWimData(WAVEHDR* pHdr) = 0; // the input buffer is done
};

class IWaveOut {
public:
    virtual ~IWaveOut() = default; // closes the device (a buffer still queued is dropped silently)
    // Starts playing the buffer; fails with WAVERR_STILLPLAYING while one is queued.
    virtual MMRESULT Write(WAVEHDR* pHdr) = 0;
    // Stops; a queued buffer is returned (OnWomDone) at once.
    virtual MMRESULT Reset() = 0;
};

class IWaveIn {
public:
    virtual ~IWaveIn() = default; // closes the device
    // Gives the device the buffer to record into; fails while one is queued.
    virtual MMRESULT AddBuffer(WAVEHDR* pHdr) = 0;
    virtual MMRESULT Start() = 0;
    // Stops; the buffer is returned (OnWimData) with the bytes so far.
    virtual MMRESULT Reset() = 0;
    // Frames recorded so far.
    virtual MMRESULT GetPosition(std::uint32_t& frames) = 0;
};

class IWaveAudio {
public:
    virtual ~IWaveAudio() = default;
    // Device names, in the order of their identifiers (0, 1, ...).
    virtual std::vector<std::string> OutputDevices() = 0;
    virtual std::vector<std::string> InputDevices() = 0;
    // Opens device `id` (WAVE_MAPPER: the default one) for `format`.
    // Returns MMSYSERR_NOERROR with the device, or MMSYSERR_BADDEVICEID,
    // WAVERR_BADFORMAT, MMSYSERR_NODRIVER (no sound system) and so on.
    virtual MMRESULT OpenOutput(int id, const WAVEFORMATEX& format, IWaveNotify* notify,
                                std::unique_ptr<IWaveOut>& device) = 0;
    virtual MMRESULT OpenInput(int id, const WAVEFORMATEX& format, IWaveNotify* notify,
                               std::unique_ptr<IWaveIn>& device) = 0;
};

// The sound system in use (never null: without one, a stand-in whose opens
// fail with MMSYSERR_NODRIVER and that lists no devices).
IWaveAudio& WaveAudio();
// Installs `audio` (not owned; null restores the stand-in).
void SetWaveAudio(IWaveAudio* audio);
