#include "audio/CWaveData.h"
#include "audio/WaveFile.h"
#include "frame/CCurrentFormat.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"
#include "tests/support/WaveState.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {
Bytes ExtensibleFmt(const PcmFormat& f, bool pcm)
{
    Bytes b = FmtBody(f);
    b[0] = 0xFE;
    b[1] = 0xFF;
    Put16(b, 22);     // cbSize
    Put16(b, f.bits); // valid bits
    Put32(b, f.channels == 2 ? 3 : 4);
    const std::uint8_t guid[16] = {pcm ? std::uint8_t{1} : std::uint8_t{3}, 0, 0, 0, 0, 0, 0x10, 0,
                                   0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), guid, guid + 16);
    return b;
}

class WaveFileTest : public ::testing::Test {
protected:
    CTempDir dir;
    CCurrentFormat frame;
    CWaveData wave;
    SReason error;

    int Load(const Bytes& file, const std::string& name = "in.wav")
    {
        WriteAll(dir / name, file);
        error = SReason();
        return LoadWaveFile(dir / name, wave, frame, error);
    }
};
} // namespace

TEST(WaveFileType, ExtensionDecidesTheType)
{
    struct Case {
        const char* path;
        int type;
    };
    const Case cases[] = {{"a.wav", 1}, {"A.WAV", 1}, {"/x/y.Wav", 1}, {".wav", 1}, {"wav", 1},
                          {"b.au", 2}, {"b.AU", 2}, {"c.wave", 0}, {"d.mp3", 0}, {"", 0},
                          {"dir.wav/file", 0}, {"音.wav", 1}, {"a.wav.bak", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(GetFileType(c.path), c.type) << c.path;
}

TEST_F(WaveFileTest, SaveWritesTheFixedHeaderAndTheValidBytes)
{
    wave.Allocate(1200);
    std::uint8_t* p = wave.LockData();
    Bytes ramp = Ramp(1200);
    std::memcpy(p, ramp.data(), ramp.size());
    wave.UnlockData();
    wave.m_dwDataSize = 1000;
    *wave.m_pFormat = WAVEFORMATEX{1, 2, 44100, 123, 4, 16, 0x7777};
    ASSERT_EQ(SaveWaveFile(dir / "out.wav", wave, error), 1) << error;
    Bytes file = ReadAll(dir / "out.wav");
    ASSERT_EQ(file.size(), 1044u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), Bytes({'R', 'I', 'F', 'F'}));
    EXPECT_EQ(Get32(file, 4), 1036u);
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Get32(file, 16), 16u);
    EXPECT_EQ(0, std::memcmp(file.data() + 20, wave.m_pFormat.get(), 16)); // as they stand
    EXPECT_EQ(Get32(file, 28), 123u);
    EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
    EXPECT_EQ(Get32(file, 40), 1000u);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()), Bytes(ramp.begin(), ramp.begin() + 1000));
}

TEST_F(WaveFileTest, AnEmptyDocumentSavesA44ByteFileThatDoesNotLoad)
{
    ASSERT_EQ(SaveWaveFile(dir / "empty.wav", wave, error), 1) << error;
    Bytes file = ReadAll(dir / "empty.wav");
    ASSERT_EQ(file.size(), 44u);
    EXPECT_EQ(Get32(file, 4), 36u);
    EXPECT_EQ(Load(file), 0);
    EXPECT_EQ(error, FileReason(EReason::DataEmpty, dir / "in.wav"));
}

TEST_F(WaveFileTest, SoxFilesLoadAndSaveBackInThe44ByteLayout)
{
    struct Case {
        std::uint32_t rate;
        int bits, channels;
    };
    const Case cases[] = {{8000, 8, 1}, {11025, 8, 2}, {22050, 16, 1}, {44100, 16, 2},
                          {48000, 8, 1}, {96000, 16, 2}, {16000, 16, 1}, {32000, 8, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + "/" + std::to_string(c.bits) + "/" + std::to_string(c.channels));
        ASSERT_TRUE(SoxSine(dir / "sox.wav", c.rate, c.bits, c.channels));
        Bytes src = ReadAll(dir / "sox.wav");
        ASSERT_EQ(LoadWaveFile(dir / "sox.wav", wave, frame, error), 1) << error;
        EXPECT_EQ(frame.m_dwSamplesPerSec, c.rate);
        EXPECT_EQ(frame.m_wBitsPerSample, c.bits);
        EXPECT_EQ(frame.m_wChannels, c.channels);
        EXPECT_EQ(frame.GetText(IDC_CUR_RATE), std::to_string(c.rate) + " Hz");
        EXPECT_EQ(wave.HasData(), 1);

        ASSERT_EQ(SaveWaveFile(dir / "copy.wav", wave, error), 1) << error;
        Bytes copy = ReadAll(dir / "copy.wav");
        Bytes data = DataOf44(src);
        ASSERT_EQ(copy.size(), 44 + data.size());
        EXPECT_EQ(Bytes(copy.begin() + 12, copy.begin() + 36), Bytes(src.begin() + 12, src.begin() + 36));
        EXPECT_EQ(DataOf44(copy), data);
        EXPECT_EQ(wave.GetFrameCount(), data.size() / (c.bits / 8) / c.channels);
    }
}

