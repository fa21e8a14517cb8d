// The effect commands on the document: the window taken from the selection,
// undo after every command, and the cases where nothing may change (the
// undo copy cannot be written, the run is cancelled).

#include "doc/COndrelDoc.h"
#include "effects/EffectCommands.h"
#include "frame/CCurrentFormat.h"
#include "platform/ProcessCache.h"
#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
class CommandTest : public ::testing::Test {
protected:
    CTempDir dir;
    CCurrentFormat frame;
    COndrelDoc doc{frame};
    CDirectRunner runner;

    void SetUp() override
    {
        setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
        RemoveProcessCacheFolder();
    }
    void TearDown() override { RemoveProcessCacheFolder(); }

    void Load(const PcmFormat& f, const Bytes& data)
    {
        WriteAll(dir / "in.wav", SimpleWave(f, data));
        ASSERT_EQ(doc.LoadWaveFile(dir / "in.wav"), 1) << doc.GetError();
    }
    Bytes Data()
    {
        std::uint8_t* p = doc.LockData();
        Bytes b(p, p + doc.GetDataSize());
        doc.UnlockData();
        return b;
    }
    static std::int16_t S16(const Bytes& b, std::size_t i) { return static_cast<std::int16_t>(b[2 * i] | b[2 * i + 1] << 8); }
};

// A runner whose progress asks to stop at the first report.
class CStoppingRunner : public CEffectRunner {
public:
    int Run(const std::function<int(CEffectProgress*)>& work, std::uint32_t) override
    {
        struct Stop : CEffectProgress {
            bool Continue(std::uint32_t, std::uint32_t) override { return false; }
        } stop;
        return work(&stop);
    }
};
} // namespace

TEST_F(CommandTest, TheWindowComesFromTheSelection)
{
    Load(PcmFormat{2, 8000, 16}, Ramp(4 * 1000));
    const SEffectWindow w = EffectWindow(doc, 400, 40);
    EXPECT_EQ(w.start, 400u);
    EXPECT_EQ(w.frames, 10u);
    const SEffectWindow all = EffectWindow(doc, 1234, 0);
    EXPECT_EQ(all.start, 0u);
    EXPECT_EQ(all.frames, 1000u);
    const SEffectWindow past = EffectWindow(doc, 3980, 400); // kept to the data
    EXPECT_EQ(past.frames, 5u);
}

TEST_F(CommandTest, AnEngineEffectWritesOnlyTheSelectedBytes)
{
    // 10 frames from frame 100 of 16-bit stereo: bytes 400..439 only.
    const Bytes before = Ramp(4 * 8000);
    Load(PcmFormat{2, 8000, 16}, before);
    ASSERT_EQ(ApplyTremolo(doc, 400, 40, STremoloParams{3.0, 1.0}, runner), EApplyResult::Applied);
    const Bytes after = Data();
    for (std::size_t i = 0; i < after.size(); ++i)
        if (i < 400 || i >= 440)
            ASSERT_EQ(after[i], before[i]) << i;
    EXPECT_NE(Bytes(after.begin() + 400, after.begin() + 440), Bytes(before.begin() + 400, before.begin() + 440));
}

TEST_F(CommandTest, EveryCommandCanBeUndoneExactly)
{
    const Bytes before = Ramp(4 * 3000);
    struct Case {
        const char* name;
        std::function<EApplyResult()> run;
    };
    const Case cases[] = {
        {"reverse", [&] { return ReverseSelection(doc, 0, 0, runner); }},
        {"echo", [&] { return ApplyEcho(doc, 0, 0, SEchoParams{}, runner); }},
        {"chorus", [&] { return ApplyChorus(doc, 0, 0, SChorusParams{}, runner); }},
        {"voice", [&] { return ApplyVoiceChanger(doc, 0, 0, SVoiceParams{}, runner); }},
        {"vibrato", [&] { return ApplyVibrato(doc, 0, 0, SVibratoParams{}, runner); }},
        {"tremolo", [&] { return ApplyTremolo(doc, 0, 0, STremoloParams{}, runner); }},
        {"sine", [&] { return GenerateSineWave(doc, 400, 400, SSineParams{440.0, 16384}, runner); }},
    };
    for (const Case& c : cases) {
        Load(PcmFormat{2, 8000, 16}, before);
        doc.SetModifiedFlag(false);
        doc.m_bCanUndo = 0;
        const std::uint64_t version = doc.m_wave.m_nDataVersion;
        ASSERT_EQ(c.run(), EApplyResult::Applied) << c.name << ": " << doc.GetError();
        EXPECT_NE(Data(), before) << c.name;
        EXPECT_TRUE(doc.IsModified()) << c.name;
        EXPECT_EQ(doc.m_bCanUndo, 1) << c.name;
        EXPECT_NE(doc.m_wave.m_nDataVersion, version) << c.name; // the view's summary is redone
        ASSERT_EQ(doc.OnEditUndo(), 1) << c.name;
        EXPECT_EQ(Data(), before) << c.name;
    }
}

