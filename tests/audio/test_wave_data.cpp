#include "audio/CWaveData.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

TEST(WaveData, FrameCountDividesBySampleBytesThenChannels)
{
    struct Case {
        std::uint16_t bits, channels;
        std::uint32_t bytes, frames;
    };
    const Case cases[] = {{8, 2, 10, 5}, {16, 1, 10, 5}, {16, 2, 10, 2}, {8, 1, 3, 3},
                          {4, 1, 10, 0}, {16, 0, 10, 0}}; // no bytes per frame: 0, no division
    for (const Case& c : cases) {
        CWaveData w;
        w.m_pFormat->wBitsPerSample = c.bits;
        w.m_pFormat->nChannels = c.channels;
        w.m_dwDataSize = c.bytes;
        EXPECT_EQ(w.GetFrameCount(), c.frames) << c.bits << "/" << c.channels << "/" << c.bytes;
    }
}

TEST(WaveData, WithoutABlockNothingIsLockedOrFreed)
{
    CWaveData w;
    EXPECT_EQ(w.IsValid(), 0);
    w.FreeData();
    EXPECT_EQ(w.LockData(), nullptr);
    w.UnlockData();
    EXPECT_EQ(w.HasData(), 0);
    EXPECT_EQ(w.m_pFormat->wFormatTag, WAVE_FORMAT_PCM); // a sound record from the start
}

TEST(WaveData, ReadDataTakesTheBytesOnlyWhenAllArrive)
{
    CTempDir dir;
    WriteAll(dir / "d.bin", Bytes{1, 2, 3, 4, 5, 6});
    CWaveData w;
    ASSERT_NE(w.Allocate(8), nullptr);
    EXPECT_EQ(w.m_dwDataSize, 0u);

    HMMIO f = mmioOpen(dir / "d.bin", MMIO_READ);
    EXPECT_EQ(w.ReadData(f, 8), 0); // only 6 bytes in the file
    mmioClose(f);
    EXPECT_EQ(w.m_dwDataSize, 0u);
    EXPECT_EQ(w.HasData(), 0);

    f = mmioOpen(dir / "d.bin", MMIO_READ);
    EXPECT_EQ(w.ReadData(f, 6), 1);
    mmioClose(f);
    EXPECT_EQ(w.m_dwDataSize, 6u);
    EXPECT_EQ(w.HasData(), 1);
    std::uint8_t* p = w.LockData();
    EXPECT_EQ(p[5], 6);
    w.UnlockData();
    EXPECT_EQ(GlobalLockCount(w.m_hData), 0u);

    CWaveData small;
    small.Allocate(2);
    f = mmioOpen(dir / "d.bin", MMIO_READ);
    EXPECT_EQ(small.ReadData(f, 6), 0); // never past the block
    mmioClose(f);
}

TEST(WaveData, WriteDataWritesOnlyTheValidBytes)
{
    CTempDir dir;
    CWaveData w;
    w.Allocate(12);
    std::uint8_t* p = w.LockData();
    for (int i = 0; i < 12; ++i)
        p[i] = static_cast<std::uint8_t>(i);
    w.UnlockData();
    w.m_dwDataSize = 8; // as after a deletion: the block keeps 12 bytes
    HMMIO f = mmioOpen(dir / "out.bin", MMIO_CREATE | MMIO_WRITE);
    EXPECT_EQ(w.WriteData(f), 1);
    EXPECT_EQ(mmioClose(f), 0u);
    EXPECT_EQ(ReadAll(dir / "out.bin"), Bytes({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(GlobalSize(w.m_hData), 12u);
}
