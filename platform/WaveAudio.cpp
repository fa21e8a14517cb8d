#include "platform/WaveAudio.h"

namespace {
// No sound system: nothing to list, nothing opens.
class CNoWaveAudio : public IWaveAudio {
public:
    std::vector<std::string> OutputDevices() override { return {}; }
    std::vector<std::string> InputDevices() override { return {}; }
    MMRESULT OpenOutput(int, const WAVEFORMATEX&, IWaveNotify*, std::unique_ptr<IWaveOut>&) override
    {
        return MMSYSERR_NODRIVER;
    }
    MMRESULT OpenInput(int, const WAVEFORMATEX&, IWaveNotify*, std::unique_ptr<IWaveIn>&) override
    {
        return MMSYSERR_NODRIVER;
    }
};

CNoWaveAudio g_none;
IWaveAudio* g_audio = &g_none;
} // namespace

IWaveAudio& WaveAudio() { return *g_audio; }

void SetWaveAudio(IWaveAudio* audio) { g_audio = audio ? audio : &g_none; }
