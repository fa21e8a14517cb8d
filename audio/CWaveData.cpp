#include "audio/CWaveData.h"

#include "platform/Profile.h"

#include <algorithm>
#include <utility>

CWaveData::CWaveData()
    // Until a file is loaded or recorded the record describes the frame's
    // initial format, so that even saving an empty document writes a sound
    // header.
    : m_pFormat(new WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0})
{
}

CWaveData::~CWaveData()
{
    // Devices first: they must not touch the block once it is gone.
    CloseInput();
    CloseOutput();
    FreeData();
}

HGLOBAL CWaveData::Allocate(std::uint32_t bytes)
{
    m_dwDataSize = 0;
    m_hData = GlobalAlloc(GMEM_MOVEABLE, bytes);
    NoteDataChanged();
    return m_hData;
}

void CWaveData::FreeData()
{
    if (m_hData) {
        GlobalUnlock(m_hData);
        m_hData = GlobalFree(m_hData);
        NoteDataChanged();
    }
}

int CWaveData::IsValid() const { return m_hData ? 1 : 0; }

std::uint8_t* CWaveData::LockData() { return static_cast<std::uint8_t*>(GlobalLock(m_hData)); }

void CWaveData::UnlockData() { GlobalUnlock(m_hData); }

unsigned CWaveData::GetBitsPerSample() const { return m_pFormat->wBitsPerSample; }

unsigned CWaveData::GetChannels() const { return m_pFormat->nChannels; }

std::uint32_t CWaveData::GetFrameCount() const
{
    unsigned bytesPerSample = m_pFormat->wBitsPerSample / 8u;
    unsigned channels = m_pFormat->nChannels;
    if (bytesPerSample == 0 || channels == 0)
        return 0;
    return m_dwDataSize / bytesPerSample / channels;
}

HGLOBAL CWaveData::GetDataHandle() const { return m_hData; }

int CWaveData::HasData() const { return m_bHasData; }

int CWaveData::ReadData(HMMIO file, std::uint32_t bytes)
{
    if (!m_hData || GlobalSize(m_hData) < bytes)
        return 0;
    std::uint8_t* p = LockData();
    std::int64_t got = mmioRead(file, p, bytes);
    UnlockData();
    if (got != static_cast<std::int64_t>(bytes))
        return 0;
    m_dwDataSize = bytes;
    m_bHasData = 1;
    NoteDataChanged();
    return 1;
}

std::uint32_t CWaveData::GetDataSize() const { return m_dwDataSize; }

int CWaveData::WriteData(HMMIO file)
{
    if (m_dwDataSize == 0)
        return 1;
    if (GlobalSize(m_hData) < m_dwDataSize)
        return 0;
    std::uint8_t* p = LockData();
    if (!p)
        return 0;
    std::int64_t put = mmioWrite(file, p, m_dwDataSize);
    UnlockData();
    return put == static_cast<std::int64_t>(m_dwDataSize) ? 1 : 0;
}

void CWaveData::AdoptFrom(CWaveData& other)
{
    *m_pFormat = *other.m_pFormat;
    FreeData();
    m_hData = std::exchange(other.m_hData, nullptr);
    m_dwDataSize = std::exchange(other.m_dwDataSize, 0);
    m_bHasData = 1;
    NoteDataChanged();
}

void CWaveData::FillFormat(std::uint32_t rate, unsigned bits, unsigned channels)
{
    WAVEFORMATEX& f = *m_pFormat;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<std::uint16_t>(channels);
    f.nSamplesPerSec = rate;
    f.nAvgBytesPerSec = (rate * bits * channels) >> 3;
    f.nBlockAlign = static_cast<std::uint16_t>((bits * channels) >> 3);
    f.wBitsPerSample = static_cast<std::uint16_t>(bits);
    f.cbSize = 0;
}

int CWaveData::DeviceId(const char* key) const
{
    return m_pProfile ? m_pProfile->GetProfileInt("WAV Config", key, WAVE_MAPPER) : WAVE_MAPPER;
}

MMRESULT CWaveData::OpenInput(IWaveNotify* notify, std::uint32_t rate, unsigned bits, unsigned channels)
{
    FillFormat(rate, bits, channels);
    return WaveAudio().OpenInput(DeviceId("WavInDevice"), *m_pFormat, notify, m_pWaveIn);
}

int CWaveData::StartRecording(double seconds, std::uint32_t rate, unsigned bits, unsigned channels)
{
    if (!m_pWaveIn || !m_hData)
        return 2;
    std::uint8_t* p = LockData();
    m_bInLocked = true;
    const double length = static_cast<double>(rate) * bits * channels * seconds * 0.125;
    // The device never gets more room than the block has.
    const std::uint64_t room = GlobalSize(m_hData);
    m_waveHdr = WAVEHDR{};
    m_waveHdr.lpData = p;
    m_waveHdr.dwBufferLength = static_cast<std::uint32_t>(
        length > 0 ? std::min<double>(length, static_cast<double>(room)) : 0);
    if (m_pWaveIn->AddBuffer(&m_waveHdr) != MMSYSERR_NOERROR) {
        UnlockData();
        m_bInLocked = false;
        return 2;
    }
    if (m_pWaveIn->Start() != MMSYSERR_NOERROR) {
        UnlockData();
        m_bInLocked = false;
        return 3;
    }
    m_bHasData = 1;
    return 0;
}

MMRESULT CWaveData::StopRecording()
{
    if (!m_pWaveIn)
        return MMSYSERR_INVALHANDLE;
    std::uint32_t frames = 0;
    m_dwRecordedSamples = m_pWaveIn->GetPosition(frames) == MMSYSERR_NOERROR ? frames : 0;
    return m_pWaveIn->Reset();
}

void CWaveData::CloseInput()
{
    m_pWaveIn.reset();
    if (m_bInLocked) {
        UnlockData();
        m_bInLocked = false;
    }
}

MMRESULT CWaveData::OpenOutput(IWaveNotify* notify, std::uint32_t rate, unsigned bits, unsigned channels)
{
    FillFormat(rate, bits, channels);
    return WaveAudio().OpenOutput(DeviceId("WavOutDevice"), *m_pFormat, notify, m_pWaveOut);
}

int CWaveData::Write(std::uint8_t* p, std::uint32_t length)
{
    if (!m_pWaveOut || !p)
        return 0;
    m_waveHdr = WAVEHDR{};
    m_waveHdr.lpData = p;
    m_waveHdr.dwBufferLength = length;
    return m_pWaveOut->Write(&m_waveHdr) == MMSYSERR_NOERROR ? 1 : 0;
}

int CWaveData::PlayAll() { return PlayRange(0, m_dwDataSize); }

int CWaveData::PlayRange(std::uint32_t offset, std::uint32_t length)
{
    if (!m_pWaveOut || !m_hData)
        return 0;
    // The block stays locked while the device reads it.
    std::uint8_t* p = LockData();
    m_bOutLocked = true;
    offset = std::min(offset, m_dwDataSize);
    length = std::min(length, m_dwDataSize - offset);
    return Write(p + offset, length);
}

MMRESULT CWaveData::ResetOutput() { return m_pWaveOut ? m_pWaveOut->Reset() : MMSYSERR_INVALHANDLE; }

void CWaveData::CloseOutput()
{
    m_pWaveOut.reset();
    if (m_bOutLocked) {
        UnlockData();
        m_bOutLocked = false;
    }
}
