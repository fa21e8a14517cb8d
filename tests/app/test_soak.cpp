// A long seeded run of random commands through the real main window: open,
// new, selections in both panes, scrolls, delete, undo, every effect with
// its dialog accepted or cancelled, play and record on the test sound
// server, stop, save. After every step the data, the selection, the locks
// and the devices must be in order.
//   ONDREL_SOAK_SEED  the seed (default 20261210); printed on failure
//   ONDREL_SOAK_STEPS the number of commands (default 10000)

#include "tests/support/AppFixture.h"

#include "device/CQtWaveAudio.h"
#include "frame/CRecordPanel.h"
#include "res/resource.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <map>
#include <random>

class TestSoak : public QObject {
    Q_OBJECT

    CAppFixture m_fx;
    std::unique_ptr<CQtWaveAudio> m_audio;
    std::mt19937 m_rng;
    unsigned m_seed = 20261210;
    int m_step = 0;
    std::map<unsigned, int> m_ran; // commands that were enabled and ran, by id

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    QString Where() const { return QStringLiteral("seed %1, step %2").arg(m_seed).arg(m_step); }

    // Answers the modal dialog that opens next: OK or キャンセル.
    void AnswerNextDialog(bool ok)
    {
        QTimer::singleShot(0, [ok] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                if (auto* b = modal->findChild<QPushButton*>(ok ? QStringLiteral("IDOK") : QStringLiteral("IDCANCEL")))
                    b->click();
                else
                    modal->close();
            }
        });
    }

    void Check()
    {
        COndrelDoc& doc = m_fx.Doc();
        COndrelView& view = m_fx.View();
        const std::uint32_t size = doc.GetDataSize();
        if (doc.m_wave.m_hData)
            QVERIFY2(size <= GlobalSize(doc.m_wave.m_hData), qPrintable(Where()));
        const std::uint64_t start = view.GetSelectionStart(), length = view.GetSelectionLength();
        QVERIFY2(start + length <= size, qPrintable(Where()));
        // The device and a recovery copy still being written hold one lock
        // each.
        const unsigned locks = (doc.m_wave.IsDeviceBusy() ? 1u : 0u) + (doc.IsRecoveryWriting() ? 1u : 0u);
        QVERIFY2(GlobalLockCount(doc.m_wave.m_hData) == locks, qPrintable(Where()));
    }

    // Runs a command when it is enabled and counts it.
    bool Run(unsigned nID)
    {
        const bool ran = m_fx.Frame().ExecuteCommand(nID);
        if (ran)
            ++m_ran[nID];
        return ran;
    }

    void OneStep()
    {
        CMainFrame& frame = m_fx.Frame();
        COndrelView& view = m_fx.View();
        const int W = view.width(), H = view.height();
        switch (Pick(16)) {
        case 0: { // open one of the fixtures
            static const char* names[] = {"m8.wav", "m16.wav", "s8.wav", "s16.wav"};
            m_fx.app->OpenDocumentFile(QString::fromStdString(*m_fx.dir / names[Pick(4)]));
            break;
        }
        case 1:
            Run(ID_FILE_NEW);
            break;
        case 2:
        case 3: { // a drag in a random place, often inside a pane
            const int y = Pick(H), x0 = Pick(W), x1 = Pick(W + 40) - 20;
            QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(x0, y));
            QTest::mouseMove(&view, QPoint(x1, y));
            QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(std::max(x1, 0), y));
            break;
        }
        case 4: {
            static const QAbstractSlider::SliderAction actions[] = {
                QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
                QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderPageStepSub,
                QAbstractSlider::SliderToMinimum, QAbstractSlider::SliderToMaximum};
            if (Pick(3) == 0) {
                view.GetScrollBar()->setSliderDown(true);
                view.GetScrollBar()->setSliderPosition(Pick(1001));
                view.GetScrollBar()->setSliderDown(false);
            } else {
                view.GetScrollBar()->triggerAction(actions[Pick(6)]);
            }
            break;
        }
        case 5:
            Run(ID_EDIT_DELETE);
            break;
        case 6:
            Run(ID_EDIT_UNDO);
            break;
        case 7:
        case 8: { // an effect, its dialog accepted or cancelled
            static const unsigned effects[] = {ID_EFFECT_REVERSE, ID_EFFECT_ECHO,  ID_EFFECT_VIBRATO, ID_EFFECT_CHORUS,
                                               ID_EFFECT_TREMOLO, ID_EFFECT_VOICE, ID_EFFECT_SINE};
            const unsigned id = effects[Pick(7)];
            if (id != ID_EFFECT_REVERSE)
                AnswerNextDialog(Pick(4) != 0);
            if (!Run(id) && id != ID_EFFECT_REVERSE)
                QApplication::processEvents(); // the answer finds no dialog
            break;
        }
        case 9:
        case 10:
            Run(ID_PCM_PLAY);
            break;
        case 11:
            frame.GetRecordPanel()->SetDlgItemText(IDC_REC_TIME, QStringLiteral("1"));
            frame.GetRecordPanel()->SetCurSel(IDC_RATE, Pick(6));
            frame.GetRecordPanel()->SetCurSel(IDC_CHANNELS, Pick(2));
            frame.GetRecordPanel()->SetCurSel(IDC_BITS, Pick(2));
            Run(ID_PCM_RECORD);
            break;
        case 12:
        case 13:
            Run(ID_PCM_STOP);
            break;
        case 14: { // save under a new name in the folder
            const QString path = QString::fromStdString(*m_fx.dir / ("saved" + std::to_string(Pick(3)) + ".wav"));
            SetFileDialogHook([path](bool, const QString&) { return path; });
            Run(Pick(2) ? ID_FILE_SAVE : ID_FILE_SAVE_AS);
            break;
        }
        default: // let the devices and the window catch up
            QTest::qWait(Pick(30));
            break;
        }
        QApplication::processEvents();
    }

