// Random sequences of user actions through the real main window, checked
// step by step against a small model of what the user should have: the
// audio and its format, the modified flag, the file's path, what each file
// in the folder holds and what Undo would bring back. Mouse drags in both
// panes, clicks and thumb drags on the scroll bar and keys go in as real
// events; menu commands run through the frame's command routing; dialogs
// are answered by clicking their buttons. After every step:
// - the current format equals the document's whenever no recording runs;
// - the document, its undo copy and every file are what the model says (a
//   cancelled or refused command changes nothing at all);
// - a document that is not modified is byte for byte what 上書き保存 writes;
// - the selection lies inside the data, in whole frames;
// - when idle, no device is open and no lock of the data is held.
// RapidCheck generates the sequences and shrinks a failing one; the seed,
// the shrunk steps and an RC_PARAMS line that replays them are printed.
//   RC_PARAMS          RapidCheck's own (seed, max_success, max_size,
//                      reproduce, noshrink, ...); wins over the two below
//   ONDREL_SEQ_CASES   sequences to run (default 60)
//   ONDREL_SEQ_STEPS   the longest sequence (default 120); lengths grow
//                      from case to case up to it

#include "tests/support/AppFixture.h"
#include "tests/support/WindowDriving.h"

#include "device/CQtWaveAudio.h"
#include "effects/EffectUi.h"
#include "frame/CRecordPanel.h"
#include "platform/GlobalMemory.h"
#include "res/resource.h"

#include <rapidcheck.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QThread>
#include <QtTest>

#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

