#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {
// A sound system whose input accepts every buffer and records nothing.
struct FakeAudio : IWaveAudio {
    struct In : IWaveIn {
        MMRESULT AddBuffer(WAVEHDR*) override { return MMSYSERR_NOERROR; }
        MMRESULT Start() override { return MMSYSERR_NOERROR; }
        MMRESULT Reset() override { return MMSYSERR_NOERROR; }
        MMRESULT GetPosition(std::uint32_t& f) override
        {
            f = 0;
            return MMSYSERR_NOERROR;
        }
    };
    std::vector<std::string> OutputDevices() override { return {}; }
    std::vector<std::string> InputDevices() override { return {"fake"}; }
    MMRESULT OpenOutput(int, const WAVEFORMATEX&, IWaveNotify*, std::unique_ptr<IWaveOut>&) override
    {
        return MMSYSERR_NODRIVER;
    }
    MMRESULT OpenInput(int, const WAVEFORMATEX&, IWaveNotify*, std::unique_ptr<IWaveIn>& d) override
    {
        d = std::make_unique<In>();
        return MMSYSERR_NOERROR;
    }
};

class DocTest : public ::testing::Test {
protected:
    CTempDir dir;
    CCurrentFormat frame;
    COndrelDoc doc{frame};

    Bytes Content()
    {
        std::uint8_t* p = doc.LockData();
        Bytes b(p, p + doc.GetDataSize());
        doc.UnlockData();
        return b;
    }
    std::string Write(const std::string& name, const Bytes& file)
    {
        WriteAll(dir / name, file);
        return dir / name;
    }
};
} // namespace

TEST_F(DocTest, OpeningAWavFileLoadsItAndWithdrawsUndo)
{
    const Bytes data = Ramp(20);
    const std::string path = Write("a.wav", SimpleWave(PcmFormat{2, 44100, 16}, data));
    doc.m_bCanUndo = 1; // left over from a change to the previous file
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnOpenDocument(path)) << doc.GetError();
    EXPECT_EQ(doc.m_bCanUndo, 0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(Content(), data);
    EXPECT_EQ(frame.GetText(IDC_CUR_CHANNELS), "Stereo");
    EXPECT_EQ(frame.GetText(IDC_DATA_BYTES), "20");
}

TEST_F(DocTest, AFailedOpenKeepsTheAudioAndItsUnsavedState)
{
    const Bytes data = Ramp(16);
    ASSERT_TRUE(doc.OnOpenDocument(Write("a.wav", SimpleWave(PcmFormat{1, 8000, 8}, data))));
    doc.m_bCanUndo = 1;
    doc.SetModifiedFlag();

    struct Case {
        const char* name;
        std::string path;
        int canUndoAfter;
        EReason why;
        int err;
    };
    const Case cases[] = {
        {"broken .wav", Write("bad.wav", Bytes{'R', 'I', 'F', 'F', 0, 0}), 1, EReason::NotWave, 0},
        {"missing file", dir / "missing.wav", 1, EReason::FileOpen, ENOENT},
        {"not a .wav name", Write("song.mp3", SimpleWave(PcmFormat{}, Ramp(4))), 0, EReason::OpenNotWav, 0},
    };
    for (const Case& c : cases) {
        doc.m_bCanUndo = 1;
        EXPECT_FALSE(doc.OnOpenDocument(c.path)) << c.name;
        EXPECT_EQ(doc.GetError(), FileReason(c.why, c.path, c.err)) << c.name;
        EXPECT_TRUE(doc.IsModified()) << c.name;
        EXPECT_EQ(doc.m_bCanUndo, c.canUndoAfter) << c.name;
        EXPECT_EQ(Content(), data) << c.name;
        EXPECT_EQ(frame.m_dwSamplesPerSec, 8000u) << c.name;
    }
}

