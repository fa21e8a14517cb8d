// The effect menu in the window: enabling, the dialog's OK and ｷｬﾝｾﾙ, undo
// after a command, and the selection as the window.

#include "tests/support/AppFixture.h"
#include "tests/support/WindowDriving.h"

#include "app/COndrelApp.h"
#include "doc/COndrelDoc.h"
#include "frame/CMainFrame.h"
#include "framework/MessageBox.h"
#include "platform/ProcessCache.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"
#include "view/COndrelView.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {
const unsigned kEffects[] = {ID_EFFECT_REVERSE, ID_EFFECT_ECHO,  ID_EFFECT_VIBRATO, ID_EFFECT_CHORUS,
                             ID_EFFECT_TREMOLO, ID_EFFECT_VOICE, ID_EFFECT_SINE};

} // namespace

class TestEffectCommands : public QObject {
    Q_OBJECT

    CAppFixture m_fx;

    CMainFrame& Frame() { return m_fx.Frame(); }
    COndrelDoc& Doc() { return m_fx.Doc(); }
    bool Enabled(unsigned nID) { return m_fx.Enabled(nID); }
    Bytes Data() { return m_fx.Data(); }

private slots:
    void init()
    {
        QVERIFY(m_fx.Start());
        // No message is expected in these tests: say so when one comes.
        SetMessageBoxHook([](const QString& text, unsigned) {
            qWarning("unexpected message: %s", qPrintable(text));
            return IDNO;
        });
    }
    void cleanup() { m_fx.Stop(); }

    void effectsNeedDataAndAFreeDevice()
    {
        for (unsigned nID : kEffects)
            QVERIFY(!Enabled(nID));
        WriteAll(*m_fx.dir / "a.wav", SimpleWave(PcmFormat{1, 8000, 16}, Ramp(2000)));
        QVERIFY(m_fx.app->OpenDocumentFile(QString::fromStdString(*m_fx.dir / "a.wav")));
        for (unsigned nID : kEffects)
            QVERIFY(Enabled(nID));
        m_fx.app->GetView()->m_nTransport = 1; // recording
        for (unsigned nID : kEffects)
            QVERIFY(!Enabled(nID));
        m_fx.app->GetView()->m_nTransport = 0;
    }

    void okAppliesCancelChangesNothingAndUndoRestores()
    {
        const Bytes before = Ramp(4 * 4000);
        WriteAll(*m_fx.dir / "a.wav", SimpleWave(PcmFormat{2, 8000, 16}, before));
        QVERIFY(m_fx.app->OpenDocumentFile(QString::fromStdString(*m_fx.dir / "a.wav")));

        AnswerNextDialog("IDCANCEL");
        QVERIFY(Frame().ExecuteCommand(ID_EFFECT_ECHO));
        QVERIFY(Data() == before);
        QVERIFY(!Doc().IsModified());
        QVERIFY(!Enabled(ID_EDIT_UNDO));

        for (unsigned nID : {ID_EFFECT_ECHO, ID_EFFECT_CHORUS, ID_EFFECT_VOICE, ID_EFFECT_VIBRATO,
                             ID_EFFECT_TREMOLO, ID_EFFECT_SINE}) {
            AnswerNextDialog("IDOK");
            QVERIFY(Frame().ExecuteCommand(nID));
            QVERIFY2(Data() != before, qPrintable(QString::number(nID)));
            QVERIFY(Doc().IsModified());
            QVERIFY(Enabled(ID_EDIT_UNDO));
            QVERIFY(Frame().ExecuteCommand(ID_EDIT_UNDO));
            QVERIFY2(Data() == before, qPrintable(QString::number(nID)));
        }
        // Reverse has no dialog.
        QVERIFY(Frame().ExecuteCommand(ID_EFFECT_REVERSE));
        QVERIFY(Data() != before);
        QVERIFY(Frame().ExecuteCommand(ID_EDIT_UNDO));
        QVERIFY(Data() == before);
    }

    void theSelectionIsTheWindow()
    {
        const Bytes before = Ramp(4000);
        WriteAll(*m_fx.dir / "a.wav", SimpleWave(PcmFormat{1, 8000, 8}, before));
        QVERIFY(m_fx.app->OpenDocumentFile(QString::fromStdString(*m_fx.dir / "a.wav")));
        COndrelView& view = *m_fx.app->GetView();
        view.m_nSelPane = PaneDetailMono;
        view.m_nStartFrame = 100;
        view.m_nSelAnchor = 20;
        view.m_nSelCurrent = 40; // frames 110..119
        QVERIFY(Frame().ExecuteCommand(ID_EFFECT_REVERSE));
        Bytes expected = before;
        std::reverse(expected.begin() + 110, expected.begin() + 120);
        QVERIFY(Data() == expected);
    }
};

QTEST_MAIN(TestEffectCommands)
#include "test_effect_commands.moc"
