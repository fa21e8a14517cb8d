// Unsaved work survives the editor's death. The editor runs as a separate
// process (recovery_driver: the real window, driven by its own seeded
// clicks and keys, telling what the user has after each change), is killed
// with SIGKILL at random moments, and the next editor, started here, must
// ask about the dead one's audio and give back exactly what the user had
// after a change whose recovery copy was complete (or one newer), with its
// format, path and modified flag. The question must not come after a clean
// exit or a save, nor for an editor that still runs; a cache folder that
// cannot be used is told once.
//
// ONDREL_RECOVERY_KILLS sets the number of kills (100 by default) and
// ONDREL_RECOVERY_SEED the first seed.

#include "app/COndrelApp.h"
#include "audio/WaveFile.h"
#include "frame/CCurrentFormat.h"
#include "doc/COndrelDoc.h"
#include "frame/CMainFrame.h"
#include "framework/MessageBox.h"
#include "platform/ProcessCache.h"
#include "tests/support/FakeAudio.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaveFixtures.h"

#include <QApplication>
#include <QtTest>

#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
namespace fs = std::filesystem;

std::uint64_t Fnv(const std::uint8_t* p, std::size_t n)
{
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// What the user had after one change, as the driver told it.
struct SState {
    std::uint64_t hash = 0;
    std::uint32_t size = 0, rate = 0, channels = 0, bits = 0;
    int modified = 0;
};

// The editor in a process of its own, with its standard output read line
// by line.
class CDriver {
public:
    CDriver(const std::string& file, unsigned seed, const char* mode)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string seedText = std::to_string(seed);
        char* argv[] = {const_cast<char*>(RECOVERY_DRIVER_PATH), const_cast<char*>(file.c_str()),
                        const_cast<char*>(seedText.c_str()), const_cast<char*>(mode), nullptr};
        if (posix_spawn(&m_pid, RECOVERY_DRIVER_PATH, &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_fd = out[0];
    }
    ~CDriver()
    {
        Kill();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Started() const { return m_pid > 0; }

    // The next line, or nothing when none came within `ms` or the output
    // has ended.
    std::optional<std::string> Line(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            if (auto nl = m_buf.find('\n'); nl != std::string::npos) {
                std::string line = m_buf.substr(0, nl);
                m_buf.erase(0, nl + 1);
                Note(line);
                return line;
            }
            const int left = ms - static_cast<int>(clock.elapsed());
            if (left <= 0 || m_bEof)
                return std::nullopt;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                m_bEof = true;
            else
                m_buf.append(buf, static_cast<std::size_t>(n));
        }
    }
    // Reads lines until one starts with `prefix`; false on a timeout.
    bool WaitFor(const std::string& prefix, int ms = 20000)
    {
        while (auto line = Line(ms))
            if (line->rfind(prefix, 0) == 0)
                return true;
        return false;
    }
    // SIGKILL, then everything the driver printed before it died.
    void Kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        Reap();
    }
    // Waits for the driver to end; its exit status (-1 when killed).
    int Reap()
    {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        while (Line(2000)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::map<int, SState> done; // change number -> what the user had
    int lastSaved = 0;          // the last change whose recovery copy was on the disk
    int lastDone = 0;
    std::vector<std::string> messages;

private:
    void Note(const std::string& line)
    {
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word == "DONE") {
            int k = 0;
            SState s;
            in >> k >> s.hash >> s.size >> s.rate >> s.channels >> s.bits >> s.modified;
            done[k] = s;
            lastDone = std::max(lastDone, k);
        } else if (word == "SAVED") {
            int k = 0;
            in >> k;
            lastSaved = std::max(lastSaved, k);
        } else if (word == "MSG") {
            messages.push_back(line);
        }
    }
    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_buf;
    bool m_bEof = false;
};

bool IsQuestion(const QString& text) { return text.contains(QStringLiteral("復元しますか")); }
} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CTempDir> m_dir;
    std::string m_file;
    FakeAudio m_audio;
    std::unique_ptr<COndrelApp> m_app;
    std::vector<QString> m_messages;
    int m_nAnswer = IDYES; // to the recovery question
    int m_nOtherAnswer = IDNO; // to every other message

    std::string Base() const { return *m_dir / "cache/ondrel"; }

    // Starts the editor here, as the next start after the driver.
    bool Launch()
    {
        m_messages.clear();
        SetMessageBoxHook([this](const QString& text, unsigned type) {
            m_messages.push_back(text);
            return IsQuestion(text) && type == (MB_YESNO | MB_ICONQUESTION) ? m_nAnswer : m_nOtherAnswer;
        });
        m_app = std::make_unique<COndrelApp>(*m_dir / "ondrel.ini");
        return m_app->InitInstance(CCommandLineInfo{});
    }
    void Quit()
    {
        if (m_app)
            m_app->GetMainFrame()->SetCloseHandler(nullptr);
        m_app.reset();
        SetMessageBoxHook(nullptr);
        RemoveProcessCacheFolder();
    }
    int Questions() const
    {
        return static_cast<int>(std::count_if(m_messages.begin(), m_messages.end(), IsQuestion));
    }
    COndrelDoc& Doc() { return *m_app->GetDocument(); }
    std::uint64_t DocHash()
    {
        std::uint8_t* p = Doc().LockData();
        const std::uint64_t h = Fnv(p, Doc().GetDataSize());
        Doc().UnlockData();
        return h;
    }
    // The process folders left in the cache.
    std::vector<std::string> Folders() const
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(Base(), ec))
            names.push_back(e.path().filename().string());
        return names;
    }

