#pragma once
// Everything a load may change: the wave data's format record, block, sizes
// and bytes, and the current format with its readouts. Two snapshots compare
// equal only when nothing of that changed.

#include "audio/CWaveData.h"
#include "frame/CCurrentFormat.h"
#include "platform/GlobalMemory.h"
#include "res/resource.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct CWaveState {
    std::vector<std::uint8_t> format;
    HGLOBAL block;
    std::uint32_t size;
    int hasData;
    std::vector<std::uint8_t> content;
    std::uint32_t rate;
    unsigned channels, bits;
    std::vector<std::string> texts;

    CWaveState(CWaveData& w, const CCurrentFormat& f)
        : format(reinterpret_cast<const std::uint8_t*>(w.m_pFormat.get()),
                 reinterpret_cast<const std::uint8_t*>(w.m_pFormat.get()) + sizeof(WAVEFORMATEX)),
          block(w.m_hData), size(w.m_dwDataSize), hasData(w.m_bHasData),
          rate(f.m_dwSamplesPerSec), channels(f.m_wChannels), bits(f.m_wBitsPerSample)
    {
        // Never past the block, whatever the size says: a size beyond it
        // still shows in `size`.
        if (std::uint8_t* p = w.LockData()) {
            content.assign(p, p + std::min<std::size_t>(size, GlobalSize(block)));
            w.UnlockData();
        }
        for (unsigned id : {IDC_CUR_RATE, IDC_CUR_CHANNELS, IDC_CUR_BITS, IDC_DATA_BYTES, IDC_DATA_MS})
            texts.push_back(f.GetText(id));
    }
    bool operator==(const CWaveState&) const = default;

    // The readouts in one line, for messages.
    std::string Texts() const
    {
        std::string t;
        for (const std::string& x : texts)
            t += "[" + x + "]";
        return t;
    }
};
