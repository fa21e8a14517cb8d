#pragma once
// The sound system on Qt Multimedia: whatever server Qt's audio backend talks
// to (PulseAudio, or PipeWire through its PulseAudio interface).
//
// Device identifiers are positions in QMediaDevices::audioOutputs() and
// audioInputs() as listed at the time of the call; WAVE_MAPPER opens the
// system's default device. Opening answers
//   MMSYSERR_NODRIVER     no server, or it lists no device of that kind,
//   MMSYSERR_BADDEVICEID  an identifier outside the list (or below -1),
//   WAVERR_BADFORMAT      anything but PCM, 8-bit unsigned or 16-bit signed,
//                         mono or stereo, with nBlockAlign = channels x bytes
//                         and a rate of 1 to INT_MAX samples per second, or
//                         a format the device says it does not support.
//
// Playback opens a fresh QAudioSink for every buffer and reads the caller's
// bytes in place, followed by some silence (the server's buffer length and a
// little more), so that when the sink runs dry the whole buffer is known to
// have been taken by the server and none of its end is cut off. Recording
// opens a QAudioSource in push mode and copies what it delivers straight
// into the caller's buffer. Buffers end through IWaveNotify on the
// user-interface thread, always by a queued call, exactly once each, and
// never after the device object is gone. All calls are made on the
// user-interface thread.

#include "platform/WaveAudio.h"

class CQtWaveAudio : public IWaveAudio {
public:
    // Descriptions (QAudioDevice::description) in identifier order; empty
    // without a server.
    std::vector<std::string> OutputDevices() override;
    std::vector<std::string> InputDevices() override;

    MMRESULT OpenOutput(int id, const WAVEFORMATEX& format, IWaveNotify* notify,
                        std::unique_ptr<IWaveOut>& device) override;
    MMRESULT OpenInput(int id, const WAVEFORMATEX& format, IWaveNotify* notify,
                       std::unique_ptr<IWaveIn>& device) override;
};
