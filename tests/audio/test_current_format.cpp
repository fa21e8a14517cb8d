#include "frame/CCurrentFormat.h"
#include "res/resource.h"

#include <gtest/gtest.h>

TEST(CurrentFormat, StartsWithTheRecordingPanelsDefaultsAndPlaceholders)
{
    CCurrentFormat f;
    EXPECT_EQ(f.m_nRecordSeconds, 60);
    EXPECT_EQ(f.m_wChannels, 1);
    EXPECT_EQ(f.m_wBitsPerSample, 16);
    EXPECT_EQ(f.m_dwSamplesPerSec, 22050u);
    for (unsigned id : {IDC_CUR_CHANNELS, IDC_CUR_BITS, IDC_CUR_RATE})
        EXPECT_EQ(f.GetText(id), "-----");
    EXPECT_EQ(f.GetText(IDC_DATA_BYTES), "0");
    EXPECT_EQ(f.GetText(IDC_DATA_MS), "0");
}

TEST(CurrentFormat, SetFormatStoresAndShowsTheFormat)
{
    struct Case {
        std::uint32_t rate;
        unsigned channels, bits;
        const char *chText, *bitsText, *rateText;
    };
    const Case cases[] = {
        {44100, 2, 16, "Stereo", "16 Bits", "44100 Hz"},
        {8000, 1, 8, "Mono", "8 Bits", "8000 Hz"},
        {22050, 3, 16, "Mono", "16 Bits", "22050 Hz"},
        {96000, 2, 16, "Stereo", "16 Bits", "96000 Hz"}, // beyond 16 bits: kept whole
    };
    for (const Case& c : cases) {
        CCurrentFormat f;
        EXPECT_EQ(f.SetFormat(c.rate, c.channels, c.bits), 1);
        EXPECT_EQ(f.m_dwSamplesPerSec, c.rate);
        EXPECT_EQ(f.m_wChannels, c.channels);
        EXPECT_EQ(f.GetText(IDC_CUR_CHANNELS), c.chText);
        EXPECT_EQ(f.GetText(IDC_CUR_BITS), c.bitsText);
        EXPECT_EQ(f.GetText(IDC_CUR_RATE), c.rateText);
    }
}

TEST(CurrentFormat, SetDataSizeShowsBytesAndMilliseconds)
{
    struct Case {
        std::uint32_t rate;
        unsigned channels, bits;
        std::uint32_t bytes;
        const char *bytesText, *msText;
    };
    const Case cases[] = {
        {44100, 2, 16, 176400, "176400", "1000"},
        {22050, 1, 8, 11025, "11025", "500"},
        {8000, 1, 8, 7, "7", "0"},                                // truncates
        {22050, 1, 16, 100000000, "100000000", "2267573"},        // bytes x 1000 beyond 32 bits
        {96000, 2, 16, 3000000000u, "3000000000", "7812500"},     // beyond 2^31: unsigned
        {0, 2, 16, 1000, "1000", "0"},                            // no bytes per second: no division
    };
    for (const Case& c : cases) {
        CCurrentFormat f;
        f.SetFormat(c.rate, c.channels, c.bits);
        f.SetDataSize(c.bytes);
        EXPECT_EQ(f.GetText(IDC_DATA_BYTES), c.bytesText);
        EXPECT_EQ(f.GetText(IDC_DATA_MS), c.msText) << c.bytes;
    }
}

TEST(CurrentFormat, SetSelInfoFormatsDurationAndFrequency)
{
    struct Case {
        double ms, hz;
        const char *timeText, *freqText;
    };
    const Case cases[] = {
        {999.9994, 1000.0006, "999.999mS", "1000.0Hz"},
        {1000.0, 1.0, "1.000S", "1.000Hz"},
        {1500.0, 0.6667, "1.500S", "0.667Hz"},
        {10.0, 99.5, "10.000mS", "99.500Hz"},
        {10.0, 100.0, "10.000mS", "100.0Hz"},
        {0.0, 123.0, "", ""},
    };
    for (const Case& c : cases) {
        CCurrentFormat f;
        f.SetSelInfo(c.ms, c.hz);
        EXPECT_EQ(f.GetText(ID_INDICATOR_SELTIME), c.timeText) << c.ms;
        EXPECT_EQ(f.GetText(ID_INDICATOR_SELFREQ), c.freqText) << c.hz;
    }
}
