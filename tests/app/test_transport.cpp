// Record, play and stop in the window, on a stand-in sound system that
// reports the end of each buffer when the test says so: the transport
// states and their marks, what reaches the device, what a recording leaves,
// and what may not happen while a device holds the data.

#include "tests/support/AppFixture.h"
#include "tests/support/FakeAudio.h"

#include "app/COndrelApp.h"
#include "doc/COndrelDoc.h"
#include "frame/CMainFrame.h"
#include "frame/CRecordPanel.h"
#include "framework/MessageBox.h"
#include "platform/ProcessCache.h"
#include "platform/WaveAudio.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"
#include "view/COndrelView.h"

#include <QtTest>

#include <cstring>
#include <deque>
#include <memory>


class TestTransport : public QObject {
    Q_OBJECT

    CAppFixture m_fx;
    std::unique_ptr<FakeAudio> m_audio;

    CMainFrame& Frame() { return m_fx.Frame(); }
    COndrelDoc& Doc() { return m_fx.Doc(); }
    COndrelView& View() { return m_fx.View(); }
    // "E" enabled, "-" disabled; "*" marked.
    QString State(unsigned nID)
    {
        CCmdUI ui(nID);
        Frame().UpdateCmdUI(ui);
        return QString(ui.m_bEnabled ? "E" : "-") + (ui.m_bCheckSet && ui.m_nCheck ? "*" : "");
    }
    QString States() { return State(ID_PCM_RECORD) + " " + State(ID_PCM_PLAY) + " " + State(ID_PCM_STOP); }
    void Open(const PcmFormat& f, std::size_t bytes) { QVERIFY(m_fx.Open(f, bytes)); }

private slots:
    void init()
    {
        m_audio = std::make_unique<FakeAudio>();
        SetWaveAudio(m_audio.get());
        QVERIFY(m_fx.Start());
    }
    void cleanup()
    {
        m_fx.Stop();
        SetWaveAudio(nullptr);
        m_audio.reset();
    }

    void playbackStatesAndWhatIsPlayed()
    {
        QCOMPARE(States(), QString("E - -")); // idle, no data: play disabled
        Open(PcmFormat{2, 11025, 16}, 4000);
        QCOMPARE(States(), QString("E E -"));

        QVERIFY(Frame().ExecuteCommand(ID_PCM_PLAY)); // no selection: everything
        QCOMPARE(View().m_nTransport, 2);
        QCOMPARE(States(), QString("- E* E"));
        QVERIFY(m_audio->played);
        QCOMPARE(m_audio->played->dwBufferLength, 4000u);
        QCOMPARE(m_audio->lastFormat.nSamplesPerSec, 11025u);
        // Play while playing does nothing; nothing may change the data.
        QVERIFY(Frame().ExecuteCommand(ID_PCM_PLAY));
        QCOMPARE(m_audio->writes, 1);
        for (unsigned nID : {ID_EDIT_UNDO, ID_EDIT_DELETE, ID_EFFECT_ECHO, ID_EFFECT_REVERSE})
            QCOMPARE(State(nID), QString("-"));
        QVERIFY(!m_fx.app->OpenDocumentFile(QString())); // New refused with a message
        QCOMPARE(m_fx.messages.size(), std::size_t{1});
        QVERIFY(m_fx.messages[0].contains(QStringLiteral("停止")));

        // Played to the end: the device closes, back to idle with no action.
        m_audio->FinishPlayback();
        QTRY_COMPARE(View().m_nTransport, 0);
        QTRY_VERIFY(!Doc().m_wave.IsDeviceBusy());
        QCOMPARE(States(), QString("E E -"));

        // A selection plays exactly its bytes; stop returns to idle at once.
        View().m_nSelPane = PaneDetailCh1;
        View().m_nStartFrame = 10;
        View().m_nSelAnchor = 4;
        View().m_nSelCurrent = 24; // frames 12..21
        QVERIFY(Frame().ExecuteCommand(ID_PCM_PLAY));
        QCOMPARE(m_audio->played->dwBufferLength, 40u);
        std::uint8_t* block = Doc().LockData();
        QCOMPARE(m_audio->played->lpData, block + 48);
        Doc().UnlockData();
        QVERIFY(Frame().ExecuteCommand(ID_PCM_STOP));
        QCOMPARE(View().m_nTransport, 0);
        QCOMPARE(m_audio->resets, 1);
        QTRY_VERIFY(!Doc().m_wave.IsDeviceBusy()); // closed by the end notice
        QCOMPARE(GlobalLockCount(Doc().m_wave.m_hData), 0u);
    }

