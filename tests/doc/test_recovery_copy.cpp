#include "doc/COndrelDoc.h"
#include "doc/CRecovery.h"
#include "frame/CCurrentFormat.h"
#include "platform/ProcessCache.h"
#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include <sys/stat.h>

namespace {
// Bytes this process (all its threads) has handed to write() so far.
std::uint64_t BytesWritten()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "wchar:")
            return value;
    return 0;
}

ino_t Inode(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class RecoveryCopy : public ::testing::Test {
protected:
    CTempDir dir;
    CCurrentFormat frame;
    COndrelDoc doc{frame};
    std::optional<std::string> oldCache;
    static constexpr std::uint32_t kBytes = 4 << 20;

    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_CACHE_HOME"))
            oldCache = old;
        ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
        WriteAll(dir / "in.wav", SimpleWave(PcmFormat{2, 44100, 16}, Ramp(kBytes)));
        ASSERT_TRUE(doc.OnOpenDocument(dir / "in.wav")) << doc.GetError();
        doc.SetPathName(dir / "in.wav");
    }
    void TearDown() override
    {
        RemoveProcessCacheFolder();
        if (oldCache)
            ::setenv("XDG_CACHE_HOME", oldCache->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }
    std::string Folder() { return ProcessCacheFolder(); }
    Bytes Audio()
    {
        std::uint8_t* p = doc.LockData();
        Bytes b(p, p + doc.GetDataSize());
        doc.UnlockData();
        return b;
    }
    // Bytes written by one delete and the recovery write it starts.
    std::uint64_t WrittenByDelete(std::uint32_t offset)
    {
        const std::uint64_t before = BytesWritten();
        EXPECT_EQ(doc.DeleteRange(offset, 4096), 1) << doc.GetError();
        EXPECT_TRUE(doc.WaitRecovery());
        return BytesWritten() - before;
    }
};
} // namespace

TEST_F(RecoveryCopy, EachChangeWritesOneCopyAndTheNextTakesItAsItsUndoCopy)
{
    doc.EnableRecovery(nullptr, nullptr);
    // Nothing written for an unchanged document.
    EXPECT_FALSE(std::filesystem::exists(Folder() + "/" + kRecoveryRecordName));

    // The first change after opening writes its undo copy and then the
    // recovery copy: two copies.
    const std::uint64_t first = WrittenByDelete(0);
    EXPECT_GE(first, 2ull * kBytes - 4096);
    EXPECT_LT(first, 2ull * kBytes + 64 * 1024);
    SRecoveryRecord record;
    ASSERT_TRUE(ReadRecoveryRecord(Folder(), record));
    EXPECT_EQ(record.path, dir / "in.wav");
    EXPECT_EQ(record.title, "in.wav");
    EXPECT_TRUE(record.bModified);
    EXPECT_EQ(record.dwSamplesPerSec, 44100u);
    EXPECT_EQ(record.wChannels, 2u);
    EXPECT_EQ(record.wBitsPerSample, 16u);
    EXPECT_EQ(DataOf44(ReadAll(Folder() + "/" + record.audioName)), Audio());
    const std::string copy1 = Folder() + "/" + record.audioName;
    const ino_t inode1 = Inode(copy1);

    // Every later change writes one copy only: its undo copy is the
    // previous recovery copy, linked.
    std::string undoPath;
    ASSERT_TRUE(doc.GetUndoFilePath(undoPath));
    ino_t previous = inode1;
    for (int i = 0; i < 3; ++i) {
        const std::uint64_t later = WrittenByDelete(4096);
        EXPECT_GE(later, kBytes - 8 * 4096u);
        EXPECT_LT(later, kBytes + 64 * 1024);
        EXPECT_EQ(Inode(undoPath), previous) << i;
        ASSERT_TRUE(ReadRecoveryRecord(Folder(), record));
        previous = Inode(Folder() + "/" + record.audioName);
    }
    // Only the copy the record names is kept.
    EXPECT_FALSE(std::filesystem::exists(copy1));
    // Undo brings back the previous state and it becomes the recovery copy.
    const Bytes now = Audio();
    ASSERT_EQ(doc.OnEditUndo(), 1);
    ASSERT_TRUE(doc.WaitRecovery());
    ASSERT_TRUE(ReadRecoveryRecord(Folder(), record));
    EXPECT_EQ(DataOf44(ReadAll(Folder() + "/" + record.audioName)), Audio());
    EXPECT_NE(Audio(), now);
}