namespace {

// ---------------------------------------------------------------- steps

enum class EAct { Open, New, Drag, ClickTimeBox, Key, Scroll, Delete, Undo, Effect, Save, SaveAs, Record, Play, Stop, Wait };

// One user action. `p` holds its parameters (see showValue); `answer` is
// the reply to "%1 への変更を保存しますか?" (0 はい, 1 いいえ, 2 キャンセル) and
// `name` the save dialog's choice (0..2 a file of the folder, 3 キャンセル),
// both used only when the question or the dialog comes.
struct SStep {
    EAct act = EAct::Wait;
    std::array<int, 5> p{};
    int answer = 0;
    int name = 0;
};

// The files of the folder: fixtures first, then the names the save dialog offers.
struct SFixture {
    const char* name;
    std::uint16_t channels;
    std::uint32_t rate;
    std::uint16_t bits;
    std::uint32_t frames;
};
// Long enough (over 65,536 frames) that every effect reports progress, and
// so meets a cancel, before it ends; "short.wav" may end first.
constexpr SFixture kFixtures[] = {
    {"m8.wav", 1, 8000, 8, 70001},    {"m16.wav", 1, 11025, 16, 70000}, {"s8.wav", 2, 22050, 8, 70000},
    {"s16.wav", 2, 44100, 16, 70000}, {"short.wav", 1, 16000, 16, 3001},
};
constexpr int kFixtureCount = 5;
constexpr const char* kSaveNames[] = {"saved0.wav", "saved1.wav", "saved2.wav"};
constexpr int kFileCount = kFixtureCount + 3;
std::string FileName(int i) { return i < kFixtureCount ? kFixtures[i].name : kSaveNames[i - kFixtureCount]; }

constexpr unsigned kEffects[] = {ID_EFFECT_REVERSE, ID_EFFECT_ECHO,  ID_EFFECT_VIBRATO, ID_EFFECT_CHORUS,
                                 ID_EFFECT_TREMOLO, ID_EFFECT_VOICE, ID_EFFECT_SINE};
// How long a started recording runs before the next step: it records 1 s.
constexpr int kRecordWaitMs[] = {0, 60, 400, 1300};
constexpr const char* kEffectNames[] = {"Reverse", "Echo", "Vibrato", "Chorus", "Tremolo", "Voice", "Sine"};
// The engine reports progress every 65,536 frames of the whole file.
constexpr std::uint32_t kProgressFrames = 65536;

const char* AnswerText(int a) { return a == 0 ? "はい" : a == 1 ? "いいえ" : "キャンセル"; }
std::string NameText(int n) { return n < 3 ? kSaveNames[n] : "キャンセル"; }

// How RapidCheck prints a step in a counterexample.
void showValue(const SStep& s, std::ostream& os)
{
    const auto& p = s.p;
    auto ask = [&] { os << " [ask " << AnswerText(s.answer) << ", dialog " << NameText(s.name) << "]"; };
    switch (s.act) {
    case EAct::Open: os << "Open " << FileName(p[0]); ask(); break;
    case EAct::New: os << "New"; ask(); break;
    case EAct::Drag: {
        static const char* panes[] = {"overview", "detail", "position bar", "anywhere"};
        os << "Drag in " << panes[p[0]] << " x " << p[1] << "‰ -> " << p[2] << "‰, y " << p[3] << "‰";
        break;
    }
    case EAct::ClickTimeBox: os << "Click the recording time box"; break;
    case EAct::Key: os << "Key " << (p[0] == 0 ? "Delete" : "Ctrl+Z"); break;
    case EAct::Scroll: {
        static const char* parts[] = {"left arrow", "right arrow", "trough left", "trough right"};
        if (p[0] < 4)
            os << "Scroll: click " << parts[p[0]];
        else
            os << "Scroll: drag the thumb to " << p[1] << "‰";
        break;
    }
    case EAct::Delete: os << "Delete"; break;
    case EAct::Undo: os << "Undo"; break;
    case EAct::Effect:
        os << kEffectNames[p[0]];
        if (p[0] != 0)
            os << (p[1] == 3 ? " (dialog キャンセル)" : " (dialog OK)");
        if (p[2] == 2)
            os << " (progress ｷｬﾝｾﾙ)";
        break;
    case EAct::Save: os << "上書き保存 [dialog " << NameText(s.name) << "]"; break;
    case EAct::SaveAs: os << "名前を付けて保存 [dialog " << NameText(s.name) << "]"; break;
    case EAct::Record: {
        static const char* kinds[] = {"Record", "Record with no device", "Record for 0 s", "Record for 1000000 s"};
        os << kinds[p[0]] << " " << CRecordPanel::s_wSampleRates[p[1]] << " Hz "
           << CRecordPanel::s_wChannelCounts[p[2]] << " ch " << CRecordPanel::s_wBitDepths[p[3]] << " bit";
        if (p[0] == 0)
            os << ", then " << kRecordWaitMs[p[4]] << " ms";
        ask();
        break;
    }
    case EAct::Play: os << "Play"; break;
    case EAct::Stop: os << "Stop"; break;
    case EAct::Wait: os << "Wait " << p[0] << " ms"; break;
    }
}

std::string Show(const SStep& s)
{
    std::ostringstream os;
    showValue(s, os);
    return os.str();
}

// 0..n-1, all equally likely whatever the size: the size sets only how
// long a sequence is.
rc::Gen<int> Uniform(int n) { return rc::gen::resize(rc::kNominalSize, rc::gen::inRange(0, n)); }

// An action of kind `act` whose parameters run over 0..ranges[i]-1 and
// whose answer and dialog choice are drawn when it can ask.
rc::Gen<SStep> StepOf(EAct act, std::array<int, 5> ranges, bool asks = false)
{
    using namespace rc;
    return gen::map(gen::tuple(Uniform(ranges[0]), Uniform(ranges[1]), Uniform(ranges[2]), Uniform(ranges[3]),
                               Uniform(ranges[4]), Uniform(asks ? 3 : 1), Uniform(4)),
                    [act](const std::tuple<int, int, int, int, int, int, int>& t) {
                        SStep s;
                        s.act = act;
                        s.p = {std::get<0>(t), std::get<1>(t), std::get<2>(t), std::get<3>(t), std::get<4>(t)};
                        s.answer = std::get<5>(t);
                        s.name = std::get<6>(t);
                        return s;
                    });
}

rc::Gen<SStep> GenStep()
{
    return rc::gen::weightedOneOf<SStep>({
        {8, StepOf(EAct::Open, {kFileCount, 1, 1, 1, 1}, true)},
        {3, StepOf(EAct::New, {1, 1, 1, 1, 1}, true)},
        {14, StepOf(EAct::Drag, {4, 1001, 1001, 1001, 1})},
        {3, StepOf(EAct::ClickTimeBox, {1, 1, 1, 1, 1})},
        {6, StepOf(EAct::Key, {2, 1, 1, 1, 1})},
        {7, StepOf(EAct::Scroll, {5, 1001, 1, 1, 1})},
        {6, StepOf(EAct::Delete, {1, 1, 1, 1, 1})},
        {6, StepOf(EAct::Undo, {1, 1, 1, 1, 1})},
        {14, StepOf(EAct::Effect, {7, 4, 3, 1, 1})},
        {5, StepOf(EAct::Save, {1, 1, 1, 1, 1})},
        {3, StepOf(EAct::SaveAs, {1, 1, 1, 1, 1})},
        {8, StepOf(EAct::Record, {4, 6, 2, 2, 4}, true)},
        {4, StepOf(EAct::Play, {1, 1, 1, 1, 1})},
        {6, StepOf(EAct::Stop, {1, 1, 1, 1, 1})},
        {2, StepOf(EAct::Wait, {301, 1, 1, 1, 1})},
    });
}

// ---------------------------------------------------------------- model

struct SFormat {
    std::uint16_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint16_t bits = 16;
    bool operator==(const SFormat&) const = default;
    std::uint32_t FrameBytes() const { return channels * (bits / 8u); }
    std::string Text() const
    {
        return std::to_string(channels) + " ch " + std::to_string(bits) + " bit " + std::to_string(rate) + " Hz";
    }
};

struct SWave {
    SFormat format;
    Bytes audio;
};

// What the editor writes: a 44-byte header ("RIFF", a 16-byte `fmt `, a
// `data` chunk with no pad byte), then the audio.
Bytes Wave44(const SWave& w)
{
    Bytes b;
    const std::uint32_t align = w.format.FrameBytes();
    PutTag(b, "RIFF");
    Put32(b, static_cast<std::uint32_t>(w.audio.size() + 36));
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, w.format.channels);
    Put32(b, w.format.rate);
    Put32(b, w.format.rate * align);
    Put16(b, static_cast<std::uint16_t>(align));
    Put16(b, w.format.bits);
    PutTag(b, "data");
    Put32(b, static_cast<std::uint32_t>(w.audio.size()));
    b.insert(b.end(), w.audio.begin(), w.audio.end());
    return b;
}

// The inverse, for files in the 44-byte layout; nothing for anything else.
std::optional<SWave> Parse44(const Bytes& b)
{
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 36, "data", 4) != 0)
        return std::nullopt;
    SWave w;
    w.format.channels = static_cast<std::uint16_t>(b[22] | b[23] << 8);
    w.format.rate = Get32(b, 24);
    w.format.bits = static_cast<std::uint16_t>(b[34] | b[35] << 8);
    const std::uint32_t size = Get32(b, 40);
    if (b.size() != 44 + std::uint64_t{size})
        return std::nullopt;
    w.audio.assign(b.begin() + 44, b.end());
    return w;
}