    void aRecordingReplacesTheAudioWithWhatWasRecorded()
    {
        Open(PcmFormat{1, 8000, 8}, 100);
        CRecordPanel* panel = Frame().GetRecordPanel();
        panel->SetCurSel(IDC_RATE, 1);     // 11025
        panel->SetCurSel(IDC_CHANNELS, 1); // stereo
        panel->SetCurSel(IDC_BITS, 1);     // 16
        panel->SetDlgItemText(IDC_REC_TIME, QStringLiteral("2"));
        View().m_nSelPane = PaneDetailMono;
        View().m_nSelAnchor = 5;
        View().m_nSelCurrent = 50;

        QVERIFY(Frame().ExecuteCommand(ID_PCM_RECORD));
        QCOMPARE(View().m_nTransport, 1);
        QCOMPARE(States(), QString("E* - E"));
        QVERIFY(m_audio->recording);
        QCOMPARE(m_audio->recording->dwBufferLength, 2u * 11025 * 4); // the whole block
        QVERIFY(Frame().ExecuteCommand(ID_PCM_RECORD));                // again: nothing
        QCOMPARE(View().m_nTransport, 1);

        // The panel changes while recording; the recorded format wins.
        panel->SetCurSel(IDC_BITS, 0);
        m_audio->Record(5000, 0x42);
        QVERIFY(Frame().ExecuteCommand(ID_PCM_STOP));
        QTRY_COMPARE(Doc().GetDataSize(), 5000u);
        QCOMPARE(View().m_nTransport, 0);
        QVERIFY(!Doc().m_wave.IsDeviceBusy());
        QCOMPARE(Frame().m_wBitsPerSample, 16);
        QCOMPARE(Frame().m_dwSamplesPerSec, 11025u);
        QCOMPARE(Frame().GetText(IDC_DATA_BYTES), std::string("5000"));
        QCOMPARE(Frame().GetText(IDC_CUR_CHANNELS), std::string("Stereo"));
        QVERIFY(Doc().IsModified());
        QVERIFY(!Doc().CanUndo());
        QCOMPARE(View().GetSelectionLength(), 0u);
        QCOMPARE(View().m_nStartFrame, 0);
        QCOMPARE(States(), QString("E E -"));
    }

    void aFullBufferEndsTheRecordingByItself()
    {
        Frame().GetRecordPanel()->SetDlgItemText(IDC_REC_TIME, QStringLiteral("1"));
        QVERIFY(Frame().ExecuteCommand(ID_PCM_RECORD)); // 1 s of 22050 Hz 16-bit mono
        const std::uint32_t room = m_audio->recording->dwBufferLength;
        QCOMPARE(room, 44100u);
        m_audio->Record(room, 0x10);
        m_audio->FinishRecording();
        QTRY_COMPARE(View().m_nTransport, 0);
        QCOMPARE(Doc().GetDataSize(), room);
    }

    void recordingAsksAboutUnsavedWorkAndRefusedTimes()
    {
        Open(PcmFormat{1, 8000, 8}, 100);
        Doc().SetModifiedFlag();
        m_fx.answers = {IDCANCEL};
        QVERIFY(Frame().ExecuteCommand(ID_PCM_RECORD));
        QCOMPARE(View().m_nTransport, 0);
        QCOMPARE(m_fx.messages.back(), QStringLiteral("a.wav への変更を保存しますか?"));
        QCOMPARE(Doc().GetDataSize(), 100u);

        Doc().SetModifiedFlag(false);
        for (const char* time : {"0", "", "-5"}) {
            m_fx.messages.clear();
            Frame().GetRecordPanel()->SetDlgItemText(IDC_REC_TIME, QString::fromUtf8(time));
            QVERIFY(Frame().ExecuteCommand(ID_PCM_RECORD));
            QCOMPARE(View().m_nTransport, 0);
            QVERIFY2(!m_fx.messages.empty(), time);
            QCOMPARE(Doc().GetDataSize(), 100u); // the audio stays
        }
    }

    void devicesThatDoNotOpenLeaveEverythingIdle()
    {
        Open(PcmFormat{1, 8000, 8}, 100);
        m_audio->failOpen = true;
        QVERIFY(Frame().ExecuteCommand(ID_PCM_PLAY));
        QCOMPARE(View().m_nTransport, 0);
        // Each says why, once.
        QCOMPARE(int(m_fx.messages.size()), 1);
        QVERIFY(m_fx.messages[0].startsWith(QStringLiteral("再生ﾃﾞﾊﾞｲｽを開けませんでした")));
        QVERIFY(Frame().ExecuteCommand(ID_PCM_RECORD));
        QCOMPARE(View().m_nTransport, 0);
        QCOMPARE(int(m_fx.messages.size()), 2);
        QVERIFY(m_fx.messages[1].startsWith(QStringLiteral("録音ﾃﾞﾊﾞｲｽを開けませんでした")));
        QCOMPARE(Doc().GetDataSize(), 100u);
        QVERIFY(!Doc().m_wave.IsDeviceBusy());
        QCOMPARE(GlobalLockCount(Doc().m_wave.m_hData), 0u);
    }
};

QTEST_MAIN(TestTransport)
#include "test_transport.moc"
