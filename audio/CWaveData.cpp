#include "audio/CWaveData.h"

#include <utility>

CWaveData::CWaveData()
    // Until a file is loaded or recorded the record describes the frame's
    // initial format, so that even saving an empty document writes a sound
    // header.
    : m_pFormat(new WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0})
{
}

CWaveData::~CWaveData() { FreeData(); }

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