enum class ETransport { Idle, Recording, Playing };
enum class EFocus { Box, View, Unknown };

// What the user should have.
struct SModel {
    SWave wave;
    bool hasData = false; // a file was opened or a recording started
    bool modified = false;
    std::string path; // a name in the folder; empty for a new document
    bool canUndo = false;
    SWave undo;
    std::map<std::string, SWave> disk; // the folder's files by name
    ETransport transport = ETransport::Idle;
    SFormat recordFormat; // of the recording that runs
    EFocus focus = EFocus::Box;

    // Expected of the step just done: the save questions, the save
    // dialogs, and the other message boxes (-1: any number).
    int questions = 0;
    int dialogs = 0;
    int messages = -1;
    std::string note; // said when this expectation is not met
};

// The editor as the model sees it.
struct SReal {
    bool recording = false; // a recording runs or its device is still open
    bool free = true;       // no device holds the data and the transport is idle
    SWave wave;
    SFormat current;
    bool modified = false;
    std::string path;
    bool canUndo = false;
    int questions = 0, dialogs = 0, messages = 0;
};

struct SFailure {
    std::string signature; // which check failed after which kind of step
    std::string detail;
};

std::string ActName(EAct a)
{
    static const char* names[] = {"Open",   "New",  "Drag", "ClickTimeBox", "Key",    "Scroll", "Delete", "Undo",
                                  "Effect", "Save", "SaveAs", "Record",     "Play",   "Stop",   "Wait"};
    return names[static_cast<int>(a)];
}

// The first byte at which two byte strings differ, for messages.
std::string FirstDifference(const Bytes& want, const Bytes& got)
{
    std::size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i])
        ++i;
    return "sizes " + std::to_string(want.size()) + " (expected) and " + std::to_string(got.size()) +
           ", first difference at byte " + std::to_string(i);
}

// ---------------------------------------------------------------- UI helpers

std::atomic<bool> g_bProgressCancelled{false};

// Presses the buttons of the windows a step opens: the effect dialog's OK
// or キャンセル, and the progress window's ｷｬﾝｾﾙ. Polls from a timer, which
// also runs inside their event loops.
class CAnswerer : public QObject {
public:
    bool m_bAnswerDialog = false, m_bDialogOk = true, m_bCancelProgress = false;
    bool m_bDialogAnswered = false;

    CAnswerer()
    {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, &CAnswerer::Poll);
        m_timer.start();
    }

private:
    void Poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (auto* progress = qobject_cast<QProgressDialog*>(w)) {
                if (m_bCancelProgress && !g_bProgressCancelled) {
                    if (auto* b = progress->findChild<QPushButton*>()) {
                        b->click(); // sets the run's cancel flag before it returns
                        g_bProgressCancelled = true;
                    }
                }
                continue;
            }
            if (m_bAnswerDialog && !m_bDialogAnswered && w->isModal()) {
                if (auto* b = w->findChild<QPushButton*>(m_bDialogOk ? QStringLiteral("IDOK") : QStringLiteral("IDCANCEL"))) {
                    m_bDialogAnswered = true;
                    b->click();
                }
            }
        }
    }
    QTimer m_timer;
};


// ---------------------------------------------------------------- one run

// One sequence on a freshly started editor in a folder of its own.
class CSequenceRun {
public:
    CSequenceRun() = default;
    ~CSequenceRun() { Finish(); }

    // Runs the steps; the first check that fails ends the run.
    std::optional<SFailure> Execute(const std::vector<SStep>& steps)
    {
        if (auto f = Begin())
            return f;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            m_log.push_back(Show(steps[i]));
            m_nStep = i;
            if (auto f = Settle())
                return Report(*f, steps);
            if (auto f = Step(steps[i]))
                return Report(*f, steps);
        }
        return std::nullopt;
    }

