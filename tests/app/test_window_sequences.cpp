// Sequences of user actions through the shown window, with real key presses
// and mouse clicks where a person would use them: save then undo, refused
// recordings then play and save, saving while recording, dropping the
// scroll bar's thumb, the keyboard after clicks in the panel and the
// waveform, cancelled effects and undo, and what the window does while an
// effect runs.

#include "tests/support/AppFixture.h"
#include "tests/support/FakeAudio.h"
#include "tests/support/WindowDriving.h"

#include "effects/EffectUi.h"
#include "frame/CRecordPanel.h"
#include "res/Strings.h"
#include "res/resource.h"

#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {
// Holds an effect's worker before it starts, with the progress window shown
// at once, until Release: a test can then look at the window during a run
// and press the progress window's ｷｬﾝｾﾙ first.
struct CWorkerGate {
    std::atomic<bool> started{false};
    std::atomic<bool> released{false};
    std::function<void()> onHeld; // runs on the worker thread while held

    CWorkerGate()
    {
        CProgressRunner::SetTestHooks(0, [this] {
            if (onHeld)
                onHeld();
            started = true;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!released && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    ~CWorkerGate() { CProgressRunner::SetTestHooks(500, nullptr); }
    void Release() { released = true; }
};

QProgressDialog* ShownProgress()
{
    auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
    return progress && progress->isVisible() ? progress : nullptr;
}

// Clicks ｷｬﾝｾﾙ in the progress window once it shows, then lets the worker go.
void CancelProgressWhenShown(CWorkerGate& gate)
{
    WhenReady([] { return ShownProgress() != nullptr; },
              [&gate] {
                  QPushButton* cancel = ShownProgress()->findChild<QPushButton*>();
                  QVERIFY(cancel);
                  QTest::mouseClick(cancel, Qt::LeftButton);
                  gate.Release();
              });
}
} // namespace

class TestWindowSequences : public QObject {
    Q_OBJECT

    CAppFixture m_fx;
    std::unique_ptr<FakeAudio> m_audio;

    CMainFrame& Frame() { return m_fx.Frame(); }
    COndrelDoc& Doc() { return m_fx.Doc(); }
    COndrelView& View() { return m_fx.View(); }
    bool Enabled(unsigned nID) { return m_fx.Enabled(nID); }
    std::string Path(const char* name) { return *m_fx.dir / name; }

    // Opens a ramp of `bytes` bytes.
    void Open(const PcmFormat& f, std::size_t bytes, const char* name = "a.wav")
    {
        QVERIFY(m_fx.Open(f, bytes, name));
        View().PaintNow();
    }
    int DetailY() const { return m_fx.app->GetView()->m_rcDetail.top + 20; }
    void ExpectCurrentFormat(std::uint32_t rate, unsigned channels, unsigned bits)
    {
        QCOMPARE(Frame().m_dwSamplesPerSec, rate);
        QCOMPARE(unsigned{Frame().m_wChannels}, channels);
        QCOMPARE(unsigned{Frame().m_wBitsPerSample}, bits);
        const WAVEFORMATEX& f = *Doc().m_wave.m_pFormat;
        QCOMPARE(f.nSamplesPerSec, rate);
        QCOMPARE(unsigned{f.nChannels}, channels);
        QCOMPARE(unsigned{f.wBitsPerSample}, bits);
    }

private slots:
    void init()
    {
        m_audio = std::make_unique<FakeAudio>();
        SetWaveAudio(m_audio.get());
        QVERIFY(m_fx.Start());
        QVERIFY(m_fx.ShowActive());
    }
    void cleanup()
    {
        m_fx.Stop();
        SetWaveAudio(nullptr);
        m_audio.reset();
    }

    // Delete, Ctrl+S, Ctrl+Z: the undone audio differs from the file, so
    // New asks first and キャンセル keeps it.
    void undoAfterASaveMarksTheDocumentModified()
    {
        Open(PcmFormat{1, 8000, 8}, 1000);
        m_fx.Drag(10, 30, DetailY());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&View()));
        m_fx.Key(Qt::Key_Delete);
        QCOMPARE(Doc().GetDataSize(), 990u);
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!Doc().IsModified());
        QCOMPARE(ReadAll(Path("a.wav")).size(), 44u + 990u);
        m_fx.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Doc().GetDataSize(), 1000u);
        QVERIFY(Doc().IsModified());
        m_fx.answers = {IDCANCEL};
        m_fx.Key(Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(m_fx.messages, std::vector<QString>{QStringLiteral("a.wav への変更を保存しますか?")});
        QCOMPARE(m_fx.Data(), Ramp(1000));
    }

    // A recording the device, the size or the time refuses leaves the
    // current format the document's: Play opens the device with it and
    // Save writes it. A refused time says so once, in the panel's words.
    void refusedRecordingKeepsTheFormatForPlayAndSave_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<bool>("failOpen");
        QTest::addColumn<QString>("message");
        QTest::newRow("no device") << "1" << true
                                   << QStringLiteral("録音ﾃﾞﾊﾞｲｽを開けませんでした (ｴﾗｰ 2)。"
                                                     "選択した入力ﾃﾞﾊﾞｲｽが見つかりません。"
                                                     "[PCMﾃﾞﾊﾞｲｽ] で入力ﾃﾞﾊﾞｲｽを選び直してください。");
        QTest::newRow("too long for a WAV file")
            << "99999" << false
            << QStringLiteral("99999 秒の録音はこの形式では WAV ﾌｧｲﾙに収まりません。録音時間を短くしてください。");
        QTest::newRow("zero time") << "0" << false << AfxLoadString(IDS_ZERO_INVALID);
        QTest::newRow("not a number") << "x" << false << AfxLoadString(IDS_REC_TIME_NOT_NUMBER);
    }
    void refusedRecordingKeepsTheFormatForPlayAndSave()
    {
        QFETCH(QString, time);
        QFETCH(bool, failOpen);
        QFETCH(QString, message);
        Open(PcmFormat{1, 8000, 8}, 800);
        CRecordPanel* panel = Frame().GetRecordPanel();
        panel->SetDlgItemText(IDC_REC_TIME, time);
        panel->SetCurSel(IDC_RATE, 5); // the panel now says 44100 Hz, stereo, 16 bits
        panel->SetCurSel(IDC_CHANNELS, 1);
        panel->SetCurSel(IDC_BITS, 1);
        m_audio->failOpen = failOpen;
        m_fx.ClickTool(ID_PCM_RECORD);
        QCOMPARE(View().m_nTransport, 0);
        QCOMPARE(int(m_fx.messages.size()), 1);
        QCOMPARE(m_fx.messages[0], message);
        ExpectCurrentFormat(8000, 1, 8);
        QCOMPARE(m_fx.Data(), Ramp(800));

        m_audio->failOpen = false;
        m_fx.ClickTool(ID_PCM_PLAY);
        QCOMPARE(View().m_nTransport, 2);
        QCOMPARE(m_audio->lastFormat.nSamplesPerSec, 8000u);
        QCOMPARE(unsigned{m_audio->lastFormat.wBitsPerSample}, 8u);
        m_fx.ClickTool(ID_PCM_STOP);
        QTRY_VERIFY(!Doc().m_wave.IsDeviceBusy());
        Doc().SetModifiedFlag(true);
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!Doc().IsModified());
        QCOMPARE(ReadAll(Path("a.wav")), SimpleWave(PcmFormat{1, 8000, 8}, Ramp(800)));
    }

    // Play with no output device says why once and plays nothing; with
    // the device back the same button plays, and a device that refuses the
    // audio says so too.
    void refusedPlaybackSaysWhyAndPlayThenWorks()
    {
        Open(PcmFormat{1, 8000, 8}, 800);
        m_audio->failOpen = true;
        m_fx.ClickTool(ID_PCM_PLAY);
        QCOMPARE(View().m_nTransport, 0);
        QCOMPARE(m_fx.messages, std::vector<QString>{QStringLiteral(
                                    "再生ﾃﾞﾊﾞｲｽを開けませんでした (ｴﾗｰ 2)。選択した出力ﾃﾞﾊﾞｲｽが見つかりません。"
                                    "[PCMﾃﾞﾊﾞｲｽ] で出力ﾃﾞﾊﾞｲｽを選び直してください。")});
        QVERIFY(!Doc().m_wave.IsDeviceBusy());
        QCOMPARE(m_audio->writes, 0);

        m_fx.messages.clear();
        m_audio->failOpen = false;
        m_fx.ClickTool(ID_PCM_PLAY);
        QCOMPARE(View().m_nTransport, 2);
        QCOMPARE(m_audio->writes, 1);
        QVERIFY(m_fx.messages.empty());
        m_fx.ClickTool(ID_PCM_STOP);
        QTRY_VERIFY(!Doc().m_wave.IsDeviceBusy());

        // A device that is still busy with a buffer refuses the next one.
        WAVEHDR held{};
        m_audio->played = &held;
        m_fx.ClickTool(ID_PCM_PLAY);
        m_audio->played = nullptr;
        QCOMPARE(View().m_nTransport, 0);
        QCOMPARE(m_fx.messages, std::vector<QString>{QStringLiteral("再生を開始できませんでした。")});
        QVERIFY(!Doc().m_wave.IsDeviceBusy());
        QCOMPARE(m_fx.Data(), Ramp(800));
    }

    // While recording, Save is disabled and refused from the close question
    // too; the file keeps the user's audio. Saving while playing works.
    void savingIsRefusedWhileRecording()
    {
        Open(PcmFormat{1, 8000, 8}, 800);
        const Bytes onDisk = ReadAll(Path("a.wav"));
        m_fx.Drag(10, 30, DetailY());
        m_fx.Key(Qt::Key_Delete); // modified, not saved
        m_fx.answers = {IDNO};    // record over it without saving
        Frame().GetRecordPanel()->SetDlgItemText(IDC_REC_TIME, QStringLiteral("1"));
        m_fx.ClickTool(ID_PCM_RECORD);
        QCOMPARE(View().m_nTransport, 1);
        QVERIFY(!Enabled(ID_FILE_SAVE));
        QVERIFY(!Enabled(ID_FILE_SAVE_AS));
        QVERIFY(!Frame().GetAction(ID_FILE_SAVE)->isEnabled());
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(ReadAll(Path("a.wav")), onDisk);

        // Closing asks about the unsaved audio; はい cannot save now, so the
        // window stays open.
        m_fx.messages.clear();
        m_fx.answers = {IDYES};
        Frame().close();
        QVERIFY(Frame().isVisible());
        QCOMPARE(int(m_fx.messages.size()), 2);
        QCOMPARE(m_fx.messages[1], AfxLoadString(IDS_SAVE_WHILE_RECORDING));
        QCOMPARE(ReadAll(Path("a.wav")), onDisk);

        m_audio->Record(300, 0x40);
        m_fx.ClickTool(ID_PCM_STOP);
        QTRY_COMPARE(Doc().GetDataSize(), 300u);
        m_fx.ClickTool(ID_PCM_PLAY);
        QCOMPARE(View().m_nTransport, 2);
        QVERIFY(Enabled(ID_FILE_SAVE));
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(ReadAll(Path("a.wav")), SimpleWave(PcmFormat{1, 22050, 16}, Bytes(300, 0x40)));
    }

    // A recording stopped before any sound arrived holds no frames: no effect
    // may offer an undo copy of nothing, which could not be loaded back.
    void anEmptyRecordingOffersNoEffect()
    {
        Open(PcmFormat{1, 8000, 8}, 800);
        Frame().GetRecordPanel()->SetDlgItemText(IDC_REC_TIME, QStringLiteral("1"));
        m_fx.ClickTool(ID_PCM_RECORD);
        m_fx.ClickTool(ID_PCM_STOP);
        QTRY_VERIFY(!Doc().m_wave.IsDeviceBusy());
        QCOMPARE(Doc().GetDataSize(), 0u);
        for (unsigned nID : {ID_EFFECT_REVERSE, ID_EFFECT_ECHO, ID_EFFECT_SINE})
            QVERIFY(!Frame().ExecuteCommand(nID));
        QVERIFY(!Enabled(ID_EDIT_UNDO));
        QVERIFY(m_fx.messages.empty());
    }

    // A thumb dropped where the drag left it keeps the start frame the drag
    // gave, also where the position does not map to a whole frame.
    void droppingTheThumbKeepsTheStartFrame_data()
    {
        QTest::addColumn<int>("dx");
        QTest::newRow("a little") << 7;
        QTest::newRow("a third") << 190;
        QTest::newRow("most of the way") << 411;
    }
    void droppingTheThumbKeepsTheStartFrame()
    {
        QFETCH(int, dx);
        Open(PcmFormat{1, 8000, 8}, 100000);
        const std::int64_t M = 100000 - std::int64_t{View().GetVisibleFrames()}; // R = 1000
        QScrollBar* bar = View().GetScrollBar();
        const QPoint from = ScrollBarPart(bar, QStyle::SC_ScrollBarSlider).center();
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(bar, from + QPoint(dx, 0));
        const int dragged = View().m_nStartFrame;
        QVERIFY(dragged > 0);
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, from + QPoint(dx, 0));
        QCOMPARE(View().m_nStartFrame, dragged);
        QCOMPARE(bar->sliderPosition(), int(std::int64_t{dragged} * 1000 / M));
        // The bar's own setting of the rounded position is no scroll.
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                          ScrollBarPart(bar, QStyle::SC_ScrollBarAddLine).center());
        QCOMPARE(View().m_nStartFrame, dragged + 1);
    }

    // Without data the scroll bar's arrows, trough and thumb move nothing.
    void withoutDataTheScrollBarDoesNotMove()
    {
        QScrollBar* bar = View().GetScrollBar();
        QVERIFY(bar->isVisible());
        for (QStyle::SubControl part : {QStyle::SC_ScrollBarAddLine, QStyle::SC_ScrollBarAddPage,
                                        QStyle::SC_ScrollBarSubLine, QStyle::SC_ScrollBarSubPage}) {
            QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, ScrollBarPart(bar, part).center());
            QCOMPARE(bar->sliderPosition(), 0);
            QCOMPARE(bar->value(), 0);
        }
        const QPoint thumb = ScrollBarPart(bar, QStyle::SC_ScrollBarSlider).center();
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, thumb);
        QTest::mouseMove(bar, thumb + QPoint(100, 0));
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, thumb + QPoint(100, 0));
        QCOMPARE(bar->sliderPosition(), 0);
        QCOMPARE(View().m_nStartFrame, 0);
    }

    // After a click in the recording-time box, a click and drag in the
    // waveform takes the keyboard: Delete and Ctrl+Z reach the commands.
    // Back in the box, its own editing keys win.
    void theKeyboardFollowsTheClicks()
    {
        Open(PcmFormat{1, 8000, 8}, 1000);
        auto* box = Frame().GetRecordPanel()->findChild<QLineEdit*>(QStringLiteral("IDC_REC_TIME"));
        QVERIFY(box);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(box));
        const QString time = box->text();
        m_fx.Drag(10, 30, DetailY());
        m_fx.Key(Qt::Key_Delete);
        QCOMPARE(Doc().GetDataSize(), 990u);
        QCOMPARE(box->text(), time);
        m_fx.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Doc().GetDataSize(), 1000u);

        m_fx.Drag(10, 30, DetailY());
        QTest::mouseClick(box, Qt::LeftButton);
        box->setCursorPosition(0);
        m_fx.Key(Qt::Key_Delete);
        QCOMPARE(box->text(), time.mid(1));
        QCOMPARE(Doc().GetDataSize(), 1000u);
        m_fx.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box->text(), time);
        QCOMPARE(Doc().GetDataSize(), 1000u);
    }

    // Delete, then an effect whose progress window is cancelled: the data
    // is as before the effect, and Undo still brings back the deleted bytes.
    void aCancelledEffectKeepsTheEarlierUndo_data()
    {
        QTest::addColumn<unsigned>("effect");
        QTest::newRow("echo") << ID_EFFECT_ECHO;
        QTest::newRow("reverse") << ID_EFFECT_REVERSE;
        QTest::newRow("sine") << ID_EFFECT_SINE;
    }
    void aCancelledEffectKeepsTheEarlierUndo()
    {
        QFETCH(unsigned, effect);
        Open(PcmFormat{2, 8000, 16}, 4000);
        m_fx.Drag(10, 30, DetailY());
        m_fx.Key(Qt::Key_Delete);
        const Bytes deleted = m_fx.Data();
        QCOMPARE(deleted.size(), 4000u - 40u);
        std::string undoPath;
        QVERIFY(Doc().GetUndoFilePath(undoPath));
        const Bytes undoCopy = ReadAll(undoPath);

        CWorkerGate gate;
        if (effect != ID_EFFECT_REVERSE)
            AnswerNextDialog("IDOK");
        CancelProgressWhenShown(gate);
        QVERIFY(Frame().ExecuteCommand(effect));
        QVERIFY(gate.started);
        QCOMPARE(m_fx.Data(), deleted);
        QVERIFY(m_fx.messages.empty());
        QCOMPARE(ReadAll(undoPath), undoCopy);
        QVERIFY(Enabled(ID_EDIT_UNDO));
        m_fx.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(m_fx.Data(), Ramp(4000));
    }

    // While the worker holds the block the window neither draws from it nor
    // lets anything read or replace it; after the cancel it shows the data
    // as it is again.
    void nothingTouchesTheBlockWhileAnEffectRuns()
    {
        Open(PcmFormat{1, 8000, 16}, 8000);
        View().PaintNow();
        const QImage before = View().GetImage().copy();
        WriteAll(Path("b.wav"), SimpleWave(PcmFormat{1, 8000, 8}, Ramp(10)));

        CWorkerGate gate;
        // The worker scribbles over the block, as a run does midway.
        std::uint8_t* block = Doc().LockData();
        Doc().UnlockData();
        gate.onHeld = [block] { std::memset(block, 0x7F, 8000); };
        AnswerNextDialog("IDOK");
        bool checked = false;
        WhenReady([&] { return gate.started && ShownProgress(); }, [&] {
            // Paint requests, a drop, a drag and the close box.
            View().Invalidate();
            View().PaintNow();
            QCOMPARE(View().GetImage(), before);
            for (unsigned nID : {ID_FILE_SAVE, ID_FILE_OPEN, ID_FILE_NEW, ID_EDIT_UNDO, ID_EFFECT_ECHO,
                                 ID_PCM_PLAY, ID_PCM_RECORD, ID_FILE_PRINT})
                QVERIFY2(!Enabled(nID), qPrintable(QString::number(nID)));
            QVERIFY(Enabled(ID_APP_ABOUT));
            m_fx.app->OpenDocumentFile(QString::fromStdString(Path("b.wav")));
            Frame().close();
            QVERIFY(Frame().isVisible());
            QCOMPARE(m_fx.messages.size(), 2u);
            QCOMPARE(m_fx.messages[0], AfxLoadString(IDS_EFFECT_BUSY));
            QCOMPARE(Doc().GetDataSize(), 8000u);
            checked = true;
            CancelProgressWhenShown(gate);
        });
        QVERIFY(Frame().ExecuteCommand(ID_EFFECT_TREMOLO));
        QVERIFY(checked);
        QCOMPARE(m_fx.Data(), Ramp(8000));
        QVERIFY(!Enabled(ID_EDIT_UNDO));
        View().PaintNow();
        QCOMPARE(View().GetImage(), before);
    }
};

QTEST_MAIN(TestWindowSequences)
#include "test_window_sequences.moc"