TEST_F(WaveFileTest, AcceptsTheLayoutsOtherToolsWrite)
{
    const PcmFormat stereo16{2, 44100, 16};
    const Bytes data = Ramp(40);
    const Bytes oddList = OddListBody();
    Bytes evenList;
    PutTag(evenList, "INFO");
    PutTag(evenList, "ISFT");

    struct Case {
        const char* name;
        Bytes file;
    };
    std::vector<Case> cases;
    auto withChunks = [&](std::initializer_list<std::pair<const char*, Bytes>> chunks) {
        Bytes b;
        for (const auto& [id, body] : chunks)
            PutChunk(b, id, body);
        return RiffWave(b);
    };
    Bytes fmt18 = FmtBody(stereo16);
    Put16(fmt18, 0);
    cases.push_back({"odd LIST between fmt and data", withChunks({{"fmt ", FmtBody(stereo16)}, {"LIST", oddList}, {"data", data}})});
    cases.push_back({"even LIST between fmt and data", withChunks({{"fmt ", FmtBody(stereo16)}, {"LIST", evenList}, {"data", data}})});
    cases.push_back({"odd LIST before fmt", withChunks({{"LIST", oddList}, {"fmt ", FmtBody(stereo16)}, {"data", data}})});
    cases.push_back({"fmt of 18 bytes", withChunks({{"fmt ", fmt18}, {"data", data}})});
    cases.push_back({"extensible fmt of 40 bytes", withChunks({{"fmt ", ExtensibleFmt(stereo16, true)}, {"data", data}})});
    cases.push_back({"chunk after data", withChunks({{"fmt ", FmtBody(stereo16)}, {"data", data}, {"LIST", oddList}})});
    Bytes bigRiff = SimpleWave(stereo16, data);
    bigRiff[4] = bigRiff[5] = bigRiff[6] = bigRiff[7] = 0xFF;
    cases.push_back({"RIFF size larger than the file", bigRiff});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWaveData w;
        WriteAll(dir / "a.wav", c.file);
        ASSERT_EQ(LoadWaveFile(dir / "a.wav", w, frame, error), 1) << error;
        EXPECT_EQ(w.m_pFormat->wFormatTag, 1);
        EXPECT_EQ(w.m_pFormat->nChannels, 2);
        EXPECT_EQ(w.m_pFormat->nSamplesPerSec, 44100u);
        ASSERT_EQ(w.m_dwDataSize, 40u);
        std::uint8_t* p = w.LockData();
        EXPECT_EQ(Bytes(p, p + 40), data);
        w.UnlockData();
        ASSERT_EQ(SaveWaveFile(dir / "b.wav", w, error), 1);
        EXPECT_EQ(ReadAll(dir / "b.wav"), SimpleWave(stereo16, data));
    }
}