private:
    CAppFixture m_fx;
    SModel m_model;
    std::vector<std::string> m_log;
    std::size_t m_nStep = 0;
    bool m_bStarted = false;
    // What the hooks saw during the current step.
    int m_nQuestions = 0, m_nDialogs = 0, m_nMessages = 0;
    std::vector<std::string> m_messages;
    const SStep* m_pStep = nullptr;

    CMainFrame& Frame() { return m_fx.Frame(); }
    COndrelDoc& Doc() { return m_fx.Doc(); }
    COndrelView& View() { return m_fx.View(); }
    CRecordPanel& Panel() { return *Frame().GetRecordPanel(); }
    std::string PathOf(const std::string& name) { return *m_fx.dir / name; }

    SFailure Report(SFailure f, const std::vector<SStep>& steps)
    {
        std::ostringstream os;
        const auto& config = rc::detail::configuration();
        if (config.reproduce.empty())
            os << "seed " << config.testParams.seed << ": ";
        else
            os << "replayed: ";
        os << f.signature << " at step "
           << m_nStep + 1 << " of " << steps.size() << "\n  " << f.detail << "\n  steps:\n";
        for (std::size_t i = 0; i < m_log.size(); ++i)
            os << "  " << (i + 1) << ". " << m_log[i] << (i == m_nStep ? "   <-- fails here" : "") << "\n";
        if (!m_messages.empty()) {
            os << "  message boxes of the last step:\n";
            for (const std::string& m : m_messages)
                os << "    " << m << "\n";
        }
        f.detail = os.str();
        return f;
    }

    std::optional<SFailure> Begin()
    {
        if (!m_fx.Start())
            return SFailure{"start", "the editor did not start"};
        m_bStarted = true;
        SetMessageBoxHook([this](const QString& text, unsigned type) {
            m_messages.push_back(text.toStdString());
            if ((type & 0xF) == MB_YESNOCANCEL) {
                ++m_nQuestions;
                static const int answers[] = {IDYES, IDNO, IDCANCEL};
                return m_pStep ? answers[m_pStep->answer] : IDCANCEL;
            }
            ++m_nMessages;
            return IDOK;
        });
        SetFileDialogHook([this](bool bOpen, const QString&) {
            if (bOpen)
                return m_pStep && m_pStep->act == EAct::Open ? QString::fromStdString(PathOf(FileName(m_pStep->p[0])))
                                                            : QString();
            ++m_nDialogs;
            return m_pStep && m_pStep->name < 3 ? QString::fromStdString(PathOf(kSaveNames[m_pStep->name])) : QString();
        });
        for (const SFixture& f : kFixtures) {
            SWave w{{f.channels, f.rate, f.bits}, Ramp(std::size_t{f.frames} * f.channels * (f.bits / 8))};
            WriteAll(PathOf(f.name), Wave44(w));
            m_model.disk[f.name] = std::move(w);
        }
        // Recording uses the default input unless a step says otherwise.
        m_fx.app->GetProfile().WriteProfileInt("WAV Config", "WavInDevice", WAVE_MAPPER);
        Frame().resize(700, 450);
        Frame().show();
        Frame().activateWindow();
        if (!QTest::qWaitForWindowActive(&Frame()))
            return SFailure{"start", "the main window did not become active"};
        // The keyboard starts in the recording time box.
        QTest::mouseClick(Panel().GetDlgItem(IDC_REC_TIME), Qt::LeftButton);
        QApplication::processEvents();
        m_model.focus = EFocus::Box;
        SReal real = Read();
        return Compare(m_model, real, "Start");
    }

    void Finish()
    {
        if (!m_bStarted)
            return;
        // No device may stay open: stop, and let the last notices arrive.
        Frame().ExecuteCommand(ID_PCM_STOP);
        WaitUntilFree(10000);
        CProgressRunner::SetTestHooks(500, nullptr);
        SetFileDialogHook(nullptr);
        m_fx.Stop();
        m_bStarted = false;
    }

    bool WaitUntilFree(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!View().IsDataFree()) {
            if (clock.elapsed() > ms)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        QApplication::processEvents();
        return true;
    }

    SReal Read()
    {
        SReal r;
        COndrelDoc& doc = Doc();
        r.recording = View().m_nTransport == 1 || doc.m_wave.m_pWaveIn != nullptr;
        r.free = View().IsDataFree();
        const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
        r.wave.format = {f.nChannels, f.nSamplesPerSec, f.wBitsPerSample};
        if (std::uint8_t* p = doc.LockData()) {
            r.wave.audio.assign(p, p + doc.GetDataSize());
            doc.UnlockData();
        }
        r.current = {Frame().m_wChannels, Frame().m_dwSamplesPerSec, Frame().m_wBitsPerSample};
        r.modified = doc.IsModified();
        r.path = doc.GetPathName();
        r.canUndo = doc.CanUndo();
        r.questions = m_nQuestions;
        r.dialogs = m_nDialogs;
        r.messages = m_nMessages;
        return r;
    }

    // A device that stopped on its own (a full recording buffer, the end of
    // the sound) takes the model back to idle; a recording's data becomes
    // the audio, in the panel's format, and undo is withdrawn.
    void Sync(SModel& m, const SReal& real)
    {
        if (m.transport == ETransport::Idle || !real.free)
            return;
        if (m.transport == ETransport::Recording) {
            m.wave = {m.recordFormat, real.wave.audio};
            m.canUndo = false;
            m.modified = true;
        }
        m.transport = ETransport::Idle;
    }

    // Compares the model with the editor; empty when they agree.
    std::optional<SFailure> Compare(const SModel& m, const SReal& r, const std::string& act)
    {
        auto fail = [&](const std::string& check, std::string detail) {
            if (!m.note.empty())
                detail += " (" + m.note + ")";
            return SFailure{act + ": " + check, std::move(detail)};
        };
        for (int i = 0; i < kFileCount; ++i) {
            const std::string name = FileName(i);
            const bool exists = std::filesystem::exists(PathOf(name));
            auto it = m.disk.find(name);
            if (it == m.disk.end()) {
                if (exists)
                    return fail("file on disk", name + " was written, expected no such file");
                continue;
            }
            const Bytes want = Wave44(it->second), got = ReadAll(PathOf(name));
            if (got != want)
                return fail("file on disk", name + " holds other bytes than expected: " + FirstDifference(want, got));
        }
        if (r.questions != m.questions)
            return fail("save question", "asked " + std::to_string(r.questions) + " times, expected " +
                                             std::to_string(m.questions));
        if (r.dialogs != m.dialogs)
            return fail("save dialog", "shown " + std::to_string(r.dialogs) + " times, expected " +
                                           std::to_string(m.dialogs));
        if (m.messages >= 0 && r.messages != m.messages)
            return fail("message boxes", std::to_string(r.messages) + " shown, expected " +
                                             std::to_string(m.messages));
        const std::string path = m.path.empty() ? std::string() : PathOf(m.path);
        if (r.path != path)
            return fail("path", "the document's path is '" + r.path + "', expected '" + path + "'");
        if (m.transport == ETransport::Idle && !r.free)
            return fail("device", "a sound device holds the data, expected none");
        if (m.transport == ETransport::Recording)
            return std::nullopt; // the audio is being recorded
        if (r.wave.format != m.wave.format)
            return fail("format", "the document's format is " + r.wave.format.Text() + ", expected " +
                                      m.wave.format.Text());
        if (r.wave.audio != m.wave.audio)
            return fail("audio", "the document's audio differs: " + FirstDifference(m.wave.audio, r.wave.audio));
        if (r.modified != m.modified)
            return fail("modified", std::string("the document is ") + (r.modified ? "" : "not ") +
                                        "modified, expected " + (m.modified ? "modified" : "not modified"));
        if (r.canUndo != m.canUndo)
            return fail("undo availability", std::string("Undo is ") + (r.canUndo ? "" : "not ") +
                                                 "offered, expected " + (m.canUndo ? "offered" : "not offered"));
        if (m.canUndo) {
            std::string undoPath;
            std::optional<SWave> undo;
            if (Doc().GetUndoFilePath(undoPath))
                undo = Parse44(ReadAll(undoPath));
            if (!undo)
                return fail("undo content", "the undo copy cannot be read");
            if (undo->format != m.undo.format)
                return fail("undo content", "Undo would bring back " + undo->format.Text() + ", expected " +
                                                m.undo.format.Text());
            if (undo->audio != m.undo.audio)
                return fail("undo content", "Undo would bring back other audio: " +
                                                FirstDifference(m.undo.audio, undo->audio));
        }
        return std::nullopt;
    }

    // What holds whatever the model says: the current format, a saved
    // document, the selection, the devices and the locks.
    std::optional<SFailure> Invariants(const SReal& r, const std::string& act)
    {
        auto fail = [&](const std::string& check, const std::string& detail) {
            return SFailure{act + ": " + check, detail};
        };
        if (!r.recording && r.current != r.wave.format)
            return fail("current format", "the current format is " + r.current.Text() + ", the document's " +
                                              r.wave.format.Text());
        if (!r.modified && r.free && !r.path.empty()) {
            const Bytes want = Wave44(r.wave), got = ReadAll(r.path);
            if (got != want)
                return fail("saved file", "the document is not modified, but its file differs from what "
                                          "上書き保存 writes: " + FirstDifference(want, got));
        }
        const std::uint64_t start = View().GetSelectionStart(), length = View().GetSelectionLength();
        const std::uint32_t bpf = r.current.FrameBytes();
        // A length of 0 is no selection, whatever the start says.
        if (length != 0 && (start + length > Doc().GetDataSize() || (bpf && (start % bpf || length % bpf))))
            return fail("selection", "the selection " + std::to_string(start) + "+" + std::to_string(length) +
                                         " does not lie in whole frames inside " +
                                         std::to_string(Doc().GetDataSize()) + " bytes");
        if (r.free) {
            CWaveData& w = Doc().m_wave;
            // A recovery copy still being written holds one lock.
            const unsigned writing = Doc().IsRecoveryWriting() ? 1u : 0u;
            if (w.m_pWaveIn || w.m_pWaveOut || w.IsDeviceBusy() || GlobalLockCount(w.m_hData) != writing)
                return fail("devices and locks", "idle, but a device is open or the data is locked (" +
                                                     std::to_string(GlobalLockCount(w.m_hData)) + " locks)");
        }
        return std::nullopt;
    }

    // Lets the window and the devices catch up before a step; a device that
    // stopped on its own is checked like a step.
    std::optional<SFailure> Settle()
    {
        QApplication::processEvents();
        if (m_model.transport == ETransport::Idle || !View().IsDataFree())
            return std::nullopt;
        ResetStepCounters();
        SReal real = Read();
        SModel m = m_model;
        Sync(m, real);
        m.questions = m.dialogs = 0;
        m.messages = -1;
        const std::string act = "a device ended by itself";
        if (auto f = Compare(m, real, act))
            return f;
        m_model = m;
        return Invariants(real, act);
    }

    void ResetStepCounters()
    {
        m_nQuestions = m_nDialogs = m_nMessages = 0;
        m_messages.clear();
    }

    // ------------------------------------------------------------ the model's rules

    // Saves to `name`, or asks for one when it is empty. False when the
    // dialog was cancelled.
    static bool SimSave(SModel& m, const std::string& name, const SStep& s)
    {
        std::string target = name;
        if (target.empty()) {
            ++m.dialogs;
            if (s.name == 3)
                return false;
            target = kSaveNames[s.name];
        }
        m.disk[target] = m.wave;
        m.modified = false;
        m.path = target;
        return true;
    }

    // "%1 への変更を保存しますか?" before the audio is replaced; true when the
    // caller may go on.
    static bool SimSaveModified(SModel& m, const SStep& s)
    {
        if (!m.modified)
            return true;
        ++m.questions;
        if (s.answer == 1)
            return true;
        if (s.answer == 2)
            return false;
        return SimSave(m, m.path, s);
    }

    static bool Idle(const SModel& m) { return m.transport == ETransport::Idle; }

    static SModel SimDelete(SModel m, std::uint32_t start, std::uint32_t length)
    {
        // Cut to the valid data, as the document does.
        const std::size_t size = m.wave.audio.size();
        start = static_cast<std::uint32_t>(std::min<std::size_t>(start, size));
        length = static_cast<std::uint32_t>(std::min<std::size_t>(length, size - start));
        if (length == 0 || !Idle(m))
            return m;
        m.undo = m.wave;
        m.canUndo = true;
        m.wave.audio.erase(m.wave.audio.begin() + start, m.wave.audio.begin() + start + length);
        m.modified = true;
        return m;
    }

    // Undo brings back the state before the last change, and the document
    // then differs from its file.
    static SModel SimUndo(SModel m)
    {
        if (!m.canUndo || !m.hasData || !Idle(m))
            return m;
        m.wave = m.undo;
        m.canUndo = false;
        m.modified = true;
        return m;
    }

    // ------------------------------------------------------------ steps

    std::optional<SFailure> Step(const SStep& s)
    {
        ResetStepCounters();
        m_pStep = &s;
        SModel before = m_model;
        before.questions = before.dialogs = 0;
        before.messages = -1;
        before.note.clear();
        std::vector<SModel> candidates;
        std::optional<SFailure> extra;
        switch (s.act) {
        case EAct::Open: candidates = DoOpen(before, s); break;
        case EAct::New: candidates = DoNew(before, s); break;
        case EAct::Drag: candidates = DoDrag(before, s); break;
        case EAct::ClickTimeBox:
            QTest::mouseClick(Panel().GetDlgItem(IDC_REC_TIME), Qt::LeftButton);
            before.focus = EFocus::Box;
            candidates = {before};
            break;
        case EAct::Key: candidates = DoKey(before, s); break;
        case EAct::Scroll: candidates = DoScroll(before, s, extra); break;
        case EAct::Delete: {
            const std::uint32_t start = View().GetSelectionStart(), length = View().GetSelectionLength();
            Frame().ExecuteCommand(ID_EDIT_DELETE);
            candidates = {SimDelete(before, start, length)};
            break;
        }
        case EAct::Undo:
            Frame().ExecuteCommand(ID_EDIT_UNDO);
            candidates = {SimUndo(before)};
            break;
        case EAct::Effect: candidates = DoEffect(before, s); break;
        case EAct::Save:
        case EAct::SaveAs: {
            Frame().ExecuteCommand(s.act == EAct::Save ? ID_FILE_SAVE : ID_FILE_SAVE_AS);
            SModel m = before;
            // Nothing may be saved while the recording is still coming in:
            // the document holds no audio yet.
            if (m.transport != ETransport::Recording)
                SimSave(m, s.act == EAct::Save ? m.path : std::string(), s);
            candidates = {m};
            break;
        }
        case EAct::Record: candidates = DoRecord(before, s); break;
        case EAct::Play: {
            Frame().ExecuteCommand(ID_PCM_PLAY);
            SModel m = before;
            if (Idle(m) && !m.wave.audio.empty())
                m.transport = ETransport::Playing;
            candidates = {m};
            break;
        }
        case EAct::Stop:
            Frame().ExecuteCommand(ID_PCM_STOP);
            if (!WaitUntilFree(10000))
                return SFailure{"Stop: devices and locks", "the device was still open 10 s after Stop"};
            candidates = {before};
            break;
        case EAct::Wait:
            QTest::qWait(s.p[0]);
            candidates = {before};
            break;
        }
        m_pStep = nullptr;
        QApplication::processEvents();
        if (extra)
            return extra;

        const SReal real = Read();
        std::optional<SFailure> first;
        for (SModel& c : candidates) {
            Sync(c, real);
            std::optional<SFailure> f = Compare(c, real, ActName(s.act));
            if (!f) {
                m_model = c;
                m_model.questions = m_model.dialogs = 0;
                m_model.messages = -1;
                m_model.note.clear();
                return Invariants(real, ActName(s.act));
            }
            if (!first)
                first = f;
        }
        return first;
    }

    std::vector<SModel> DoOpen(SModel m, const SStep& s)
    {
        Frame().ExecuteCommand(ID_FILE_OPEN);
        const std::string name = FileName(s.p[0]);
        // The open file is not opened again, and nothing replaces the
        // audio while a device holds it.
        if (name == m.path || !Idle(m))
            return {m};
        if (!SimSaveModified(m, s))
            return {m};
        auto it = m.disk.find(name);
        if (it == m.disk.end() || it->second.audio.empty())
            return {m}; // no such file, or one without audio: it does not open
        m.wave = it->second;
        m.hasData = true;
        m.canUndo = false;
        m.modified = false;
        m.path = name;
        return {m};
    }

    std::vector<SModel> DoNew(SModel m, const SStep& s)
    {
        Frame().ExecuteCommand(ID_FILE_NEW);
        if (!Idle(m) || !SimSaveModified(m, s))
            return {m};
        // A new document keeps the audio and undo; it has no name and is
        // not modified.
        m.path.clear();
        m.modified = false;
        return {m};
    }

    std::vector<SModel> DoDrag(SModel m, const SStep& s)
    {
        COndrelView& view = View();
        view.PaintNow(); // the panes' layout for the current size
        const int W = view.width(), H = view.m_rcDetail.bottom;
        RECT rc{0, 0, W, H}; // the whole client area, bands and position bar included
        if (s.p[0] == 0)
            rc = view.m_rcOverview;
        else if (s.p[0] == 1)
            rc = view.m_rcDetail;
        else if (s.p[0] == 2)
            rc = view.m_rcPosition;
        const int x0 = rc.left + static_cast<int>(std::int64_t{rc.right - rc.left - 1} * s.p[1] / 1000);
        const int y = rc.top + static_cast<int>(std::int64_t{std::max(rc.bottom - rc.top - 1, 0)} * s.p[3] / 1000);
        const int x1 = -20 + static_cast<int>(std::int64_t{W + 40} * s.p[2] / 1000);
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(x0, y));
        QTest::mouseMove(&view, QPoint((x0 + x1) / 2, y));
        QTest::mouseMove(&view, QPoint(x1, y));
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(x1, y));
        // A click in the view gives it the keyboard.
        m.focus = EFocus::View;
        return {m};
    }

    std::vector<SModel> DoKey(SModel m, const SStep& s)
    {
        const std::uint32_t start = View().GetSelectionStart(), length = View().GetSelectionLength();
        // The desktop gives the window back its activation when a dialog
        // over it closes; the offscreen platform does not.
        if (!Frame().isActiveWindow()) {
            Frame().activateWindow();
            QTest::qWaitForWindowActive(&Frame());
        }
        Frame().OnIdle(); // the shortcuts' enabled state, as after any idle moment
        QWidget* target = QApplication::focusWidget();
        if (!target)
            target = &Frame();
        if (s.p[0] == 0)
            QTest::keyClick(target, Qt::Key_Delete);
        else
            QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
        // In the view the keys are the accelerators; in the text box they
        // edit the text and leave the document alone.
        const SModel command = s.p[0] == 0 ? SimDelete(m, start, length) : SimUndo(m);
        if (m.focus == EFocus::View)
            return {command};
        if (m.focus == EFocus::Box)
            return {m};
        return {command, m};
    }

    std::vector<SModel> DoScroll(SModel m, const SStep& s, std::optional<SFailure>& extra)
    {
        COndrelView& view = View();
        QScrollBar* bar = view.GetScrollBar();
        const bool empty = view.GetFrameCount() == 0;
        const int positionBefore = bar->sliderPosition();
        if (s.p[0] < 4) {
            static const QStyle::SubControl parts[] = {QStyle::SC_ScrollBarSubLine, QStyle::SC_ScrollBarAddLine,
                                                       QStyle::SC_ScrollBarSubPage, QStyle::SC_ScrollBarAddPage};
            const QRect r = ScrollBarPart(bar, parts[s.p[0]]);
            if (!r.isEmpty())
                QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, r.center());
            if (empty && bar->sliderPosition() != positionBefore)
                extra = SFailure{"Scroll: thumb moved with no data",
                                 "the thumb went from " + std::to_string(positionBefore) + " to " +
                                     std::to_string(bar->sliderPosition()) + " although there is nothing to scroll"};
        } else {
            const QRect slider = ScrollBarPart(bar, QStyle::SC_ScrollBarSlider);
            const QRect groove = ScrollBarPart(bar, QStyle::SC_ScrollBarGroove);
            if (!slider.isEmpty()) {
                const QPoint from = slider.center();
                const int span = std::max(groove.width() - slider.width(), 0);
                const QPoint to(groove.left() + slider.width() / 2 + span * s.p[1] / 1000, from.y());
                QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, from);
                QTest::mouseMove(bar, (from + to) / 2);
                QTest::mouseMove(bar, to);
                const int dragged = view.m_nStartFrame;
                QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, to);
                if (!empty && view.m_nStartFrame != dragged)
                    extra = SFailure{"Scroll: the dropped thumb moved the view",
                                     "the drag showed frame " + std::to_string(dragged) +
                                         " at the left edge, the drop moved it to " +
                                         std::to_string(view.m_nStartFrame)};
            }
        }
        // A click on the scroll bar may or may not give the view the keyboard.
        if (m.focus == EFocus::Box)
            m.focus = EFocus::Unknown;
        return {m};
    }

    std::vector<SModel> DoEffect(SModel m, const SStep& s)
    {
        const unsigned id = kEffects[s.p[0]];
        const bool hasDialog = id != ID_EFFECT_REVERSE;
        const bool dialogOk = !hasDialog || s.p[1] != 3;
        const bool cancelRun = s.p[2] == 2;
        const std::uint32_t start = View().GetSelectionStart(), length = View().GetSelectionLength();
        {
            CAnswerer answerer;
            answerer.m_bAnswerDialog = hasDialog;
            answerer.m_bDialogOk = dialogOk;
            answerer.m_bCancelProgress = cancelRun;
            g_bProgressCancelled = false;
            if (cancelRun) {
                // The window shows at once, and the work waits until its
                // ｷｬﾝｾﾙ has been pressed.
                CProgressRunner::SetTestHooks(0, [] {
                    QElapsedTimer clock;
                    clock.start();
                    while (!g_bProgressCancelled && clock.elapsed() < 10000)
                        QThread::msleep(1);
                });
            }
            Frame().ExecuteCommand(id);
            CProgressRunner::SetTestHooks(500, nullptr);
        }
        if (!m.hasData || !Idle(m) || !dialogOk)
            return {m};

        // Applied: the audio changes inside the effect's window only (the
        // result itself is the effect's business), and Undo brings back
        // what was there before.
        const std::uint32_t bpf = m.wave.format.FrameBytes();
        const std::uint32_t size = static_cast<std::uint32_t>(m.wave.audio.size());
        std::uint32_t windowStart = 0, windowFrames = bpf ? size / bpf : 0;
        if (length != 0 && bpf != 0) {
            windowStart = std::min(start, size);
            windowFrames = std::min(length / bpf, (size - windowStart) / bpf);
        }
        const std::uint64_t windowEnd = windowStart + std::uint64_t{windowFrames} * bpf;
        SModel applied = m;
        applied.undo = m.wave;
        applied.canUndo = true;
        applied.modified = true;
        const Bytes result = m_fx.Data();
        bool inside = result.size() == m.wave.audio.size();
        for (std::size_t i = 0; inside && i < result.size(); ++i)
            if ((i < windowStart || i >= windowEnd) && result[i] != m.wave.audio[i]) {
                inside = false;
                applied.note = "the effect changed byte " + std::to_string(i) + ", outside its window " +
                               std::to_string(windowStart) + ".." + std::to_string(windowEnd);
            }
        if (inside)
            applied.wave.audio = result;
        else if (applied.note.empty())
            applied.note = "the effect changed the size of the audio";
        // With no audio at all there is nothing to change, and refusing
        // the command does no harm either.
        SModel unchanged = m;
        unchanged.note = "nothing changed";
        if (m.wave.audio.empty())
            return {applied, unchanged};
        if (!cancelRun)
            return {applied};

        // Cancelled: nothing changes, undo included, whenever the run had
        // to report progress before its end. The engine reports every
        // 65,536 frames of the file, the sine after each piece of its
        // window; reverse, which works on its window only, is held to the
        // same when its window is long enough.
        bool mustCancel;
        if (id == ID_EFFECT_SINE)
            mustCancel = windowFrames > 0;
        else if (id == ID_EFFECT_REVERSE)
            mustCancel = windowFrames > kProgressFrames;
        else
            mustCancel = bpf && size / bpf > kProgressFrames;
        unchanged.note = "the run was cancelled";
        if (mustCancel)
            return {unchanged};
        return {unchanged, applied};
    }

    std::vector<SModel> DoRecord(SModel m, const SStep& s)
    {
        static const char* times[] = {"1", "1", "0", "1000000"};
        CRecordPanel& panel = Panel();
        panel.SetDlgItemText(IDC_REC_TIME, QString::fromLatin1(times[s.p[0]]));
        panel.SetCurSel(IDC_RATE, s.p[1]);
        panel.SetCurSel(IDC_CHANNELS, s.p[2]);
        panel.SetCurSel(IDC_BITS, s.p[3]);
        m_fx.app->GetProfile().WriteProfileInt("WAV Config", "WavInDevice", s.p[0] == 1 ? 99 : WAVE_MAPPER);
        Frame().ExecuteCommand(ID_PCM_RECORD);
        m_fx.app->GetProfile().WriteProfileInt("WAV Config", "WavInDevice", WAVE_MAPPER);
        if (s.p[0] == 0 && View().m_nTransport == 1)
            QTest::qWait(kRecordWaitMs[s.p[4]]);
        // Not while playing; a second record while recording does nothing.
        if (!Idle(m) || !SimSaveModified(m, s))
            return {m};
        if (s.p[0] != 0) {
            // Refused with one message, and nothing changes.
            m.messages = 1;
            m.note = "the recording was refused";
            return {m};
        }
        m.transport = ETransport::Recording;
        m.recordFormat = {CRecordPanel::s_wChannelCounts[s.p[2]], CRecordPanel::s_wSampleRates[s.p[1]],
                          CRecordPanel::s_wBitDepths[s.p[3]]};
        m.hasData = true;
        return {m};
    }
};