TEST_F(CommandTest, NothingChangesWhenTheUndoCopyCannotBeWritten)
{
    const Bytes before = Ramp(2000);
    Load(PcmFormat{1, 8000, 16}, before);
    RemoveProcessCacheFolder();
    WriteAll(dir / "blocked", std::string("a file"));
    setenv("XDG_CACHE_HOME", (dir / "blocked").c_str(), 1);
    doc.SetModifiedFlag(false);
    EXPECT_EQ(ApplyEcho(doc, 0, 0, SEchoParams{}, runner), EApplyResult::Refused);
    EXPECT_EQ(doc.GetError(), InContext(FileReason(EReason::FolderCreate, dir / "blocked/ondrel", ENOTDIR),
                                        EReasonContext::UndoCopy));
    EXPECT_EQ(ReverseSelection(doc, 0, 0, runner), EApplyResult::Refused);
    EXPECT_EQ(Data(), before);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.m_bCanUndo, 0);
}

TEST_F(CommandTest, ACancelledRunLeavesTheDataAsItWas)
{
    const Bytes before = Ramp(4 * 200000); // several progress reports long
    CStoppingRunner stopping;
    for (int which = 0; which < 2; ++which) {
        Load(PcmFormat{2, 44100, 16}, before);
        doc.SetModifiedFlag(false);
        const EApplyResult r = which == 0 ? ApplyEcho(doc, 0, 0, SEchoParams{}, stopping)
                                          : GenerateSineWave(doc, 0, 0, SSineParams{440.0, 16384}, stopping);
        EXPECT_EQ(r, EApplyResult::Cancelled) << which;
        EXPECT_EQ(Data(), before) << which;
        EXPECT_FALSE(doc.IsModified()) << which;
        EXPECT_EQ(doc.m_bCanUndo, 0) << which;
    }
}

TEST_F(CommandTest, ReverseKeepsChannelsAndTheMiddleFrame)
{
    // 16-bit stereo (L1,R1)(L2,R2)(L3,R3) -> (L3,R3)(L2,R2)(L1,R1).
    Bytes data;
    for (std::uint16_t v : {0x1111, 0x2111, 0x1222, 0x2222, 0x1333, 0x2333})
        Put16(data, v);
    Load(PcmFormat{2, 8000, 16}, data);
    ASSERT_EQ(ReverseSelection(doc, 0, 0, runner), EApplyResult::Applied);
    Bytes expected;
    for (std::uint16_t v : {0x1333, 0x2333, 0x1222, 0x2222, 0x1111, 0x2111})
        Put16(expected, v);
    EXPECT_EQ(Data(), expected);
    ASSERT_EQ(ReverseSelection(doc, 0, 0, runner), EApplyResult::Applied);
    EXPECT_EQ(Data(), data); // twice: as before

    // One frame: unchanged, but still a change that can be undone.
    Load(PcmFormat{1, 8000, 8}, Bytes{1, 2, 3, 4, 5});
    doc.SetModifiedFlag(false);
    ASSERT_EQ(ReverseSelection(doc, 2, 1, runner), EApplyResult::Applied);
    EXPECT_EQ(Data(), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.m_bCanUndo, 1);
    // A selection of 8-bit mono bytes 1..3 reversed in place.
    ASSERT_EQ(ReverseSelection(doc, 1, 3, runner), EApplyResult::Applied);
    EXPECT_EQ(Data(), (Bytes{1, 4, 3, 2, 5}));
}