TEST_F(DocTest, SavingWritesOnlyWavNamesAndClearsTheModifiedFlag)
{
    ASSERT_TRUE(doc.OnOpenDocument(Write("a.wav", SimpleWave(PcmFormat{}, Ramp(8)))));
    doc.SetModifiedFlag();

    EXPECT_FALSE(doc.OnSaveDocument(dir / "out.au"));
    EXPECT_EQ(doc.GetError(), FileReason(EReason::SaveNotWav, dir / "out.au"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(std::filesystem::exists(dir / "out.au"));

    EXPECT_FALSE(doc.OnSaveDocument(dir / "no/folder/out.wav"));
    EXPECT_EQ(doc.GetError(), FileReason(EReason::FileWrite, dir / "no/folder/out.wav", ENOENT));
    EXPECT_TRUE(doc.IsModified());

    ASSERT_TRUE(doc.OnSaveDocument(dir / "out.wav")) << doc.GetError();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(ReadAll(dir / "out.wav"), SimpleWave(PcmFormat{}, Ramp(8)));

    // The undo copy is written with SaveWaveFile and must not count as saving.
    doc.SetModifiedFlag();
    ASSERT_EQ(doc.SaveWaveFile(dir / "undo.wav"), 1);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(DocTest, NewKeepsTheAudioUnderNoName)
{
    const std::string path = Write("a.wav", SimpleWave(PcmFormat{}, Ramp(8)));
    ASSERT_TRUE(doc.OnOpenDocument(path));
    doc.SetPathName(path);
    doc.m_bCanUndo = 1;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_EQ(doc.HasData(), 1);
    EXPECT_EQ(Content(), Ramp(8));
    EXPECT_EQ(doc.m_bCanUndo, 1);
}

TEST_F(DocTest, RecordingBlockAndItsEnd)
{
    frame.SetFormat(22050, 1, 16); // what the panel would give
    FakeAudio audio;
    SetWaveAudio(&audio);
    ASSERT_EQ(doc.BeginRecording(nullptr), 0) << doc.GetError();
    EXPECT_EQ(GlobalSize(doc.m_wave.m_hData), 2646000u); // 60 x 16 x 1 x 22050 / 8
    EXPECT_EQ(doc.m_wave.m_waveHdr.dwBufferLength, 2646000u);
    EXPECT_EQ(doc.GetDataSize(), 0u);
    EXPECT_TRUE(doc.m_wave.IsDeviceBusy());
    doc.CloseRecording();
    EXPECT_FALSE(doc.m_wave.IsDeviceBusy());
    SetWaveAudio(nullptr);

    struct Case {
        std::uint16_t bits, channels;
        std::uint32_t bytes, recorded, size;
    };
    const Case cases[] = {{8, 1, 0, 22050, 22050},
                          {16, 2, 0, 22050, 88200},
                          {16, 2, 1000, 5, 1000},
                          {16, 2, 0, 10000000, 2646000}}; // never past the block
    for (const Case& c : cases) {
        doc.m_wave.m_pFormat->wBitsPerSample = c.bits;
        doc.m_wave.m_pFormat->nChannels = c.channels;
        doc.m_wave.m_dwRecordedSamples = c.recorded;
        doc.m_bCanUndo = 1;
        doc.SetModifiedFlag(false);
        doc.FinishRecording(c.bytes);
        EXPECT_EQ(doc.GetDataSize(), c.size);
        EXPECT_EQ(doc.m_bCanUndo, 0);
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(frame.m_wBitsPerSample, c.bits);
        EXPECT_EQ(frame.m_wChannels, c.channels);
    }

    // 38.4 GB: beyond a WAV file; refused before anything changes. So is a
    // recording without a sound system.
    const std::uint32_t size = doc.GetDataSize();
    frame.SetFormat(96000, 2, 16);
    frame.m_nRecordSeconds = 100000;
    EXPECT_NE(doc.BeginRecording(nullptr), 0);
    EXPECT_EQ(doc.GetError(), NumberReason(EReason::RecordingTooLong, 100000));
    frame.m_nRecordSeconds = 1;
    EXPECT_EQ(doc.BeginRecording(nullptr), int(MMSYSERR_NODRIVER));
    EXPECT_EQ(doc.GetError(), NumberReason(EReason::InputOpen, MMSYSERR_NODRIVER));
    EXPECT_EQ(doc.GetDataSize(), size);
    EXPECT_EQ(doc.m_wave.m_pFormat->nChannels, 2); // the recorded format of the last case above
}

TEST_F(DocTest, SineWritersFollowTheFormula)
{
    doc.m_wave.m_pFormat->nSamplesPerSec = 8000;
    doc.m_wave.m_pFormat->nChannels = 1;
    std::uint8_t b[4];
    doc.WriteSine8(b, 4, 2000, 100); // a quarter of the rate
    // Frame 2 is sin of the double nearest pi, a hair above 0: 127 - s
    // truncates to 126.
    EXPECT_EQ(Bytes(b, b + 4), Bytes({127, 27, 126, 227}));
    doc.WriteSine8(b, 2, 2000, 200); // 127 - 200 keeps its low 8 bits
    EXPECT_EQ(b[1], static_cast<std::uint8_t>(-73));
    doc.WriteSine8(b, 1, 123, 1e6);
    EXPECT_EQ(b[0], 127); // the first frame is the centre whatever the amplitude

    doc.m_wave.m_pFormat->nChannels = 2;
    std::uint8_t w[16];
    doc.WriteSine16(w, 4, 2000, 1000);
    auto at = [&](int i) { return static_cast<std::int16_t>(w[2 * i] | w[2 * i + 1] << 8); };
    const int expect[8] = {0, 0, 1000, 1000, 0, 0, -1000, -1000};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(at(i), expect[i]) << i;

    std::uint8_t s[2];
    doc.WriteSine8(s, 1, 1, 1); // stereo 8-bit: the value twice
    EXPECT_EQ(s[0], 127);
    EXPECT_EQ(s[1], 127);
}

TEST_F(DocTest, ReversalKeepsSamplesInsideAFrameInOrder)
{
    std::uint8_t bytes[3] = {1, 2, 3};
    doc.ReverseBytes(bytes, 3);
    EXPECT_EQ(Bytes(bytes, bytes + 3), Bytes({3, 2, 1}));

    std::uint8_t stereo8[4] = {0x11, 0x12, 0x21, 0x22}; // (L1 R1)(L2 R2)
    doc.ReverseWordFrames(stereo8, 2);
    EXPECT_EQ(Bytes(stereo8, stereo8 + 4), Bytes({0x21, 0x22, 0x11, 0x12}));

    std::uint8_t words[6] = {1, 2, 3, 4, 5, 6};
    doc.ReverseWords(words, 3);
    EXPECT_EQ(Bytes(words, words + 6), Bytes({5, 6, 3, 4, 1, 2}));

    std::uint8_t dwords[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    doc.ReverseDwords(dwords, 2);
    EXPECT_EQ(Bytes(dwords, dwords + 8), Bytes({5, 6, 7, 8, 1, 2, 3, 4}));
    doc.ReverseDwords(dwords, 1);
    doc.ReverseDwords(dwords, 0);
    EXPECT_EQ(Bytes(dwords, dwords + 8), Bytes({5, 6, 7, 8, 1, 2, 3, 4}));
}

TEST_F(DocTest, SineValuesMatchTheExtendedPrecisionFormulaEverywhere)
{
    struct Case {
        std::uint32_t rate;
        double frequency, amplitude;
        std::uint32_t first;
    };
    const Case cases[] = {{44100, 440.0, 16384, 0},     {22050, 1000.5, 32512, 0},
                          {8000, -123.25, 127, 0},      {96000, 11025.0, 32512, 40000000},
                          {44100, 440.0, 100, 26000000},
                          // Values on integers (a quarter and half the rate,
                          // silence) and the last frame index there is.
                          {8000, 2000.0, 1000, 12345},  {48000, 24000.0, 32512, 4294767296u},
                          {44100, 440.0, 0, 7}};
    for (const Case& c : cases) {
        doc.m_wave.m_pFormat->nSamplesPerSec = c.rate;
        doc.m_wave.m_pFormat->nChannels = 1;
        const std::uint32_t n = 200000;
        std::vector<std::uint8_t> w(2 * n), b(n);
        doc.WriteSine16From(w.data(), c.first, n, c.frequency, c.amplitude);
        doc.WriteSine8From(b.data(), c.first, n, c.frequency, c.amplitude);
        for (std::uint32_t k = 0; k < n; ++k) {
            const std::uint32_t i = c.first + k;
            const long double x = ((static_cast<long double>(i) * c.frequency) * 6.283185307179586) / c.rate;
            const long double s = c.amplitude * std::sin(x); // the long double overload
            const auto v16 = static_cast<std::int16_t>(static_cast<long long>(s));
            const auto v8 = static_cast<std::uint8_t>(static_cast<long long>(127 - s));
            ASSERT_EQ(static_cast<std::int16_t>(w[2 * k] | w[2 * k + 1] << 8), v16) << c.rate << " frame " << i;
            ASSERT_EQ(b[k], v8) << c.rate << " frame " << i;
        }
    }
}