TEST_F(WaveFileTest, RefusedFilesFailCleanlyAndChangeNothing)
{
    // Start from a loaded file, so "nothing changed" has something to keep.
    ASSERT_EQ(Load(SimpleWave(PcmFormat{1, 8000, 8}, Ramp(16)), "old.wav"), 1);
    const CWaveState before(wave, frame);

    const PcmFormat ok{2, 22050, 16};
    const Bytes data = Ramp(8);
    auto fmtWith = [&](auto change) {
        PcmFormat f = ok;
        change(f);
        return SimpleWave(f, data);
    };
    auto chunks = [](std::initializer_list<std::pair<const char*, Bytes>> list) {
        Bytes b;
        for (const auto& [id, body] : list)
            PutChunk(b, id, body);
        return b;
    };
    Bytes claimsMore = SimpleWave(ok, data);
    claimsMore[40] = 0xE8; // data size 1000, 8 bytes held
    claimsMore[41] = 0x03;
    Bytes claimsHuge = SimpleWave(ok, data);
    claimsHuge[40] = claimsHuge[41] = claimsHuge[42] = claimsHuge[43] = 0xFF;
    Bytes hugeFirstChunk = RiffWave(chunks({{"LIST", Bytes(4)}, {"fmt ", FmtBody(ok)}, {"data", data}}));
    hugeFirstChunk[16] = hugeFirstChunk[17] = hugeFirstChunk[18] = hugeFirstChunk[19] = 0xFF;
    Bytes shortFmt = FmtBody(ok);
    shortFmt.resize(14);
    Bytes notRiff = SimpleWave(ok, data);
    notRiff[3] = 'X';
    Bytes avi = SimpleWave(ok, data);
    std::memcpy(avi.data() + 8, "AVI ", 4);

    // Each refusal names the file and its own reason, with the numbers the
    // file gave.
    struct Case {
        const char* name;
        Bytes file;
        EReason why;
        std::uint64_t number = 0, number2 = 0;
    };
    const Case cases[] = {
        {"empty file", {}, EReason::NotWave},
        {"text file", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, EReason::NotWave},
        {"not RIFF", notRiff, EReason::NotWave},
        {"RIFF of another form", avi, EReason::NotWave},
        {"no fmt chunk", RiffWave(chunks({{"data", data}})), EReason::NoFormatChunk},
        {"data before fmt", RiffWave(chunks({{"data", data}, {"fmt ", FmtBody(ok)}})), EReason::NoDataChunk},
        {"no data chunk", RiffWave(chunks({{"fmt ", FmtBody(ok)}})), EReason::NoDataChunk},
        {"empty data chunk", SimpleWave(ok, {}), EReason::DataEmpty},
        {"non-PCM tag", fmtWith([](PcmFormat& f) { f.tag = 2; }), EReason::NotPcm, 2},
        {"extensible float of 16 bits", RiffWave(chunks({{"fmt ", ExtensibleFmt(ok, false)}, {"data", data}})),
         EReason::EncodingSampleSize, 16, 3},
        {"fmt chunk of 14 bytes", RiffWave(chunks({{"fmt ", shortFmt}, {"data", data}})), EReason::FormatChunkShort,
         14},
        {"no channels", fmtWith([](PcmFormat& f) { f.channels = 0; }), EReason::ChannelCount, 0},
        {"3 channels", fmtWith([](PcmFormat& f) { f.channels = 3; }), EReason::ChannelCount, 3},
        {"12 bits", fmtWith([](PcmFormat& f) { f.bits = 12; }), EReason::SampleSize, 12},
        {"4 bits", fmtWith([](PcmFormat& f) { f.bits = 4; }), EReason::SampleSize, 4},
        {"rate 0", fmtWith([](PcmFormat& f) { f.rate = 0; }), EReason::SampleRateZero},
        {"data claims more than the file", claimsMore, EReason::DataTruncated, 1000, 8},
        {"data claims 4 GB", claimsHuge, EReason::DataTruncated, 0xFFFFFFFF, 8},
        {"first chunk claims 4 GB", hugeFirstChunk, EReason::NoFormatChunk},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Load(c.file), 0) << c.name;
        SReason expected = NumberReason(c.why, c.number, c.number2);
        expected.path = dir / "in.wav";
        EXPECT_EQ(error, expected) << c.name;
        EXPECT_TRUE(CWaveState(wave, frame) == before) << c.name;
    }
    // A size the file cannot hold is refused before any memory is sought.
    GlobalSetAllocLimit(1 << 20);
    EXPECT_EQ(Load(claimsHuge), 0);
    GlobalSetAllocLimit(0);
    EXPECT_EQ(error.code, EReason::DataTruncated) << error;

    error = SReason();
    EXPECT_EQ(LoadWaveFile(dir / "missing.wav", wave, frame, error), 0);
    EXPECT_EQ(error, FileReason(EReason::FileOpen, dir / "missing.wav", ENOENT));
    EXPECT_TRUE(CWaveState(wave, frame) == before);
}