// A failure of another kind than the one being shrunk, met while
// shrinking: said once at the end.
std::map<std::string, std::string> g_otherFailures;

} // namespace

class TestSequences : public QObject {
    Q_OBJECT

    std::unique_ptr<CQtWaveAudio> m_audio;

private slots:
    void initTestCase()
    {
        // Our defaults first; whatever RC_PARAMS says wins over them.
        const QByteArray cases = qEnvironmentVariableIsSet("ONDREL_SEQ_CASES") ? qgetenv("ONDREL_SEQ_CASES") : "60";
        const QByteArray steps = qEnvironmentVariableIsSet("ONDREL_SEQ_STEPS") ? qgetenv("ONDREL_SEQ_STEPS") : "120";
        qputenv("RC_PARAMS", "seed=20261211 max_success=" + cases + " max_size=" + steps + " " + qgetenv("RC_PARAMS"));
        m_audio = std::make_unique<CQtWaveAudio>();
        SetWaveAudio(m_audio.get());
    }
    void cleanupTestCase()
    {
        SetWaveAudio(nullptr);
        m_audio.reset();
    }

    void userActionSequences()
    {
        // The first failure found is the one shrunk: a shorter sequence that
        // fails for another reason does not count as a smaller example of it.
        std::string target;
        const bool ok = rc::check("user action sequences", [&target] {
            const auto steps = *rc::gen::container<std::vector<SStep>>(GenStep());
            std::optional<SFailure> failure;
            {
                CSequenceRun run;
                failure = run.Execute(steps);
            }
            if (!failure)
                return;
            if (target.empty())
                target = failure->signature;
            if (failure->signature != target) {
                g_otherFailures.emplace(failure->signature, failure->detail);
                return;
            }
            RC_FAIL(failure->detail);
        });
        for (const auto& [signature, detail] : g_otherFailures)
            qWarning("also seen while shrinking (%s):\n%s", signature.c_str(), detail.c_str());
        QVERIFY2(ok, target.c_str());
    }
};

QTEST_MAIN(TestSequences)
#include "test_sequences.moc"
