#include "platform/ProcessCache.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

// Sets an environment variable for the life of the object, then puts back
// what was there.
class CEnvVar {
public:
    CEnvVar(const char* name, const std::optional<std::string>& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~CEnvVar() { Set(m_old); }
    CEnvVar(const CEnvVar&) = delete;
    CEnvVar& operator=(const CEnvVar&) = delete;

private:
    void Set(const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(m_name, value->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    const char* m_name;
    std::optional<std::string> m_old;
};

class ProcessCache : public ::testing::Test {
protected:
    CTempDir dir;
    CEnvVar xdg{"XDG_CACHE_HOME", dir.Path().string()};
    const std::string base = dir / "ondrel";

    void TearDown() override { RemoveProcessCacheFolder(); }

    static unsigned Mode(const std::string& path)
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFFu;
    }
    // True when some process holds the lock of the folder `path`.
    static bool IsLocked(const std::string& path)
    {
        int fd = ::open((path + "/lock").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        return busy;
    }
    // A process folder left by an editor that ended: its lock file is there
    // and nobody holds it.
    std::string MakeStale(const std::string& name)
    {
        fs::create_directories(base + "/" + name + "/sub");
        WriteAll(base + "/" + name + "/lock", std::string());
        WriteAll(base + "/" + name + "/sub/undo$$$.wav", std::string("old"));
        return base + "/" + name;
    }
};

// Runs `body` in a child process; returns its exit status (-1 when it did
// not exit normally).
template <typename F>
int InChild(F body)
{
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

TEST_F(ProcessCache, RepeatedCallsGiveTheSameLockedPrivateFolder)
{
    SReason error;
    const std::string folder = ProcessCacheFolder(&error);
    ASSERT_NE(folder, "") << error;
    EXPECT_EQ(fs::path(folder).parent_path(), fs::path(base));
    EXPECT_EQ(fs::path(folder).filename().string().rfind(std::to_string(::getpid()) + "-", 0), 0u)
        << folder;
    EXPECT_EQ(Mode(folder), 0700u);
    EXPECT_EQ(Mode(base), 0700u);
    EXPECT_TRUE(IsLocked(folder));
    EXPECT_EQ(ProcessCacheFolder(), folder);

    WriteAll(folder + "/undo$$$.wav", std::string("x"));
    RemoveProcessCacheFolder();
    EXPECT_FALSE(fs::exists(folder));
    const std::string next = ProcessCacheFolder();
    EXPECT_NE(next, "");
    EXPECT_NE(next, folder);
}

TEST_F(ProcessCache, WithoutAUsableXdgCacheHomeTheFolderIsUnderHome)
{
    CEnvVar home("HOME", dir / "home");
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative/cache")}) {
        CEnvVar unusable("XDG_CACHE_HOME", value);
        const std::string folder = ProcessCacheFolder();
        EXPECT_EQ(fs::path(folder).parent_path(), fs::path(dir / "home/.cache/ondrel"))
            << value.value_or("(unset)");
        RemoveProcessCacheFolder();
    }
    // Every folder it had to make is private.
    EXPECT_EQ(Mode(dir / "home"), 0700u);
    EXPECT_EQ(Mode(dir / "home/.cache"), 0700u);
    EXPECT_EQ(Mode(dir / "home/.cache/ondrel"), 0700u);
}

TEST_F(ProcessCache, CreationRemovesOnlyTheFoldersOfEndedEditors)
{
    // A live editor: another process holding the lock of its folder until
    // the pipe is closed.
    fs::create_directories(base + "/111-aaaaaa");
    const std::string live = base + "/111-aaaaaa";
    WriteAll(live + "/lock", std::string());
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    std::fflush(nullptr);
    pid_t holder = ::fork();
    if (holder == 0) {
        int fd = ::open((live + "/lock").c_str(), O_RDWR);
        char c = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        ::close(release[1]);
        (void)!::read(release[0], &c, 1); // returns when the parent closes its end
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

    const std::string stale = MakeStale("222-bbbbbb");
    // Ended too, but with unsaved work to offer: kept for the offer.
    const std::string recoverable = MakeStale("555-eeeeee");
    WriteAll(recoverable + "/" + kRecoveryRecordName, std::string("record"));
    // Without a lock file: being set up right now when recent, abandoned
    // during set-up when older than a minute.
    const std::string settingUp = base + "/333-cccccc";
    const std::string abandoned = base + "/444-dddddd";
    fs::create_directories(settingUp);
    fs::create_directories(abandoned);
    const timespec twoMinutesAgo[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, abandoned.c_str(), twoMinutesAgo, 0), 0);
    // Not named like a process folder, so never ours to remove.
    fs::create_directories(base + "/thumbnails");
    WriteAll(base + "/thumbnails/lock", std::string());
    WriteAll(base + "/notes.txt", std::string("keep"));

    const std::string own = ProcessCacheFolder();
    ASSERT_NE(own, "");
    ::close(release[1]);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);

    EXPECT_TRUE(fs::exists(live));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(recoverable + "/sub/undo$$$.wav"));
    EXPECT_TRUE(fs::exists(settingUp));
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(base + "/thumbnails"));
    EXPECT_TRUE(fs::exists(base + "/notes.txt"));
    EXPECT_TRUE(fs::exists(own));
}