private slots:
    void initTestCase()
    {
        SetWaveAudio(&m_audio);
        m_dir = std::make_unique<CTempDir>();
        qputenv("HOME", QByteArray::fromStdString(m_dir->Path().string()));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*m_dir / "cache"));
        // 16-bit stereo at 22,050 Hz, 1.5 s: long enough for changes of
        // many sizes, short enough for hundreds of runs.
        m_file = *m_dir / "take.wav";
        Bytes data(22050 * 4 * 3 / 2);
        std::mt19937 rng(7);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
        WriteAll(m_file, SimpleWave(PcmFormat{2, 22050, 16}, data));
    }
    void cleanupTestCase()
    {
        SetWaveAudio(nullptr);
        m_dir.reset();
    }
    void cleanup() { Quit(); }

    void killedAtRandomMomentsTheAudioOfTheLastCompleteCopyComesBack()
    {
        const int kills = qEnvironmentVariableIsSet("ONDREL_RECOVERY_KILLS")
                              ? qEnvironmentVariableIntValue("ONDREL_RECOVERY_KILLS")
                              : 100;
        const unsigned seed0 = qEnvironmentVariableIsSet("ONDREL_RECOVERY_SEED")
                                   ? static_cast<unsigned>(qEnvironmentVariableIntValue("ONDREL_RECOVERY_SEED"))
                                   : 1;
        std::mt19937 rng(seed0);
        int recovered = 0, declined = 0, nothing = 0, betweenCopies = 0;
        for (int i = 0; i < kills; ++i) {
            const unsigned seed = seed0 + static_cast<unsigned>(i);
            CDriver driver(m_file, seed, "run");
            QVERIFY(driver.Started());
            // Killed after a few changes, at a random moment: inside a
            // change, inside the write of its copy, or in between.
            const int after = std::uniform_int_distribution<int>(0, 5)(rng);
            for (int n = 0; n < after; ++n)
                QVERIFY2(driver.WaitFor("DONE"), qPrintable(QStringLiteral("seed %1").arg(seed)));
            QTest::qSleep(std::uniform_int_distribution<int>(0, 60)(rng));
            driver.Kill();
            QVERIFY2(driver.messages.empty(), driver.messages.empty() ? "" : driver.messages[0].c_str());
            const QString where = QStringLiteral("seed %1: killed after change %2, copy of %3 complete")
                                      .arg(seed)
                                      .arg(driver.lastDone)
                                      .arg(driver.lastSaved);

            m_nAnswer = i % 10 == 9 ? IDNO : IDYES;
            QVERIFY(Launch());
            QVERIFY2(Questions() <= 1, qPrintable(where));
            if (Questions() == 0) {
                // Only when no copy was known to be complete.
                QVERIFY2(driver.lastSaved == 0, qPrintable(where));
                ++nothing;
            } else if (m_nAnswer == IDNO) {
                QVERIFY(Doc().GetPathName().empty());
                QVERIFY(!Doc().IsModified());
                ++declined;
            } else {
                // The question names the file; the audio is that of a change
                // at least as new as the last complete copy.
                QVERIFY2(m_messages[0].contains(QStringLiteral("\"take.wav\"")), qPrintable(m_messages[0]));
                const std::uint64_t hash = DocHash();
                int match = 0;
                for (int k = std::max(driver.lastSaved, 1); k <= driver.lastDone && !match; ++k)
                    if (driver.done[k].hash == hash && driver.done[k].size == Doc().GetDataSize())
                        match = k;
                QVERIFY2(match, qPrintable(where + QStringLiteral(": recovered audio of no such change")));
                const SState& s = driver.done[match];
                const WAVEFORMATEX& f = *Doc().m_wave.m_pFormat;
                QCOMPARE(f.nSamplesPerSec, s.rate);
                QCOMPARE(std::uint32_t{f.nChannels}, s.channels);
                QCOMPARE(std::uint32_t{f.wBitsPerSample}, s.bits);
                CMainFrame& frame = *m_app->GetMainFrame();
                QCOMPARE(frame.m_dwSamplesPerSec, s.rate);
                QCOMPARE(std::uint32_t{frame.m_wChannels}, s.channels);
                QCOMPARE(std::uint32_t{frame.m_wBitsPerSample}, s.bits);
                QCOMPARE(Doc().GetPathName(), m_file);
                QCOMPARE(Doc().GetTitle(), std::string("take.wav"));
                QVERIFY(Doc().IsModified());
                QCOMPARE(m_app->GetMainFrame()->windowTitle(), QStringLiteral("Ondrel - take.wav"));
                QVERIFY(!Doc().CanUndo());
                if (match > driver.lastSaved)
                    ++betweenCopies;
                ++recovered;
            }
            Quit();
            // Answered or empty: nothing of the dead editor stays.
            const std::vector<std::string> left = Folders();
            QVERIFY2(left.empty(), qPrintable(where + QStringLiteral(": left ") +
                                              QString::fromStdString(left.empty() ? "" : left.front())));
        }
        qInfo("%d kills: %d recovered (%d of them newer than the last copy known complete), %d declined, %d with "
              "nothing to recover",
              kills, recovered, betweenCopies, declined, nothing);
        QVERIFY(recovered > kills / 2);
    }

    // Recovered work is recoverable again: killed once more before any
    // change, the next start offers it again.
    void recoveredWorkSurvivesASecondKill()
    {
        CDriver driver(m_file, 4242, "run");
        QVERIFY(driver.WaitFor("SAVED 2"));
        driver.Kill();
        m_nAnswer = IDYES;
        QVERIFY(Launch());
        QCOMPARE(Questions(), 1);
        const std::uint64_t hash = DocHash();
        QVERIFY(Doc().WaitRecovery());
        // The recovered audio is at once in this editor's own recovery copy,
        // so a kill now would offer it again.
        const std::string own = ProcessCacheFolder();
        QVERIFY(fs::exists(own + "/" + kRecoveryRecordName));
        SRecoveryRecord record;
        QVERIFY(ReadRecoveryRecord(own, record));
        QCOMPARE(record.path, m_file);
        QVERIFY(record.bModified);
        CWaveData copy;
        CCurrentFormat scratch;
        SReason error;
        QVERIFY(LoadWaveFile(own + "/" + record.audioName, copy, scratch, error));
        std::uint8_t* p = copy.LockData();
        QCOMPARE(Fnv(p, copy.GetDataSize()), hash);
        copy.UnlockData();
    }

    void noQuestionAfterACleanExitOrASave()
    {
        {
            CDriver driver(m_file, 11, "exit");
            QVERIFY(driver.WaitFor("READY"));
            QCOMPARE(driver.Reap(), 0);
            QVERIFY(driver.lastSaved >= 4);
        }
        QVERIFY(Launch());
        QCOMPARE(Questions(), 0);
        Quit();
        QVERIFY(Folders().empty());

        const Bytes original = ReadAll(m_file);
        CDriver driver(m_file, 12, "save");
        QVERIFY(driver.WaitFor("READY"));
        QTest::qSleep(50);
        driver.Kill();
        QVERIFY(Launch());
        QCOMPARE(Questions(), 0);
        // The file holds what the user saved.
        const Bytes saved = ReadAll(m_file);
        QCOMPARE(Fnv(saved.data() + 44, saved.size() - 44), driver.done[driver.lastDone].hash);
        Quit();
        QVERIFY(Folders().empty());
        WriteAll(m_file, original);
    }

    void twoEditorsNeverTakeEachOthersWork()
    {
        CDriver running(m_file, 21, "run");
        QVERIFY(running.WaitFor("SAVED 2"));
        // The other editor still runs: its work is not offered, and not
        // removed.
        QVERIFY(Launch());
        QCOMPARE(Questions(), 0);
        Quit();
        QCOMPARE(Folders().size(), std::size_t{1});

        // A second editor beside it; then both die. Each next start offers
        // one of them, once.
        CDriver other(m_file, 22, "run");
        QVERIFY(other.WaitFor("SAVED 1"));
        running.Kill();
        other.Kill();
        QVERIFY(other.messages.empty()); // it was not asked about the first
        QCOMPARE(Folders().size(), std::size_t{2});
        std::set<std::uint64_t> expected, got;
        for (const CDriver* d : {&running, &other}) {
            std::set<std::uint64_t> hashes;
            for (int k = std::max(d->lastSaved, 1); k <= d->lastDone; ++k)
                hashes.insert(d->done.at(k).hash);
            expected.insert(hashes.begin(), hashes.end());
        }
        for (int start = 0; start < 2; ++start) {
            m_nAnswer = IDYES;
            QVERIFY(Launch());
            QCOMPARE(Questions(), 1);
            got.insert(DocHash());
            Quit();
        }
        QCOMPARE(got.size(), std::size_t{2});
        for (std::uint64_t h : got)
            QVERIFY(expected.count(h));
        QVERIFY(Launch());
        QCOMPARE(Questions(), 0);
        Quit();
        QVERIFY(Folders().empty());
    }

    // The dead editor had a 24-bit file open (converted to 16 bits): the
    // recovered document still asks before a save writes 16 bits over it.
    void aRecoveredConvertedFileStillAsksBeforeItsOriginalIsWritten()
    {
        const std::string wide = *m_dir / "wide.wav";
        Bytes data(22050 * 6);
        std::mt19937 rng(9);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
        const Bytes original = SimpleWave(PcmFormat{2, 22050, 24}, data);
        WriteAll(wide, original);
        CDriver driver(wide, 31, "run");
        QVERIFY(driver.WaitFor("SAVED 1"));
        driver.Kill();
        QCOMPARE(driver.messages.size(), std::size_t{1}); // the converted-file notice
        QVERIFY(driver.messages[0].find("24") != std::string::npos);

        m_nAnswer = IDYES;
        m_nOtherAnswer = IDCANCEL;
        QVERIFY(Launch());
        QCOMPARE(Questions(), 1);
        QCOMPARE(Doc().GetPathName(), wide);
        QVERIFY(Doc().IsModified());
        CMainFrame& frame = *m_app->GetMainFrame();
        frame.show();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        frame.OnIdle();
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &frame, Qt::Key_S, Qt::ControlModifier);
        m_nOtherAnswer = IDNO;
        QCOMPARE(m_messages.size(), std::size_t{2});
        QVERIFY2(m_messages[1].contains(QStringLiteral("24 ﾋﾞｯﾄ")), qPrintable(m_messages[1]));
        // ｷｬﾝｾﾙ: the original is as it was, the work still unsaved.
        QVERIFY(ReadAll(wide) == original);
        QVERIFY(Doc().IsModified());
    }

    void anUnusableCacheFolderIsToldOnceAndTheEditorWorks()
    {
        WriteAll(*m_dir / "blocker", std::string("x"));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*m_dir / "blocker/cache"));
        QVERIFY(Launch());
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*m_dir / "cache"));
        QCOMPARE(m_messages.size(), std::size_t{1});
        QVERIFY2(m_messages[0].contains(QStringLiteral("復元できません")), qPrintable(m_messages[0]));
        QVERIFY2(m_messages[0].contains(QStringLiteral("作業用ﾌｫﾙﾀﾞ")), qPrintable(m_messages[0]));
        // Files still open, and the window shows them.
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*m_dir / "blocker/cache"));
        QVERIFY(m_app->OpenDocumentFile(QString::fromStdString(m_file)));
        QCOMPARE(Doc().GetDataSize(), std::uint32_t{22050 * 4 * 3 / 2});
        QCOMPARE(m_messages.size(), std::size_t{1});
        Quit();
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*m_dir / "cache"));
    }
};

QTEST_MAIN(RecoveryTest)
#include "test_recovery.moc"
