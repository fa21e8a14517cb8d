#pragma once
// A stand-in sound system for window tests: it keeps the buffers it is
// given and ends them when the test says so, on the user-interface thread,
// as the real devices do.

#include "platform/WaveAudio.h"

#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A sound system that keeps the buffers it is given and ends them on demand.
struct FakeAudio : IWaveAudio {
    struct Out : IWaveOut {
        FakeAudio& audio;
        explicit Out(FakeAudio& a) : audio(a) { audio.out = this; }
        ~Out() override { audio.out = nullptr; }
        MMRESULT Write(WAVEHDR* h) override
        {
            if (audio.played)
                return WAVERR_STILLPLAYING;
            audio.played = h;
            ++audio.writes;
            return MMSYSERR_NOERROR;
        }
        MMRESULT Reset() override
        {
            ++audio.resets;
            audio.FinishPlayback();
            return MMSYSERR_NOERROR;
        }
    };
    struct In : IWaveIn {
        FakeAudio& audio;
        explicit In(FakeAudio& a) : audio(a) { audio.in = this; }
        ~In() override { audio.in = nullptr; }
        MMRESULT AddBuffer(WAVEHDR* h) override
        {
            audio.recording = h;
            return MMSYSERR_NOERROR;
        }
        MMRESULT Start() override { return MMSYSERR_NOERROR; }
        MMRESULT Reset() override
        {
            audio.FinishRecording();
            return MMSYSERR_NOERROR;
        }
        MMRESULT GetPosition(std::uint32_t& frames) override
        {
            frames = audio.recording ? audio.recording->dwBytesRecorded / audio.blockAlign : 0;
            return MMSYSERR_NOERROR;
        }
    };

    IWaveNotify* notify = nullptr;
    Out* out = nullptr;
    In* in = nullptr;
    WAVEHDR* played = nullptr;
    WAVEHDR* recording = nullptr;
    int writes = 0, resets = 0;
    unsigned blockAlign = 1;
    WAVEFORMATEX lastFormat{};
    bool failOpen = false;

    std::vector<std::string> OutputDevices() override { return {"out"}; }
    std::vector<std::string> InputDevices() override { return {"in"}; }
    MMRESULT OpenOutput(int, const WAVEFORMATEX& f, IWaveNotify* n, std::unique_ptr<IWaveOut>& d) override
    {
        if (failOpen)
            return MMSYSERR_BADDEVICEID;
        lastFormat = f;
        notify = n;
        d = std::make_unique<Out>(*this);
        return MMSYSERR_NOERROR;
    }
    MMRESULT OpenInput(int, const WAVEFORMATEX& f, IWaveNotify* n, std::unique_ptr<IWaveIn>& d) override
    {
        if (failOpen)
            return MMSYSERR_BADDEVICEID;
        lastFormat = f;
        blockAlign = f.nBlockAlign ? f.nBlockAlign : 1;
        notify = n;
        d = std::make_unique<In>(*this);
        return MMSYSERR_NOERROR;
    }
    // The end of a buffer arrives later, on the user-interface thread.
    void FinishPlayback()
    {
        WAVEHDR* h = std::exchange(played, nullptr);
        if (h)
            QTimer::singleShot(0, [n = notify, h] { n->OnWomDone(h); });
    }
    void Record(std::uint32_t bytes, std::uint8_t value)
    {
        QVERIFY(recording);
        const std::uint32_t n = std::min(bytes, recording->dwBufferLength - recording->dwBytesRecorded);
        std::memset(recording->lpData + recording->dwBytesRecorded, value, n);
        recording->dwBytesRecorded += n;
    }
    void FinishRecording()
    {
        WAVEHDR* h = std::exchange(recording, nullptr);
        if (h)
            QTimer::singleShot(0, [n = notify, h] { n->OnWimData(h); });
    }
};