TEST_F(ProcessCache, RecoverableFoldersAreClaimedByOneEditorUntilReleased)
{
    const std::string a = MakeStale("601-aaaaaa");
    const std::string b = MakeStale("602-bbbbbb");
    const std::string plain = MakeStale("603-cccccc");
    for (const std::string& f : {a, b})
        WriteAll(f + "/" + kRecoveryRecordName, std::string("record"));

    std::vector<std::string> claimed = ClaimRecoverableFolders();
    std::sort(claimed.begin(), claimed.end());
    EXPECT_EQ(claimed, (std::vector<std::string>{a, b}));
    EXPECT_FALSE(fs::exists(plain)); // swept: nothing to offer
    EXPECT_TRUE(IsLocked(a));
    // Claimed already: neither this process nor another editor gets them
    // again, and another editor's sweep leaves them alone.
    EXPECT_TRUE(ClaimRecoverableFolders().empty());
    EXPECT_EQ(InChild([] { return ClaimRecoverableFolders().empty() ? 0 : 1; }), 0);
    EXPECT_TRUE(fs::exists(a + "/sub/undo$$$.wav"));

    ReleaseRecoverableFolder(a, /*bRemove*/ true);
    ReleaseRecoverableFolder(b, /*bRemove*/ false);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_TRUE(fs::exists(b + "/" + kRecoveryRecordName));
    EXPECT_FALSE(IsLocked(b));
    // Let go of without an answer: offered again, to the next editor.
    EXPECT_EQ(InChild([&] {
                  const auto again = ClaimRecoverableFolders();
                  return again == std::vector<std::string>{b} ? 0 : 1;
              }),
              0);
    ReleaseRecoverableFolder(plain, true); // never claimed: nothing happens
}

TEST_F(ProcessCache, ForkedProcessesGetTheirOwnFolderAndRemoveItAtExit)
{
    const std::string parent = ProcessCacheFolder();
    ASSERT_NE(parent, "");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    int status = InChild([&] {
        ::close(out[0]);
        const std::string child = ProcessCacheFolder();
        if (child.empty() || child == parent || ProcessCacheFolder() != child)
            return 3;
        (void)!::write(out[1], child.data(), child.size());
        ::close(out[1]);
        std::exit(0); // runs the exit hook: removes the child's folder only
    });
    ::close(out[1]);
    std::string child;
    char buf[256];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        child.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);

    EXPECT_EQ(status, 0);
    ASSERT_NE(child, "");
    EXPECT_EQ(fs::path(child).parent_path(), fs::path(base));
    EXPECT_FALSE(fs::exists(child));
    EXPECT_TRUE(fs::exists(parent));
    EXPECT_TRUE(IsLocked(parent));
    EXPECT_EQ(ProcessCacheFolder(), parent);
}

TEST_F(ProcessCache, ABlockedBaseGivesAnErrorAndALaterCallTriesAgain)
{
    WriteAll(dir / "file", std::string("x"));
    {
        CEnvVar blocked("XDG_CACHE_HOME", dir / "file/cache");
        SReason error;
        EXPECT_EQ(ProcessCacheFolder(&error), "");
        EXPECT_EQ(error, FileReason(EReason::FolderCreate, dir / "file/cache", ENOTDIR));
    }
    {
        WriteAll(dir / "ondrel", std::string("x")); // the ondrel folder itself is a file
        SReason error;
        EXPECT_EQ(ProcessCacheFolder(&error), "");
        EXPECT_EQ(error, FileReason(EReason::FolderCreate, base, ENOTDIR));
    }
    fs::remove(dir / "ondrel");
    SReason error;
    EXPECT_NE(ProcessCacheFolder(&error), "") << error;
}
