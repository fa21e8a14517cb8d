#include "platform/RiffFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <random>

namespace {
constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');

// RIFF WAVE with: an odd-sized LIST (pad byte), "fmt ", an odd-sized "junk"
// chunk, then "data" holding 1 2 3 4.
Bytes SampleRiff()
{
    Bytes body;
    PutTag(body, "WAVE");
    Bytes list;
    PutTag(list, "INFO");
    list.push_back('x'); // 5 bytes: odd
    PutChunk(body, "LIST", list);
    PutChunk(body, "fmt ", Bytes(16, 7));
    PutChunk(body, "junk", Bytes{9, 9, 9});
    PutChunk(body, "data", Bytes{1, 2, 3, 4});
    Bytes file;
    PutChunk(file, "RIFF", body);
    return file;
}

struct Handle {
    HMMIO h;
    explicit Handle(const std::string& path, unsigned flags = MMIO_READ | MMIO_ALLOCBUF)
        : h(mmioOpen(path, flags))
    {
    }
    ~Handle() { mmioClose(h); }
};
} // namespace

TEST(RiffFile, FindsChunksAmongSiblingsSkippingOddSizesAndPadBytes)
{
    CTempDir dir;
    WriteAll(dir / "a.wav", SampleRiff());
    Handle f(dir / "a.wav");
    ASSERT_NE(f.h, nullptr);

    MMCKINFO riff;
    riff.fccType = kWave;
    ASSERT_EQ(mmioDescend(f.h, &riff, nullptr, MMIO_FINDRIFF), 0u);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    EXPECT_EQ(mmioTell(f.h), 12u); // past the form type

    MMCKINFO fmt;
    fmt.ckid = kFmt;
    ASSERT_EQ(mmioDescend(f.h, &fmt, &riff, MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(fmt.cksize, 16u);
    EXPECT_EQ(fmt.dwDataOffset, 12u + 8 + 5 + 1 + 8); // after LIST and its pad
    ASSERT_EQ(mmioAscend(f.h, &fmt, 0), 0u);

    MMCKINFO data;
    data.ckid = kData;
    ASSERT_EQ(mmioDescend(f.h, &data, &riff, MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(data.cksize, 4u);
    std::uint8_t got[4] = {};
    EXPECT_EQ(mmioRead(f.h, got, 4), 4);
    EXPECT_EQ(got[0], 1);
    EXPECT_EQ(got[3], 4);

    // Searching goes forward only: "fmt " lies behind the position now.
    MMCKINFO again;
    again.ckid = kFmt;
    EXPECT_EQ(mmioDescend(f.h, &again, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
}

TEST(RiffFile, HostileSizesEndTheSearchInsteadOfSeekingAway)
{
    CTempDir dir;
    struct Case {
        const char* name;
        std::uint32_t junkSize; // size written in the header of a chunk before "data"
    };
    for (Case c : {Case{"huge", 0xFFFFFFF0u}, Case{"past the end", 13u}, Case{"misaligned", 5u}}) {
        Bytes file;
        PutTag(file, "RIFF");
        Put32(file, 0xFFFFFFFFu); // larger than the file: clamped to it
        PutTag(file, "WAVE");
        PutTag(file, "junk");
        Put32(file, c.junkSize);
        Put16(file, 0);
        PutChunk(file, "data", Bytes{1, 2});
        WriteAll(dir / "h.wav", file);
        Handle f(dir / "h.wav");
        MMCKINFO riff;
        riff.fccType = kWave;
        ASSERT_EQ(mmioDescend(f.h, &riff, nullptr, MMIO_FINDRIFF), 0u) << c.name;
        MMCKINFO data;
        data.ckid = kData;
        EXPECT_EQ(mmioDescend(f.h, &data, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND) << c.name;
        EXPECT_LE(mmioTell(f.h), file.size()) << c.name;
    }
}

TEST(RiffFile, SearchStopsAtTheParentsEndAndAscendStopsAtTheFilesEnd)
{
    CTempDir dir;
    Bytes body;
    PutTag(body, "WAVE");
    PutChunk(body, "fmt ", Bytes(16, 0));
    Bytes file;
    PutChunk(file, "RIFF", body);
    PutChunk(file, "data", Bytes{1, 2}); // outside the RIFF chunk
    WriteAll(dir / "p.wav", file);
    Handle f(dir / "p.wav");
    MMCKINFO riff;
    riff.fccType = kWave;
    ASSERT_EQ(mmioDescend(f.h, &riff, nullptr, MMIO_FINDRIFF), 0u);
    MMCKINFO data;
    data.ckid = kData;
    EXPECT_EQ(mmioDescend(f.h, &data, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);

    MMCKINFO big;
    big.ckid = kData;
    big.cksize = 0xFFFFFFFFu;
    big.dwDataOffset = 8;
    EXPECT_EQ(mmioAscend(f.h, &big, 0), 0u);
    EXPECT_EQ(mmioTell(f.h), file.size());
}

TEST(RiffFile, BufferedReadsReturnTheFilesBytesInAnyPieceSizes)
{
    CTempDir dir;
    Bytes content(300000);
    std::mt19937 rng(7);
    for (auto& b : content)
        b = static_cast<std::uint8_t>(rng());
    WriteAll(dir / "r.bin", content);
    for (unsigned flags : {MMIO_READ | MMIO_ALLOCBUF, MMIO_READ}) {
        Handle f(dir / "r.bin", flags);
        Bytes got;
        std::size_t pieces[] = {1, 7, 65535, 3, 100000, 16, 70000};
        for (std::size_t i = 0; got.size() < content.size(); ++i) {
            Bytes piece(pieces[i % std::size(pieces)]);
            std::int64_t n = mmioRead(f.h, piece.data(), static_cast<std::int64_t>(piece.size()));
            ASSERT_GE(n, 0);
            ASSERT_EQ(mmioTell(f.h), got.size() + static_cast<std::size_t>(n));
            got.insert(got.end(), piece.begin(), piece.begin() + n);
            if (n == 0)
                break;
        }
        EXPECT_EQ(got, content);
        std::uint8_t extra;
        EXPECT_EQ(mmioRead(f.h, &extra, 1), 0); // end of file
    }
}

TEST(RiffFile, WritesCreateOrTruncateAndReportAFullDisk)
{
    CTempDir dir;
    WriteAll(dir / "w.bin", Bytes(1000, 0xEE));
    HMMIO h = mmioOpen(dir / "w.bin", MMIO_CREATE | MMIO_WRITE);
    ASSERT_NE(h, nullptr);
    Bytes big(200000, 0x11);
    EXPECT_EQ(mmioWrite(h, "abc", 3), 3);
    EXPECT_EQ(mmioWrite(h, big.data(), static_cast<std::int64_t>(big.size())), 200000);
    EXPECT_EQ(mmioWrite(h, "z", 1), 1);
    EXPECT_EQ(mmioClose(h), 0u);
    Bytes got = ReadAll(dir / "w.bin");
    ASSERT_EQ(got.size(), 200004u);
    EXPECT_EQ(got[0], 'a');
    EXPECT_EQ(got[3], 0x11);
    EXPECT_EQ(got.back(), 'z');

    HMMIO full = mmioOpen("/dev/full", MMIO_CREATE | MMIO_WRITE);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(mmioWrite(full, "abc", 3), 3); // buffered
    EXPECT_EQ(mmioClose(full), MMIOERR_CANNOTWRITE);
    EXPECT_EQ(errno, ENOSPC);
}

TEST(RiffFile, OpenFailsForMissingFilesAndFolders)
{
    CTempDir dir;
    int err = 0;
    EXPECT_EQ(mmioOpen(dir / "missing.wav", MMIO_READ, &err), nullptr);
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(mmioOpen(dir.Path().string(), MMIO_READ, &err), nullptr);
    EXPECT_EQ(err, EISDIR);
}
