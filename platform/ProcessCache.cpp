#include "platform/ProcessCache.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// How a folder is claimed, and why a sweeping editor never removes the
// folder of one that is starting at the same moment:
//
//  1. mkdtemp makes "<pid>-XXXXXX" (mode 0700). For a few system calls it
//     holds no "lock" file.
//  2. The lock file is created as "lock.new", flock'ed (LOCK_EX), and only
//     then renamed to "lock". So a file named "lock" is locked from the
//     instant it exists until its owner ends: a sweeper that manages to lock
//     "lock" knows the owner is gone.
//  3. A folder without "lock" is either in step 1 or 2 right now, or left by
//     an editor that died inside those steps. Its modification time tells
//     them apart: it is removed only once it is older than kSetupSeconds.
//
// A sweeper keeps the lock of a stale folder while removing it, so a second
// sweeper skips that folder (or, once the lock file is gone, sees an old
// folder without a lock, which is just as stale). Only entries named like a
// process folder are ever considered; anything else in the ondrel cache
// folder is left alone. A stale folder holding a recovery record is not
// removed by the sweep: ClaimRecoverableFolders takes its lock the same way
// and keeps it until the user has answered.

namespace {
constexpr const char* kLockName = "lock";
constexpr const char* kNewLockName = "lock.new";
constexpr std::time_t kSetupSeconds = 60;

struct State {
    std::mutex mutex;
    std::string folder;      // "" while there is none
    int lockFd = -1;         // holds the flock on folder/lock
    pid_t owner = 0;         // the process that made `folder`
    bool exitHookSet = false;
    std::map<std::string, int> claimed; // folder -> fd holding its lock
};

// Never destroyed, so the exit hook can use it whatever the order in which
// static objects go away.
State& TheState()
{
    static State* state = new State;
    return *state;
}

bool IsAbsolute(const char* path) { return path && path[0] == '/'; }

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// $XDG_CACHE_HOME/ondrel, or $HOME/.cache/ondrel (the password database's
// home folder when HOME is unusable). "" with `error` set when neither is
// known.
std::string CacheBase(SReason& error)
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (IsAbsolute(xdg))
        return WithoutTrailingSlashes(xdg) + "/ondrel";
    std::string home;
    const char* env = std::getenv("HOME");
    if (IsAbsolute(env)) {
        home = env;
    } else {
        passwd pw{};
        passwd* found = nullptr;
        char buf[4096];
        if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found &&
            IsAbsolute(found->pw_dir))
            home = found->pw_dir;
    }
    if (home.empty()) {
        error = SReason(EReason::CacheHomeUnknown);
        return "";
    }
    return WithoutTrailingSlashes(home) + "/.cache/ondrel";
}

// Creates `path` and any missing folder above it, each with mode 0700. An
// existing component that is not a folder makes the next one fail, so the
// error names the first path that could not be created.
bool MakeFolders(const std::string& path, SReason& error)
{
    for (std::size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/')
            continue;
        if (path[end - 1] == '/')
            continue; // a doubled slash
        const std::string part = path.substr(0, end);
        const bool last = end == path.size();
        struct stat st {};
        int err;
        if (::stat(part.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode) || !last)
                continue;
            err = ENOTDIR;
        } else if (errno != ENOENT) {
            err = errno;
        } else if (::mkdir(part.c_str(), 0700) == 0) {
            ::chmod(part.c_str(), 0700); // whatever the umask
            continue;
        } else if (errno == EEXIST) {
            continue; // made by someone else just now
        } else {
            err = errno;
        }
        error = FileReason(EReason::FolderCreate, part, err);
        return false;
    }
    return true;
}

