#include "platform/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string ErrnoText(int err) { return std::strerror(err); }

namespace {
std::string FolderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows a chain of symbolic links to the file they name (which may not
// exist yet), so that saving through a link replaces its target.
std::string ResolveLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char buf[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
        if (n <= 0)
            return path;
        buf[n] = '\0';
        std::string link(buf, static_cast<std::size_t>(n));
        path = link[0] == '/' ? link : FolderOf(path) + "/" + link;
    }
    return path;
}

// The process umask, read without changing it (umask() is a set-and-get
// that would race with other threads creating files).
mode_t CurrentUmask()
{
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                std::fclose(f);
                return static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8) & 0777);
            }
        }
        std::fclose(f);
    }
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool FsyncPath(const std::string& path, int oflags)
{
    int fd = ::open(path.c_str(), oflags | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}
} // namespace

CSafeSave::~CSafeSave() { Abort(); }

bool CSafeSave::Begin(const std::string& target)
{
    Abort();
    m_error = {};
    m_strTarget = ResolveLinks(target);
    std::string folder = FolderOf(m_strTarget);
    std::string base = m_strTarget.substr(m_strTarget.rfind('/') == std::string::npos
                                              ? 0
                                              : m_strTarget.rfind('/') + 1);
    std::string templ = folder + "/." + base + ".ondrel-XXXXXX";
    int fd = ::mkstemp(templ.data());
    if (fd < 0) {
        m_error = FileReason(EReason::FileWrite, m_strTarget, errno);
        return false;
    }
    ::close(fd);
    m_strTemp = templ;
    return true;
}

bool CSafeSave::Commit(bool bDurable)
{
    if (m_strTemp.empty()) {
        m_error = FileReason(EReason::FileWrite, m_strTarget);
        return false;
    }
    // The replacement keeps the permission bits of the file it replaces; a
    // new file gets the usual 0666 less the umask, not mkstemp's 0600.
    mode_t mode;
    struct stat st {};
    if (::stat(m_strTarget.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode = 0666 & ~CurrentUmask();
    }
    if (::chmod(m_strTemp.c_str(), mode) != 0 || (bDurable && !FsyncPath(m_strTemp, O_RDONLY))) {
        m_error = FileReason(EReason::FileWrite, m_strTarget, errno);
        Abort();
        return false;
    }
    if (::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0) {
        m_error = FileReason(EReason::FileReplace, m_strTarget, errno);
        Abort();
        return false;
    }
    m_strTemp.clear();
    // Make the rename itself durable; a failure here cannot undo it.
    if (bDurable)
        FsyncPath(FolderOf(m_strTarget), O_RDONLY | O_DIRECTORY);
    return true;
}

void CSafeSave::Abort()
{
    if (!m_strTemp.empty()) {
        ::unlink(m_strTemp.c_str());
        m_strTemp.clear();
    }
}
