// Saving never leaves a damaged file: a save killed at any moment leaves the
// old content or the new one, and a save that cannot write every byte
// reports it and leaves the old file and no temporary behind.

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

// Reads a whole file into `buf` (reused between calls: the files here are
// 50 MB). False when it cannot be read.
bool ReadInto(const std::string& path, Bytes& buf)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
        buf.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok && done < buf.size()) {
            ssize_t n = ::read(fd, buf.data() + done, buf.size() - done);
            ok = n > 0;
            done += ok ? static_cast<std::size_t>(n) : 0;
        }
    }
    ::close(fd);
    return ok;
}

bool Same(const Bytes& a, const Bytes& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0;
}

// A 16-bit stereo file of `bytes` bytes of noise from `seed`, in the 44-byte
// layout the tool writes, so that a copy of it is byte for byte the same.
Bytes NoiseWave(std::size_t bytes, std::uint64_t seed)
{
    Bytes data(bytes);
    std::uint64_t x = seed;
    for (std::size_t i = 0; i + 8 <= bytes; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(data.data() + i, &x, 8);
    }
    return SimpleWave(PcmFormat{2, 44100, 16}, data);
}

// Starts `ondrel-cli copy src target` directly (no shell), its output
// thrown away.
pid_t StartCopy(const std::string& src, const std::string& target)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string cli = ONDREL_CLI_PATH, cmd = "copy";
    char* argv[] = {cli.data(), cmd.data(), const_cast<char*>(src.c_str()),
                    const_cast<char*>(target.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int WaitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Removes the temporary files a killed save left beside `target` and
// returns how many there were. Any other stray file fails the test.
int RemoveTemporaries(const CTempDir& dir, const std::vector<std::string>& expected,
                      const std::string& prefix)
{
    int count = 0;
    for (const std::string& name : dir.List()) {
        if (name.rfind(prefix, 0) == 0) {
            std::filesystem::remove(dir / name);
            ++count;
        } else if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
            ADD_FAILURE() << "unexpected file " << name;
        }
    }
    return count;
}
} // namespace

TEST(CrashSafeSave, ACopyKilledAtAnyMomentLeavesTheOldOrTheNewFile)
{
    CTempDir dir;
    const std::string src = dir / "new.wav", target = dir / "target.wav";
    const Bytes a = NoiseWave(50u << 20, 0x9E3779B97F4A7C15u);
    const Bytes b = NoiseWave(50u << 20, 0xD1B54A32D192ED03u);
    WriteAll(src, b);
    WriteAll(target, a);
    Bytes got;

    // Undisturbed copies: how long a save takes (the median of three, as the
    // first may wait for the fixtures to reach the disk), and that the new
    // content is exactly the source (the check below tells A from B by
    // content).
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        const pid_t pid = StartCopy(src, target);
        ASSERT_GT(pid, 0);
        const int status = WaitFor(pid);
        times.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        ASSERT_TRUE(ReadInto(target, got));
        ASSERT_TRUE(Same(got, b));
        WriteAll(target, a);
    }
    std::sort(times.begin(), times.end());
    const double copySeconds = times[1];

    // Kill after delays spread over the whole copy and a little beyond, so
    // that some runs end before the kill.
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> delay(0.0, 1.2 * copySeconds);
    const std::vector<std::string> files = {"new.wav", "target.wav"};
    const std::string tempPrefix = ".target.wav.ondrel-";
    int killed = 0, finished = 0, endedA = 0, endedB = 0, killedB = 0, temporaries = 0;
    for (int run = 0; run < 100; ++run) {
        const double wait = delay(rng);
        const pid_t pid = StartCopy(src, target);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        ::kill(pid, SIGKILL);
        const int status = WaitFor(pid);
        const bool wasKilled = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        if (wasKilled) {
            ++killed;
        } else {
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "run " << run << ": " << status;
            ++finished;
        }

        // A killed copy leaves A or B; one that ended by itself, B.
        ASSERT_TRUE(ReadInto(target, got)) << "run " << run << ": the target is gone";
        if (wasKilled && Same(got, a)) {
            ++endedA;
        } else if (Same(got, b)) {
            ++endedB;
            killedB += wasKilled;
            WriteAll(target, a);
        } else {
            FAIL() << "run " << run << (wasKilled ? " killed" : " finished") << " after " << wait
                   << " s: the target is " << (Same(got, a) ? "the old content" : "damaged")
                   << " (" << got.size() << " bytes)";
        }
        const int left = RemoveTemporaries(dir, files, tempPrefix);
        EXPECT_LE(left, wasKilled ? 1 : 0) << "run " << run; // one save, one temporary file
        temporaries += left;
    }
    std::printf("50 MB copy: %.0f ms undisturbed; 100 runs killed after 0..%.0f ms: %d killed, "
                "%d finished first; target old (A) %d, new (B) %d (%d of them killed after the "
                "replace); %d temporary files left by killed runs\n",
                copySeconds * 1000, 1200 * copySeconds, killed, finished, endedA, endedB, killedB,
                temporaries);
    EXPECT_GT(endedA, 0);
    EXPECT_GT(endedB, 0);
    ASSERT_TRUE(ReadInto(src, got));
    EXPECT_TRUE(Same(got, b)); // never written to
}