private slots:
    void init()
    {
        if (qEnvironmentVariableIsSet("ONDREL_SOAK_SEED"))
            m_seed = qEnvironmentVariable("ONDREL_SOAK_SEED").toUInt();
        m_rng.seed(m_seed);
        m_audio = std::make_unique<CQtWaveAudio>();
        SetWaveAudio(m_audio.get());
        QVERIFY(m_fx.Start());
        // Every question is answered at random; file dialogs give a path in the folder.
        SetMessageBoxHook([this](const QString&, unsigned type) {
            if ((type & 0xF) == MB_YESNOCANCEL) {
                static const int answers[] = {IDYES, IDNO, IDCANCEL};
                return answers[Pick(3)];
            }
            return IDOK;
        });
        const PcmFormat formats[] = {{1, 8000, 8}, {1, 11025, 16}, {2, 22050, 8}, {2, 8000, 16}};
        const char* names[] = {"m8.wav", "m16.wav", "s8.wav", "s16.wav"};
        for (int i = 0; i < 4; ++i)
            WriteAll(*m_fx.dir / names[i], SimpleWave(formats[i], Ramp(6000 + 1000 * i)));
        m_fx.Frame().resize(700, 450);
        m_fx.Frame().show();
    }
    void cleanup()
    {
        // No device may stay open: stop, and let the last notices arrive.
        m_fx.Frame().ExecuteCommand(ID_PCM_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(!m_fx.Doc().m_wave.IsDeviceBusy(), 10000);
        SetFileDialogHook(nullptr);
        m_fx.Stop();
        SetWaveAudio(nullptr);
        m_audio.reset();
    }

    void randomCommands()
    {
        const int steps = qEnvironmentVariableIsSet("ONDREL_SOAK_STEPS")
                              ? qEnvironmentVariable("ONDREL_SOAK_STEPS").toInt()
                              : 10000;
        for (m_step = 0; m_step < steps; ++m_step) {
            OneStep();
            Check();
            if (QTest::currentTestFailed()) {
                qWarning("soak failed: %s", qPrintable(Where()));
                return;
            }
        }
        QString ran;
        for (const auto& [id, n] : m_ran)
            ran += QStringLiteral(" %1:%2").arg(id).arg(n);
        qInfo("soak: %d commands, seed %u; ran (id:times):%s", steps, m_seed, qPrintable(ran));
        // The run must have reached the commands it is about.
        for (unsigned id : {ID_EDIT_DELETE, ID_EDIT_UNDO, ID_EFFECT_ECHO, ID_PCM_PLAY, ID_PCM_RECORD, ID_PCM_STOP})
            QVERIFY2(m_ran[id] > 0 || steps < 1000, qPrintable(QStringLiteral("never ran %1").arg(id)));
    }
};

QTEST_MAIN(TestSoak)
#include "test_soak.moc"
