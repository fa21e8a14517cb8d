#include "frame/CCurrentFormat.h"

#include "res/resource.h"

#include <cstdio>

namespace {
template <typename... Args>
std::string Format(const char* fmt, Args... args)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}
} // namespace

CCurrentFormat::CCurrentFormat()
{
    // The readouts as the frame shows them right after creation.
    m_texts[IDC_CUR_CHANNELS] = "-----";
    m_texts[IDC_CUR_BITS] = "-----";
    m_texts[IDC_CUR_RATE] = "-----";
    m_texts[IDC_DATA_BYTES] = "0";
    m_texts[IDC_DATA_MS] = "0";
    m_texts[ID_INDICATOR_SELTIME] = "999.999mS";
    m_texts[ID_INDICATOR_SELFREQ] = "9999999Hz";
}

int CCurrentFormat::ReadPanel() { return 1; }

void CCurrentFormat::SetDataSize(std::uint32_t bytes)
{
    // Sizes above 2 GB are shown as the unsigned counts they are.
    ShowText(IDC_DATA_BYTES, Format("%u", bytes));
    std::uint64_t bytesPerSec =
        std::uint64_t{m_dwSamplesPerSec} * m_wBitsPerSample * m_wChannels / 8;
    std::uint64_t ms = bytesPerSec ? std::uint64_t{bytes} * 1000 / bytesPerSec : 0;
    ShowText(IDC_DATA_MS, Format("%llu", static_cast<unsigned long long>(ms)));
}

int CCurrentFormat::SetFormat(std::uint32_t rate, unsigned channels, unsigned bits)
{
    m_dwSamplesPerSec = rate;
    m_wChannels = static_cast<std::uint16_t>(channels);
    m_wBitsPerSample = static_cast<std::uint16_t>(bits);
    ShowText(IDC_CUR_CHANNELS, m_wChannels == 2 ? "Stereo" : "Mono");
    ShowText(IDC_CUR_BITS, Format("%d Bits", int{m_wBitsPerSample}));
    ShowText(IDC_CUR_RATE, Format("%u Hz", m_dwSamplesPerSec));
    return 1;
}

void CCurrentFormat::SetSelInfo(double dMilliseconds, double dHertz)
{
    if (dMilliseconds == 0.0) {
        ShowText(ID_INDICATOR_SELTIME, "");
        ShowText(ID_INDICATOR_SELFREQ, "");
        return;
    }
    ShowText(ID_INDICATOR_SELTIME, dMilliseconds < 1000.0
                                       ? Format("%.3lfmS", dMilliseconds)
                                       : Format("%.3lfS", dMilliseconds * 0.001));
    ShowText(ID_INDICATOR_SELFREQ,
             dHertz < 100.0 ? Format("%.3lfHz", dHertz) : Format("%.1lfHz", dHertz));
}

std::string CCurrentFormat::GetText(unsigned nID) const
{
    auto it = m_texts.find(nID);
    return it == m_texts.end() ? std::string() : it->second;
}

void CCurrentFormat::ShowText(unsigned nID, const std::string& text) { m_texts[nID] = text; }