TEST_F(RecoveryCopy, SavingAndOpeningWithdrawTheOfferAndTheToolWritesNone)
{
    doc.EnableRecovery(nullptr, nullptr);
    ASSERT_EQ(doc.DeleteRange(0, 4096), 1);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "out.wav")) << doc.GetError();
    EXPECT_FALSE(std::filesystem::exists(Folder() + "/" + kRecoveryRecordName));
    // The copy stays as the next change's undo source: one copy written.
    const std::uint64_t next = WrittenByDelete(0);
    EXPECT_LT(next, kBytes + 64 * 1024);
    EXPECT_TRUE(std::filesystem::exists(Folder() + "/" + kRecoveryRecordName));
    ASSERT_TRUE(doc.OnOpenDocument(dir / "in.wav"));
    EXPECT_EQ(dir.List().size(), 3u); // cache, in.wav, out.wav
    for (const auto& e : std::filesystem::directory_iterator(Folder()))
        EXPECT_EQ(e.path().filename().string().rfind("recovery", 0), std::string::npos) << e.path();

    // Without EnableRecovery (the command-line tool): no copy, no record.
    CCurrentFormat frame2;
    COndrelDoc tool(frame2);
    ASSERT_EQ(tool.LoadWaveFile(dir / "in.wav"), 1);
    ASSERT_EQ(tool.DeleteRange(0, 4096), 1);
    EXPECT_FALSE(tool.IsRecoveryWriting());
    for (const auto& e : std::filesystem::directory_iterator(Folder()))
        EXPECT_EQ(e.path().filename().string().rfind("recovery", 0), std::string::npos) << e.path();
}

TEST(RecoveryRecord, RoundTripsAnyNameAndRefusesWhatItDidNotWriteInFull)
{
    CTempDir dir;
    SRecoveryRecord r;
    r.audioName = "recovery-12.wav";
    r.path = "/x/100%\nodd\r.wav";
    r.title = "100%\nodd\r.wav";
    r.bModified = true;
    r.dwSamplesPerSec = 11025;
    r.wChannels = 1;
    r.wBitsPerSample = 8;
    r.eFileEncoding = EWaveEncoding::MuLaw;
    SReason error;
    ASSERT_TRUE(WriteRecoveryRecord(dir.Path().string(), r, error)) << error;
    SRecoveryRecord back;
    ASSERT_TRUE(ReadRecoveryRecord(dir.Path().string(), back));
    EXPECT_EQ(back, r);

    const std::string path = dir / kRecoveryRecordName;
    const Bytes full = ReadAll(path);
    const std::string text(full.begin(), full.end());
    struct SCase {
        const char* name;
        std::string text;
    };
    const SCase cases[] = {
        {"cut before the end line", text.substr(0, text.size() - 4)},
        {"cut in a field", text.substr(0, text.find("rate="))},
        {"a copy outside the folder", std::string(text).replace(text.find("recovery-12.wav"), 15, "../recovery-1.wav")},
        {"not a copy's name", std::string(text).replace(text.find("recovery-12.wav"), 15, "lock")},
        {"an encoding it does not know", std::string(text).replace(text.find("mulaw"), 5, "mp3")},
        {"a bad escape", std::string(text).replace(text.find("%25"), 3, "%zz")},
        {"another program's file", "[recovery]\n" + text},
        {"empty", ""},
    };
    for (const SCase& c : cases) {
        WriteAll(path, c.text);
        EXPECT_FALSE(ReadRecoveryRecord(dir.Path().string(), back)) << c.name;
    }
}
