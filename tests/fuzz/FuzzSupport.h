#pragma once
// Shared by the fuzz targets: a private scratch folder on a memory file
// system (inputs reach the code under test as files, the way the editor
// meets them) and little-endian readers for building expectations.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzz {

// /dev/shm/ondrel-fuzz-<pid>/ (or the same name under $TMPDIR or /tmp when
// there is no /dev/shm), emptied and removed when the process ends normally.
// A crashing run leaves it behind; scripts/fuzz removes it then.
class CScratch {
public:
    static CScratch& Get()
    {
        static CScratch scratch;
        return scratch;
    }

    // Path of a file named `name` in the folder.
    std::string File(const char* name) const { return m_dir + "/" + name; }
    const std::string& Dir() const { return m_dir; }

    // Replaces the content of `path` with `size` bytes; aborts when the
    // memory file system refuses (a fuzz run without its input is no run).
    static void Write(const std::string& path, const std::uint8_t* data, std::size_t size)
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            Die("cannot create", path);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd, data + done, size - done);
            if (n <= 0)
                Die("cannot write", path);
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }

private:
    CScratch()
    {
        std::string base = "/dev/shm";
        struct stat st {};
        if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            const char* tmp = std::getenv("TMPDIR");
            base = tmp && *tmp ? tmp : "/tmp";
        }
        m_dir = base + "/ondrel-fuzz-" + std::to_string(::getpid());
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
        if (::mkdir(m_dir.c_str(), 0700) != 0)
            Die("cannot create", m_dir);
    }
    ~CScratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    [[noreturn]] static void Die(const char* what, const std::string& path)
    {
        std::fprintf(stderr, "fuzz: %s %s\n", what, path.c_str());
        std::abort();
    }

    std::string m_dir;
};

inline std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

inline bool IsTag(const std::uint8_t* p, const char* tag)
{
    return std::memcmp(p, tag, 4) == 0;
}

// A broken expectation: print it and abort, which libFuzzer reports as a
// crash and saves the input under findings/.
#define FUZZ_CHECK(cond, ...)                                                                  \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #cond);  \
            std::fprintf(stderr, __VA_ARGS__);                                                 \
            std::fprintf(stderr, "\n");                                                        \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

} // namespace fuzz
