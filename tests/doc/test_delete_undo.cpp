#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "platform/ProcessCache.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <numeric>
#include <optional>

namespace {
namespace fs = std::filesystem;

// The bytes 00 01 ... n-1.
Bytes Seq(std::size_t n)
{
    Bytes b(n);
    std::iota(b.begin(), b.end(), std::uint8_t{0});
    return b;
}

class CCountingView : public CView {
public:
    int updates = 0;
    void OnUpdate(CView*, std::intptr_t, void*) override { ++updates; }
};

// Every test keeps its undo copies in its own temporary cache folder.
class DeleteUndo : public ::testing::Test {
protected:
    CTempDir dir;
    CCurrentFormat frame;
    COndrelDoc doc{frame};
    CCountingView view;

    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_CACHE_HOME"))
            m_oldCache = old;
        SetCacheHome(dir / "cache");
        doc.AddView(&view);
    }
    void TearDown() override
    {
        RemoveProcessCacheFolder();
        if (m_oldCache)
            ::setenv("XDG_CACHE_HOME", m_oldCache->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }
    static void SetCacheHome(const std::string& path) { ::setenv("XDG_CACHE_HOME", path.c_str(), 1); }

    void Load(const PcmFormat& f, const Bytes& data)
    {
        WriteAll(dir / "in.wav", SimpleWave(f, data));
        ASSERT_EQ(doc.LoadWaveFile(dir / "in.wav"), 1) << doc.GetError();
    }
    Bytes Content() { return Block(doc.GetDataSize()); }
    // The first `n` bytes of the block, valid or not.
    Bytes Block(std::size_t n)
    {
        std::uint8_t* p = doc.LockData();
        Bytes b(p, p + n);
        doc.UnlockData();
        return b;
    }
    std::string UndoPath()
    {
        std::string path;
        EXPECT_TRUE(doc.GetUndoFilePath(path)) << doc.GetError();
        return path;
    }

private:
    std::optional<std::string> m_oldCache;
};

const PcmFormat kMono16{1, 22050, 16};
} // namespace

TEST_F(DeleteUndo, DeletionMovesTheTailDownAndUndoBringsItAllBack)
{
    struct Case {
        std::uint32_t offset, length;
        Bytes after;
    };
    const Case cases[] = {
        {4, 4, {0x00, 0x01, 0x02, 0x03, 0x08, 0x09, 0x0A, 0x0B}},
        {0, 4, {0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B}},
        {8, 4, Seq(8)},                  // ends at the last byte
        {10, 100, Seq(10)},              // cut to the data
        {0, 12, {}},                     // everything
        {4, UINT32_MAX, Seq(4)},         // offset + length beyond 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "offset " << c.offset << " length " << c.length);
        Load(kMono16, Seq(12));
        doc.m_bCanUndo = 0;
        doc.SetModifiedFlag(false);
        view.updates = 0;
        const std::uint64_t version = doc.m_wave.m_nDataVersion;

        ASSERT_EQ(doc.DeleteRange(c.offset, c.length), 1) << doc.GetError();
        EXPECT_EQ(Content(), c.after);
        EXPECT_EQ(doc.GetDataSize(), c.after.size());
        EXPECT_EQ(GlobalSize(doc.m_wave.m_hData), 12u); // the block keeps its size
        if (std::uint64_t{c.offset} + c.length >= 12) {
            EXPECT_EQ(Block(12), Seq(12)); // a range up to the end only lowers the size
        }
        EXPECT_TRUE(doc.CanUndo());
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(view.updates, 1);
        EXPECT_NE(doc.m_wave.m_nDataVersion, version);
        // The undo copy is the audio as it was before the change.
        EXPECT_EQ(ReadAll(UndoPath()), SimpleWave(kMono16, Seq(12)));

        const std::uint64_t deleted = doc.m_wave.m_nDataVersion;
        ASSERT_EQ(doc.OnEditUndo(), 1) << doc.GetError();
        EXPECT_EQ(Content(), Seq(12));
        EXPECT_FALSE(doc.CanUndo());
        EXPECT_TRUE(doc.IsModified()); // undo is a change like any other
        EXPECT_EQ(view.updates, 2);
        EXPECT_NE(doc.m_wave.m_nDataVersion, deleted);
    }
}

TEST_F(DeleteUndo, AnEmptyRangeChangesNothing)
{
    Load(kMono16, Seq(12));
    doc.SetModifiedFlag(false);
    const std::uint64_t version = doc.m_wave.m_nDataVersion;
    for (auto [offset, length] : {std::pair{4u, 0u}, std::pair{12u, 4u}, std::pair{100u, 4u}}) {
        EXPECT_EQ(doc.DeleteRange(offset, length), 1);
        EXPECT_EQ(Content(), Seq(12));
    }
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(view.updates, 0);
    EXPECT_EQ(doc.m_wave.m_nDataVersion, version);
    EXPECT_FALSE(fs::exists(UndoPath()));
}

