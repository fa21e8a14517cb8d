// The effect menu in the window: enabling, the dialog's OK and ｷｬﾝｾﾙ, undo
// after a command, and the selection as the window.

#include "app/COndrelApp.h"
#include "doc/COndrelDoc.h"
#include "frame/CMainFrame.h"
#include "platform/MessageBox.h"
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

// Presses a button of the modal dialog that opens next.
void AnswerNextDialog(const char* button)
{
    QTimer::singleShot(0, [button] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        auto* b = modal->findChild<QPushButton*>(QString::fromUtf8(button));
        QVERIFY(b);
        b->click();
    });
}
} // namespace

class TestEffectCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<CTempDir> m_dir;
    std::unique_ptr<COndrelApp> m_app;

    CMainFrame& Frame() { return *m_app->GetMainFrame(); }
    COndrelDoc& Doc() { return *m_app->GetDocument(); }
    bool Enabled(unsigned nID)
    {
        CCmdUI ui(nID);
        Frame().UpdateCmdUI(ui);
        return ui.m_bEnabled;
    }
    Bytes Data()
    {
        std::uint8_t* p = Doc().LockData();
        Bytes b(p, p + Doc().GetDataSize());
        Doc().UnlockData();
        return b;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<CTempDir>();
        qputenv("HOME", QByteArray::fromStdString(m_dir->Path().string()));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*m_dir / "cache"));
        RemoveProcessCacheFolder();
        SetMessageBoxHook([](const QString& text, unsigned) {
            qWarning("unexpected message: %s", qPrintable(text));
            return IDNO;
        });
        m_app = std::make_unique<COndrelApp>(*m_dir / "ondrel.ini");
        QVERIFY(m_app->InitInstance({"ondrel"}));
    }
    void cleanup()
    {
        Frame().SetCloseHandler(nullptr);
        m_app.reset();
        SetMessageBoxHook(nullptr);
        RemoveProcessCacheFolder();
        m_dir.reset();
    }

    void effectsNeedDataAndAFreeDevice()
    {
        for (unsigned nID : kEffects)
            QVERIFY(!Enabled(nID));
        WriteAll(*m_dir / "a.wav", SimpleWave(PcmFormat{1, 8000, 16}, Ramp(2000)));
        QVERIFY(m_app->OpenDocumentFile(QString::fromStdString(*m_dir / "a.wav")));
        for (unsigned nID : kEffects)
            QVERIFY(Enabled(nID));
        m_app->GetView()->m_nTransport = 1; // recording
        for (unsigned nID : kEffects)
            QVERIFY(!Enabled(nID));
        m_app->GetView()->m_nTransport = 0;
    }

    void okAppliesCancelChangesNothingAndUndoRestores()
    {
        const Bytes before = Ramp(4 * 4000);
        WriteAll(*m_dir / "a.wav", SimpleWave(PcmFormat{2, 8000, 16}, before));
        QVERIFY(m_app->OpenDocumentFile(QString::fromStdString(*m_dir / "a.wav")));

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
        WriteAll(*m_dir / "a.wav", SimpleWave(PcmFormat{1, 8000, 8}, before));
        QVERIFY(m_app->OpenDocumentFile(QString::fromStdString(*m_dir / "a.wav")));
        COndrelView& view = *m_app->GetView();
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