// "<digits>-" followed by six more characters: the names mkdtemp gives.
bool IsProcessFolderName(const std::string& name)
{
    auto dash = name.find('-');
    if (dash == 0 || dash == std::string::npos || name.size() != dash + 7)
        return false;
    for (std::size_t i = 0; i < dash; ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    return true;
}

void RemoveTree(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

// Removes the folders of editors that no longer run (see the top of the
// file); `own` is skipped.
bool HoldsRecoveryRecord(const std::string& path)
{
    struct stat st {};
    return ::lstat((path + "/" + kRecoveryRecordName).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Calls `stale(path, fd)` for every folder of an ended editor under `base`
// but `own`, with its lock held on `fd` (-1 for a folder left during set-up).
template <typename F>
void ForEachStaleFolder(const std::string& base, const std::string& own, F stale)
{
    DIR* dir = ::opendir(base.c_str());
    if (!dir)
        return;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsProcessFolderName(name))
            continue;
        const std::string path = base + "/" + name;
        struct stat st {};
        if (path == own || ::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        int fd = ::open((path + "/" + kLockName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            // Held while removing or claiming, so no other editor takes the
            // folder too.
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                if (stale(path, fd))
                    continue; // the fd now belongs to the claim
            }
            ::close(fd);
        } else if (errno == ENOENT && std::time(nullptr) - st.st_mtime >= kSetupSeconds) {
            stale(path, -1);
        }
    }
    ::closedir(dir);
}

// Removes the folders of editors that no longer run (see the top of the
// file) unless they hold a recovery record; `own` is skipped.
void SweepStaleFolders(const std::string& base, const std::string& own)
{
    ForEachStaleFolder(base, own, [](const std::string& path, int) {
        if (!HoldsRecoveryRecord(path))
            RemoveTree(path);
        return false;
    });
}

// Removes the folder (only in the process that made it: a child started by
// fork shares the lock but not the folder) and lets go of the lock.
void ReleaseLocked(State& s)
{
    if (s.folder.empty())
        return;
    if (s.owner == ::getpid())
        RemoveTree(s.folder);
    if (s.lockFd >= 0)
        ::close(s.lockFd);
    s.lockFd = -1;
    s.folder.clear();
}

void RemoveAtExit()
{
    RemoveProcessCacheFolder();
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.mutex);
    for (auto& [folder, fd] : s.claimed)
        ::close(fd);
    s.claimed.clear();
}

// Makes and claims a new folder under `base`; see the top of the file.
bool CreateFolder(State& s, const std::string& base, SReason& error)
{
    std::string folder = base + "/" + std::to_string(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        error = FileReason(EReason::FolderCreate, folder, errno);
        return false;
    }
    ::chmod(folder.c_str(), 0700);
    const std::string newLock = folder + "/" + kNewLockName;
    int fd = ::open(newLock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(newLock.c_str(), (folder + "/" + kLockName).c_str()) != 0) {
        error = FileReason(EReason::FolderLock, folder, errno);
        if (fd >= 0)
            ::close(fd);
        RemoveTree(folder);
        return false;
    }
    s.folder = folder;
    s.lockFd = fd;
    s.owner = ::getpid();
    return true;
}
} // namespace

std::string ProcessCacheFolder(SReason* pError)
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!s.folder.empty()) {
        if (s.owner == ::getpid())
            return s.folder;
        // Inherited through fork: that folder is the parent's. Drop this
        // process's copy of its lock (the parent keeps its own) and make one.
        ReleaseLocked(s);
    }
    SReason error;
    std::string base = CacheBase(error);
    if (base.empty() || !MakeFolders(base, error) || !CreateFolder(s, base, error)) {
        if (pError)
            *pError = error;
        return "";
    }
    SweepStaleFolders(base, s.folder);
    if (!s.exitHookSet)
        s.exitHookSet = std::atexit(RemoveAtExit) == 0;
    return s.folder;
}

void RemoveProcessCacheFolder()
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.mutex);
    ReleaseLocked(s);
}

std::vector<std::string> ClaimRecoverableFolders()
{
    const std::string own = ProcessCacheFolder();
    if (own.empty())
        return {};
    const std::string base = own.substr(0, own.rfind('/'));
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.mutex);
    std::vector<std::string> folders;
    ForEachStaleFolder(base, own, [&](const std::string& path, int fd) {
        if (fd < 0 || !HoldsRecoveryRecord(path) || s.claimed.count(path))
            return false;
        s.claimed[path] = fd;
        folders.push_back(path);
        return true;
    });
    return folders;
}

void ReleaseRecoverableFolder(const std::string& folder, bool bRemove)
{
    State& s = TheState();
    std::lock_guard<std::mutex> guard(s.mutex);
    auto it = s.claimed.find(folder);
    if (it == s.claimed.end())
        return;
    // Removed while the lock is still held, so no other editor sees a
    // half-removed folder as its own to claim.
    if (bRemove)
        RemoveTree(folder);
    ::close(it->second);
    s.claimed.erase(it);
}