TEST_F(DeleteUndo, UndoGoesBackOneDeletionOnly)
{
    Load(kMono16, Seq(12));
    ASSERT_EQ(doc.DeleteRange(0, 2), 1);
    ASSERT_EQ(doc.DeleteRange(4, 4), 1);
    EXPECT_EQ(Content(), Bytes({0x02, 0x03, 0x04, 0x05, 0x0A, 0x0B}));
    ASSERT_EQ(doc.OnEditUndo(), 1);
    EXPECT_EQ(Content(), Bytes({0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B}));
}

TEST_F(DeleteUndo, UndoIsOfferedOnlyWhileItHoldsTheStateBeforeTheLastChange)
{
    struct Step {
        const char* name;
        std::function<void()> run;
        bool canUndo;
    };
    const Step steps[] = {
        {"fresh document, flag set", [&] { doc.m_bCanUndo = 1; }, false}, // no audio yet
        {"load", [&] { doc.m_bCanUndo = 0; Load(kMono16, Seq(12)); }, false},
        {"delete", [&] { doc.DeleteRange(0, 2); }, true},
        {"undo", [&] { doc.OnEditUndo(); }, false},
        {"delete again", [&] { doc.DeleteRange(0, 2); }, true},
        {"end of a recording", [&] { doc.FinishRecording(4); }, false},
    };
    for (const Step& s : steps) {
        s.run();
        EXPECT_EQ(doc.CanUndo(), s.canUndo) << s.name;
    }
}

TEST_F(DeleteUndo, UndoRestoresTheFormatAndItsReadouts)
{
    Load(PcmFormat{2, 11025, 8}, Seq(12));
    ASSERT_EQ(doc.DeleteRange(2, 4), 1);
    // Meanwhile the current format has moved on (a recording setup, say).
    frame.SetFormat(44100, 1, 16);
    frame.SetDataSize(0);
    *doc.m_wave.m_pFormat = WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};

    ASSERT_EQ(doc.OnEditUndo(), 1) << doc.GetError();
    EXPECT_EQ(doc.m_wave.m_pFormat->nChannels, 2u);
    EXPECT_EQ(doc.m_wave.m_pFormat->wBitsPerSample, 8u);
    EXPECT_EQ(doc.m_wave.m_pFormat->nSamplesPerSec, 11025u);
    EXPECT_EQ(frame.GetText(IDC_CUR_CHANNELS), "Stereo");
    EXPECT_EQ(frame.GetText(IDC_CUR_BITS), "8 Bits");
    EXPECT_EQ(frame.GetText(IDC_CUR_RATE), "11025 Hz");
    EXPECT_EQ(frame.GetText(IDC_DATA_BYTES), "12");
    EXPECT_EQ(Content(), Seq(12));
}

TEST_F(DeleteUndo, WithoutAnUndoCopyNothingIsDeleted)
{
    struct Case {
        const char* name;
        std::function<SReason()> block; // returns the reason expected for the undo copy
        int canUndo;                    // left from an earlier deletion or not
    };
    const Case cases[] = {
        {"undo file cannot be replaced",
         [&] {
             fs::create_directories(UndoPath());
             return FileReason(EReason::FileReplace, UndoPath(), EISDIR);
         },
         1},
        {"no cache folder",
         [&] {
             RemoveProcessCacheFolder();
             WriteAll(dir / "file", std::string("x"));
             SetCacheHome(dir / "file/cache");
             return FileReason(EReason::FolderCreate, dir / "file/cache", ENOTDIR);
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(kMono16, Seq(12));
        doc.m_bCanUndo = c.canUndo;
        doc.SetModifiedFlag(false);
        const SReason reason = c.block();
        view.updates = 0;
        const std::uint64_t version = doc.m_wave.m_nDataVersion;

        EXPECT_EQ(doc.DeleteRange(4, 4), 0);
        EXPECT_EQ(doc.GetError(), InContext(reason, EReasonContext::UndoCopy));
        EXPECT_EQ(Content(), Seq(12));
        EXPECT_EQ(doc.m_bCanUndo, c.canUndo);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(view.updates, 0);
        EXPECT_EQ(doc.m_wave.m_nDataVersion, version);
    }
}

TEST_F(DeleteUndo, AnUnreadableUndoFileLeavesEverythingAsItWas)
{
    Load(kMono16, Seq(12));
    ASSERT_EQ(doc.DeleteRange(4, 4), 1);
    fs::remove(UndoPath());
    view.updates = 0;
    EXPECT_EQ(doc.OnEditUndo(), 0);
    EXPECT_EQ(doc.GetError(), InContext(FileReason(EReason::FileOpen, UndoPath(), ENOENT), EReasonContext::Undo));
    EXPECT_EQ(Content(), Bytes({0x00, 0x01, 0x02, 0x03, 0x08, 0x09, 0x0A, 0x0B}));
    EXPECT_TRUE(doc.CanUndo()); // offered again, e.g. once memory is free
    EXPECT_EQ(view.updates, 0);
}
