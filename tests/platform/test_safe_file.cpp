#include "platform/SafeFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

TEST(SafeSave, ReplacesOnlyOnCommitKeepingPermissions)
{
    CTempDir dir;
    const std::string target = dir / "song.wav";
    WriteAll(target, std::string("old"));
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    {
        CSafeSave save;
        ASSERT_TRUE(save.Begin(target));
        EXPECT_EQ(std::filesystem::path(save.GetTempPath()).parent_path(), dir.Path());
        WriteAll(save.GetTempPath(), std::string("new"));
        EXPECT_EQ(ReadAll(target), Bytes({'o', 'l', 'd'})); // not yet
        ASSERT_TRUE(save.Commit()) << save.GetError();
    }
    EXPECT_EQ(ReadAll(target), Bytes({'n', 'e', 'w'}));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"song.wav"});
}

TEST(SafeSave, AbandonedSavesLeaveTheOldFileAndNoTemporary)
{
    CTempDir dir;
    const std::string target = dir / "song.wav";
    WriteAll(target, std::string("old"));
    {
        CSafeSave save;
        ASSERT_TRUE(save.Begin(target));
        WriteAll(save.GetTempPath(), std::string("half"));
    } // destroyed without Commit
    {
        CSafeSave save;
        ASSERT_TRUE(save.Begin(target));
        save.Abort();
        EXPECT_FALSE(save.Commit());
    }
    EXPECT_EQ(ReadAll(target), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"song.wav"});
}

TEST(SafeSave, NewFilesGetDefaultPermissionsAndLinksAreFollowed)
{
    CTempDir dir;
    mode_t mask = ::umask(022);
    {
        CSafeSave save;
        ASSERT_TRUE(save.Begin(dir / "fresh.wav"));
        ASSERT_TRUE(save.Commit());
    }
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "fresh.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    WriteAll(dir / "real.wav", std::string("old"));
    ASSERT_EQ(::symlink("real.wav", (dir / "link.wav").c_str()), 0);
    CSafeSave save;
    ASSERT_TRUE(save.Begin(dir / "link.wav"));
    WriteAll(save.GetTempPath(), std::string("new"));
    ASSERT_TRUE(save.Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.wav"));
    EXPECT_EQ(ReadAll(dir / "real.wav"), Bytes({'n', 'e', 'w'}));
}

TEST(SafeSave, AFolderThatCannotTakeFilesFailsAtBegin)
{
    CTempDir dir;
    WriteAll(dir / "notafolder", std::string("x"));
    CSafeSave save;
    EXPECT_FALSE(save.Begin(dir / "notafolder/out.wav"));
    EXPECT_EQ(save.GetError(), FileReason(EReason::FileWrite, dir / "notafolder/out.wav", ENOTDIR));
}