TEST(CrashSafeSave, TheToolReportsASaveCutShortByAFileSizeLimit)
{
    CTempDir dir;
    const std::string src = dir / "in.wav", target = dir / "out.wav";
    const Bytes source = NoiseWave(200000, 7);
    const Bytes old = SimpleWave(PcmFormat{1, 8000, 8}, Ramp(1000));
    WriteAll(src, source);
    std::string cli = ONDREL_CLI_PATH, cmd = "copy";

    // Limits that stop the write before the header, after it, part-way
    // through the audio and one byte short; the last one fits exactly.
    const rlim_t size = source.size();
    const rlim_t limits[] = {0, 44, 100000, size - 1, size};
    for (rlim_t limit : limits) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        WriteAll(target, old);
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        char* argv[] = {cli.data(), cmd.data(), const_cast<char*>(src.c_str()),
                        const_cast<char*>(target.c_str()), nullptr};
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // The child: a limit on the size of any file it writes, and the
            // write failing with EFBIG instead of a SIGXFSZ that kills it.
            // stderr is a pipe, which the limit does not apply to.
            struct rlimit lim {limit, limit};
            ::signal(SIGXFSZ, SIG_IGN);
            ::dup2(pipeFds[1], 2);
            ::close(pipeFds[0]);
            int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, 1);
            if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
                ::_exit(126);
            ::execv(cli.c_str(), argv);
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        std::string err;
        char buf[4096];
        for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) != 0;) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                break;
            err.append(buf, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
        const int status = WaitFor(pid);
        ASSERT_TRUE(WIFEXITED(status)) << status;

        if (limit == size) {
            EXPECT_EQ(WEXITSTATUS(status), 0) << err;
            EXPECT_EQ(ReadAll(target), source);
        } else {
            EXPECT_EQ(WEXITSTATUS(status), 1);
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_NE(err.find("File too large"), std::string::npos) << err;
            EXPECT_EQ(ReadAll(target), old);
        }
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.wav", "out.wav"}));
    }
}

TEST(CrashSafeSave, AFailedSaveLeavesTheDocumentModified)
{
    CTempDir dir;
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    const Bytes old = SimpleWave(PcmFormat{1, 8000, 8}, Ramp(100));
    const Bytes edited = NoiseWave(300000, 11);
    WriteAll(dir / "doc.wav", edited);
    ASSERT_TRUE(doc.OnOpenDocument(dir / "doc.wav")) << doc.GetError();
    WriteAll(dir / "doc.wav", old); // what is on the disk is older than the document
    doc.SetModifiedFlag();

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved1 = doc.OnSaveDocument(dir / "doc.wav");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved1);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetError(), FileReason(EReason::FileWrite, dir / "doc.wav", EFBIG));
    EXPECT_EQ(ReadAll(dir / "doc.wav"), old);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"doc.wav"});

    // Without the limit the same save goes through and the flag clears.
    ASSERT_TRUE(doc.OnSaveDocument(dir / "doc.wav")) << doc.GetError();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(ReadAll(dir / "doc.wav"), edited);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"doc.wav"});
}