TEST_F(WaveFileTest, EveryTruncationFailsCleanly)
{
    const Bytes list = OddListBody();
    Bytes chunks;
    PutChunk(chunks, "fmt ", FmtBody(PcmFormat{2, 11025, 8}));
    PutChunk(chunks, "LIST", list);
    PutChunk(chunks, "data", Ramp(10));
    const Bytes full = RiffWave(chunks);
    ASSERT_EQ(Load(SimpleWave(PcmFormat{1, 8000, 16}, Ramp(6)), "old.wav"), 1);
    const CWaveState before(wave, frame);
    for (std::size_t n = 0; n < full.size(); ++n) {
        ASSERT_EQ(Load(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n))), 0) << n;
        ASSERT_TRUE(CWaveState(wave, frame) == before) << n;
    }
    EXPECT_EQ(Load(full), 1) << error;
    EXPECT_EQ(frame.m_dwSamplesPerSec, 11025u);
    EXPECT_EQ(frame.GetText(IDC_DATA_BYTES), "10");
}

TEST_F(WaveFileTest, AFailedSaveLeavesTheOldFileAndNoTemporary)
{
    const Bytes old = SimpleWave(PcmFormat{}, Ramp(50));
    WriteAll(dir / "keep.wav", old);
    wave.Allocate(400000);
    std::uint8_t* p = wave.LockData();
    std::memset(p, 0x42, 400000);
    wave.UnlockData();
    wave.m_dwDataSize = 400000;

    // A file-size limit makes the write fail part-way (as a full disk does).
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = SaveWaveFile(dir / "keep.wav", wave, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, FileReason(EReason::FileWrite, dir / "keep.wav", EFBIG));
    EXPECT_EQ(ReadAll(dir / "keep.wav"), old);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"keep.wav"});

    EXPECT_EQ(SaveWaveFile(dir / "no/such/folder.wav", wave, error), 0);
    EXPECT_EQ(error, FileReason(EReason::FileWrite, dir / "no/such/folder.wav", ENOENT));
}

// The save in two steps: the staged file is the save's layout of the audio
// as it was at Begin; after Rewrite of a range, Commit leaves exactly what
// SaveWaveFile of the changed audio writes; the target is untouched until
// then, and nothing is left when the save is dropped.
TEST_F(WaveFileTest, AStagedSaveWritesWhatASaveWrites)
{
    wave.Allocate(1000);
    std::uint8_t* p = wave.LockData();
    const Bytes ramp = Ramp(1000);
    std::memcpy(p, ramp.data(), ramp.size());
    wave.UnlockData();
    wave.m_dwDataSize = 1000;
    *wave.m_pFormat = WAVEFORMATEX{1, 2, 22050, 88200, 4, 16, 0};
    const Bytes old = SimpleWave(PcmFormat{}, Ramp(50));
    WriteAll(dir / "out.wav", old);
    ASSERT_EQ(SaveWaveFile(dir / "before.wav", wave, error), 1);

    struct SCase {
        const char* name;
        std::uint32_t start, bytes; // changed and rewritten
        std::uint32_t shrinkTo;     // a new data size, 0 for none
    };
    const SCase cases[] = {{"a middle stretch", 400, 120, 0},
                           {"all", 0, 1000, 0},
                           {"past the end (clipped)", 996, 400, 0},
                           {"nothing", 10, 0, 0},
                           {"a shorter audio (written again whole)", 0, 0, 600}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        p = wave.LockData();
        std::memcpy(p, ramp.data(), ramp.size());
        wave.UnlockData();
        wave.m_dwDataSize = 1000;
        {
            CStagedWaveSave staged;
            ASSERT_TRUE(staged.Begin(dir / "out.wav", wave, error)) << error;
            EXPECT_EQ(ReadAll(staged.GetStagedPath()), ReadAll(dir / "before.wav"));
            p = wave.LockData();
            for (std::uint32_t k = c.start; k < std::min(1000u, c.start + c.bytes); ++k)
                p[k] = static_cast<std::uint8_t>(~p[k]);
            wave.UnlockData();
            if (c.shrinkTo)
                wave.m_dwDataSize = c.shrinkTo;
            ASSERT_TRUE(staged.Rewrite(wave, c.start, c.bytes, error)) << error;
            EXPECT_EQ(ReadAll(dir / "out.wav"), old);
            ASSERT_TRUE(staged.Commit(error)) << error;
        }
        ASSERT_EQ(SaveWaveFile(dir / "expected.wav", wave, error), 1);
        EXPECT_EQ(ReadAll(dir / "out.wav"), ReadAll(dir / "expected.wav"));
        WriteAll(dir / "out.wav", old);
    }
    {
        CStagedWaveSave dropped;
        ASSERT_TRUE(dropped.Begin(dir / "out.wav", wave, error));
    }
    EXPECT_EQ(ReadAll(dir / "out.wav"), old);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"before.wav", "expected.wav", "out.wav"}));
}