TEST_F(CommandTest, SineWaveStartsAtTheSelectionAndFillsBothChannels)
{
    // 16-bit mono, A = 16384, f = rate / 4: 0, 16384, 0, -16384, ...
    Load(PcmFormat{1, 8000, 16}, Bytes(2 * 16, 0x55));
    ASSERT_EQ(GenerateSineWave(doc, 8, 16, SSineParams{2000.0, 16384}, runner), EApplyResult::Applied);
    const Bytes d = Data();
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(S16(d, i), 0x5555) << i; // before the selection: untouched
    const int expected[8] = {0, 16384, 0, -16384, 0, 16384, 0, -16384};
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(S16(d, 4 + i), expected[i]) << i; // phase 0 at the selection start
    for (std::size_t i = 12; i < 16; ++i)
        EXPECT_EQ(S16(d, i), 0x5555) << i;

    // 8-bit stereo: both bytes of every frame equal; centred on 127.
    Load(PcmFormat{2, 8000, 8}, Bytes(2 * 8, 0));
    ASSERT_EQ(GenerateSineWave(doc, 0, 0, SSineParams{1000.0, 100}, runner), EApplyResult::Applied);
    const Bytes e = Data();
    EXPECT_EQ(e[0], 127);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(e[2 * i], e[2 * i + 1]) << i;
    EXPECT_EQ(e[4], static_cast<std::uint8_t>(127 - 100)); // frame 2: a quarter period
}

// A runner that keeps what the run reports and stops it at report `stopAt`
// (never, when 0).
class CCountingRunner : public CEffectRunner {
public:
    explicit CCountingRunner(std::size_t stopAt) : m_stopAt(stopAt) {}
    int Run(const std::function<int(CEffectProgress*)>& work, std::uint32_t totalFrames) override
    {
        total = totalFrames;
        struct Progress : CEffectProgress {
            CCountingRunner& runner;
            explicit Progress(CCountingRunner& r) : runner(r) {}
            bool Continue(std::uint32_t done, std::uint32_t framesTotal) override
            {
                runner.reports.emplace_back(done, framesTotal);
                return runner.reports.size() != runner.m_stopAt;
            }
        } progress(*this);
        return work(&progress);
    }
    std::uint32_t total = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> reports;

private:
    std::size_t m_stopAt;
};

// Every run reports against the total it was given (the selection for the
// in-place work, the file for the engine) and stops when asked midway; the
// stopped run leaves the data and the earlier undo point as they were.
TEST_F(CommandTest, RunsReportTheirOwnTotalAndStopMidway)
{
    const Bytes before = Ramp(300000); // 8-bit mono: 300,000 frames
    struct Case {
        const char* name;
        std::uint32_t total;
        std::function<EApplyResult(CEffectRunner&)> run;
    };
    const Case cases[] = {
        {"reverse", 280000, [&](CEffectRunner& r) { return ReverseSelection(doc, 1000, 280000, r); }},
        {"sine", 200000, [&](CEffectRunner& r) { return GenerateSineWave(doc, 5000, 200000, SSineParams{440, 100}, r); }},
        {"echo", 299990, [&](CEffectRunner& r) { return ApplyEcho(doc, 5000, 200000, SEchoParams{}, r); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(PcmFormat{1, 8000, 8}, before);
        ASSERT_EQ(doc.DeleteRange(0, 10), 1);
        const Bytes deleted = Data();
        doc.SetModifiedFlag(false);

        CCountingRunner all(0);
        ASSERT_EQ(c.run(all), EApplyResult::Applied);
        EXPECT_EQ(all.total, c.total);
        ASSERT_GE(all.reports.size(), 2u);
        for (const auto& [done, total] : all.reports) {
            EXPECT_EQ(total, c.total);
            EXPECT_LT(done, total);
        }
        ASSERT_EQ(doc.OnEditUndo(), 1);
        EXPECT_EQ(Data(), deleted);

        ASSERT_EQ(doc.DeleteRange(0, 0), 1);
        Load(PcmFormat{1, 8000, 8}, before);
        ASSERT_EQ(doc.DeleteRange(0, 10), 1);
        doc.SetModifiedFlag(false);
        CCountingRunner stopped(2);
        EXPECT_EQ(c.run(stopped), EApplyResult::Cancelled);
        EXPECT_EQ(stopped.reports.size(), 2u);
        EXPECT_EQ(Data(), deleted);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.m_bCanUndo, 1);
        ASSERT_EQ(doc.OnEditUndo(), 1);
        EXPECT_EQ(Data(), before);
    }
}
