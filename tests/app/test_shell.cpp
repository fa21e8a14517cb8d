// The editor's shell, offscreen: command table and routing, enabling rules,
// the file flows with their save prompts, recent files, dropped files, the
// recording panel's ReadPanel and the readouts.

#include "app/CAboutDlg.h"
#include "app/COndrelApp.h"
#include "doc/COndrelDoc.h"
#include "frame/CHelpWindow.h"
#include "frame/CMainFrame.h"
#include "frame/CRecordPanel.h"
#include "framework/CSingleDocTemplate.h"
#include "framework/MessageBox.h"
#include "res/Strings.h"
#include "res/resource.h"
#include "tests/support/WaveFixtures.h"
#include "view/COndrelView.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QtTest>

#include <deque>
#include <memory>

namespace {
// Answers message boxes from a queue and records what they said.
struct MessageRecorder {
    std::vector<QString> texts;
    std::deque<int> answers;
    MessageRecorder()
    {
        SetMessageBoxHook([this](const QString& text, unsigned) {
            texts.push_back(text);
            if (answers.empty())
                return IDOK;
            int a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    ~MessageRecorder() { SetMessageBoxHook(nullptr); }
};

struct FileDialogAnswer {
    QString path;
    int asked = 0;
    FileDialogAnswer()
    {
        SetFileDialogHook([this](bool, const QString&) {
            ++asked;
            return path;
        });
    }
    ~FileDialogAnswer() { SetFileDialogHook(nullptr); }
};

QString S(const CTempDir& dir, const char* name) { return QString::fromStdString(dir / name); }
} // namespace

class TestShell : public QObject {
    Q_OBJECT

    std::unique_ptr<CTempDir> m_dir;
    std::unique_ptr<COndrelApp> m_app;

    CMainFrame& Frame() { return *m_app->GetMainFrame(); }
    COndrelDoc& Doc() { return *m_app->GetDocument(); }
    QString Wav(const char* name, const PcmFormat& f = PcmFormat{}, std::size_t bytes = 16)
    {
        WriteAll(*m_dir / name, SimpleWave(f, Ramp(bytes)));
        return S(*m_dir, name);
    }
    void Start(const QStringList& args = {QStringLiteral("ondrel")})
    {
        m_app = std::make_unique<COndrelApp>(*m_dir / "ondrel.ini");
        QVERIFY(m_app->InitInstance(ParseCommandLine(args).info));
    }
    bool Enabled(unsigned nID)
    {
        CCmdUI ui(nID);
        Frame().UpdateCmdUI(ui);
        return ui.m_bEnabled;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<CTempDir>();
        // The folder dialogs would start in; never the user's own.
        qputenv("HOME", QByteArray::fromStdString(m_dir->Path().string()));
    }
    void cleanup()
    {
        if (m_app)
            m_app->GetMainFrame()->SetCloseHandler(nullptr);
        m_app.reset();
        m_dir.reset();
    }

    void menusCarryTheirTextsIdsAndPrompts_data()
    {
        QTest::addColumn<int>("menu");
        QTest::addColumn<QStringList>("items"); // "id text" or "-" for a separator
        QTest::newRow("file") << 0 << QStringList{
            "57600 新規作成(&N)\tCtrl+N", "57601 開く(&O)...\tCtrl+O", "57603 上書き保存(&S)\tCtrl+S",
            "57604 名前を付けて保存(&A)...", "-", "57607 印刷(&P)...\tCtrl+P", "57609 印刷ﾌﾟﾚﾋﾞｭｰ(&V)",
            "32895 ﾍﾟｰｼﾞﾚｱｳﾄの設定(&U)", "-", "0 最新のﾌｧｲﾙ", "-", "57665 ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"};
        QTest::newRow("edit") << 1 << QStringList{"57643 元に戻す(&U)\tCtrl+Z", "-", "32785 削除(&D)\tDel"};
        QTest::newRow("view") << 2 << QStringList{"59392 ﾂｰﾙ ﾊﾞｰ(&T)", "59393 ｽﾃｰﾀｽ ﾊﾞｰ(&S)"};
        QTest::newRow("effects") << 3 << QStringList{
            "32780 逆転再生(&R)", "-", "32779 ｴｺｰ(&E)", "32793 ﾋﾞﾌﾞﾗｰﾄ(&B)", "32794 ｺｰﾗｽ(&C)",
            "32795 ﾄﾚﾓﾛ(&T)", "-", "32796 ﾎﾞｲｽﾁｪﾝｼﾞｬｰ（&V)", "-", "32797 正弦波(&S)"};
        QTest::newRow("pcm") << 4 << QStringList{"32784 PCMﾃﾞﾊﾞｲｽ(&D)", "-", "32771 録音(&R)",
                                                 "32772 再生(&P)", "32773 停止(&S)"};
        QTest::newRow("help") << 5 << QStringList{"57667 ﾄﾋﾟｯｸの検索(&H)", "-", "57664 ﾊﾞｰｼﾞｮﾝ情報 (&A)..."};
    }
    void menusCarryTheirTextsIdsAndPrompts()
    {
        QFETCH(int, menu);
        QFETCH(QStringList, items);
        Start();
        const QStringList titles{"ﾌｧｲﾙ(&F)", "編集(&E)", "表示(&V)", "効果(C)", "PCM(&P)", "ﾍﾙﾌﾟ(&H)"};
        QCOMPARE(Frame().menuBar()->actions().size(), 6);
        QMenu* m = Frame().GetMenu(menu);
        QCOMPARE(m->title(), titles[menu]);
        QStringList got;
        for (QAction* a : m->actions())
            got << (a->isSeparator() ? QStringLiteral("-")
                                     : QStringLiteral("%1 %2").arg(a->data().toUInt()).arg(a->text()));
        QCOMPARE(got, items);
    }

    void promptsAndTipsComeFromTheStringTable_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("tip");
        QTest::newRow("record") << 32771 << "録音を開始" << "録音";
        QTest::newRow("play") << 32772 << "再生を開始" << "再生";
        QTest::newRow("stop") << 32773 << "録音・再生を停止" << "停止";
        QTest::newRow("echo") << 32779 << "エコーをかける" << "エコー";
        QTest::newRow("reverse") << 32780 << "逆転する" << "逆転";
        QTest::newRow("delete") << 32785 << "指定した範囲を削除" << "削除";
        QTest::newRow("new") << 57600 << "新規にﾌｧｲﾙを作成" << "新規ﾌｧｲﾙ";
        QTest::newRow("undo") << 57643 << "直前に行った動作を元に戻す" << "元に戻す";
        for (int id : {32793, 32794, 32795, 32796, 32797, 32784})
            QTest::newRow(qPrintable(QString::number(id))) << id << "" << "";
    }
    void promptsAndTipsComeFromTheStringTable()
    {
        QFETCH(int, id);
        QFETCH(QString, prompt);
        QFETCH(QString, tip);
        Start();
        QAction* a = Frame().GetAction(id);
        QVERIFY(a);
        QCOMPARE(a->statusTip(), prompt);
        QCOMPARE(a->toolTip().isEmpty() ? QString() : CommandTip(id), tip);
        // Highlighting the item puts its prompt (or nothing) in pane 0.
        for (int i = 0; QMenu* menu = Frame().GetMenu(i); ++i)
            if (menu->actions().contains(a))
                emit menu->hovered(a);
        QCOMPARE(Frame().GetPane(0)->text(), prompt);
    }

    void acceleratorsReachTheirCommands()
    {
        Start();
        struct Accel {
            QKeySequence keys;
            unsigned nID;
        };
        const Accel table[] = {
            {QKeySequence("Ctrl+C"), 57634},        {QKeySequence("Ctrl+N"), 57600},
            {QKeySequence("Ctrl+O"), 57601},        {QKeySequence("Ctrl+P"), 57607},
            {QKeySequence("Ctrl+S"), 57603},        {QKeySequence("Ctrl+V"), 57637},
            {QKeySequence("Alt+Backspace"), 57643}, {QKeySequence("Del"), 32785},
            {QKeySequence("Shift+Del"), 57635},     {QKeySequence("F1"), 57670},
            {QKeySequence("Shift+F1"), 57669},      {QKeySequence("F6"), 57680},
            {QKeySequence("Shift+F6"), 57681},      {QKeySequence("Ctrl+Ins"), 57634},
            {QKeySequence("Shift+Ins"), 57637},     {QKeySequence("Ctrl+X"), 57635},
            {QKeySequence("Ctrl+Z"), 57643},
        };
        int count = 0;
        for (const Accel& a : table) {
            QAction* action = Frame().GetAction(a.nID);
            QVERIFY2(action, qPrintable(a.keys.toString()));
            QVERIFY2(action->shortcuts().contains(a.keys), qPrintable(a.keys.toString()));
        }
        for (QAction* action : Frame().findChildren<QAction*>())
            count += static_cast<int>(action->shortcuts().size());
        QCOMPARE(count, 17);
        // Copy, cut, paste and the pane keys have no handler: disabled, inert.
        for (unsigned nID : {57634u, 57635u, 57637u, 57680u, 57681u}) {
            QVERIFY(!Enabled(nID));
            QVERIFY(!Frame().ExecuteCommand(nID));
        }
    }

    void toolBarHasTheTenEntriesInOrder()
    {
        Start();
        QStringList got;
        for (QAction* a : Frame().GetToolBar()->actions())
            got << (a->isSeparator() ? QStringLiteral("-") : QString::number(a->data().toUInt()));
        QCOMPARE(got, (QStringList{"57600", "57601", "57603", "-", "32771", "32772", "32773", "-",
                                   "57607", "57669"}));
        for (QAction* a : Frame().GetToolBar()->actions())
            QVERIFY(a->isSeparator() || !a->icon().isNull());
        QCOMPARE(Frame().GetToolBar()->allowedAreas(), Qt::AllToolBarAreas);
        QCOMPARE(Frame().GetAction(32771)->toolTip(), QStringLiteral("録音"));
    }

    void enablingFollowsTheHandlers()
    {
        Start();
        // Always there.
        for (unsigned nID : {57600u, 57601u, 57603u, 57604u, 57664u, 57665u, 57667u, 57669u, 57670u,
                             59392u, 59393u})
            QVERIFY2(Enabled(nID), qPrintable(QString::number(nID)));
        // Nothing to undo or delete in a fresh editor.
        QVERIFY(!Enabled(ID_EDIT_UNDO));
        QVERIFY(!Enabled(ID_EDIT_DELETE));
        // Check marks of the view menu follow the bars.
        CCmdUI ui(ID_VIEW_TOOLBAR);
        Frame().UpdateCmdUI(ui);
        QVERIFY(ui.m_bCheckSet && ui.m_nCheck == 1);
        QVERIFY(Frame().ExecuteCommand(ID_VIEW_TOOLBAR));
        QVERIFY(Frame().GetToolBar()->isHidden());
        Frame().OnIdle();
        QVERIFY(!Frame().GetAction(ID_VIEW_TOOLBAR)->isChecked());
        QVERIFY(Frame().ExecuteCommand(ID_VIEW_STATUS_BAR));
        QVERIFY(Frame().statusBar()->isHidden());
        Frame().OnIdle();
        QVERIFY(!Frame().GetAction(ID_VIEW_STATUS_BAR)->isChecked());
    }

    void startsUntitledWithBlankSelectionPanes()
    {
        Start();
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - 無題"));
        QCOMPARE(Frame().GetPane(0)->text(), QStringLiteral("ﾍﾙﾌﾟを表示するには [F1] を押してください。"));
        QCOMPARE(Frame().GetPane(1)->text(), QString());
        QCOMPARE(Frame().GetPane(2)->text(), QString());
        QCOMPARE(Frame().GetRecordPanel()->GetDlgItemText(IDC_CUR_RATE), QStringLiteral("-----"));
        QCOMPARE(Frame().GetRecordPanel()->GetDlgItemText(IDC_DATA_BYTES), QStringLiteral("0"));
        QCOMPARE(Doc().HasData(), 0);
    }

    void commandLineFileOpensAndShowsItsFormat()
    {
        const QString path = Wav("song.wav", PcmFormat{2, 44100, 16}, 176400);
        Start({"ondrel", path});
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - song.wav"));
        CRecordPanel* p = Frame().GetRecordPanel();
        QCOMPARE(p->GetDlgItemText(IDC_CUR_CHANNELS), QStringLiteral("Stereo"));
        QCOMPARE(p->GetDlgItemText(IDC_CUR_BITS), QStringLiteral("16 Bits"));
        QCOMPARE(p->GetDlgItemText(IDC_CUR_RATE), QStringLiteral("44100 Hz"));
        QCOMPARE(p->GetDlgItemText(IDC_DATA_BYTES), QStringLiteral("176400"));
        QCOMPARE(p->GetDlgItemText(IDC_DATA_MS), QStringLiteral("1000"));

        QDir().mkpath(QStringLiteral("/tmp/ondrel-shots"));
        Frame().resize(900, 600);
        QVERIFY(Frame().grab().save(QStringLiteral("/tmp/ondrel-shots/main-window.png")));
    }

    void aCommandLineFileThatFailsEndsTheProgramWithAMessage()
    {
        MessageRecorder boxes;
        WriteAll(*m_dir / "bad.wav", std::string("not audio"));
        m_app = std::make_unique<COndrelApp>(*m_dir / "ondrel.ini");
        QVERIFY(!m_app->InitInstance(ParseCommandLine({"ondrel", S(*m_dir, "bad.wav")}).info));
        QCOMPARE(boxes.texts.size(), std::size_t{1});
        QVERIFY(boxes.texts[0].startsWith(QStringLiteral("ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。")));
    }

    void aFailedOpenLeavesEverythingAsItWas()
    {
        const QString good = Wav("good.wav", PcmFormat{1, 8000, 8}, 100);
        Start({"ondrel", good});
        Doc().SetModifiedFlag();
        MessageRecorder boxes;
        boxes.answers = {IDNO}; // don't save, then the open fails
        WriteAll(*m_dir / "bad.wav", SimpleWave(PcmFormat{2, 8000, 12}, Ramp(12)));
        QVERIFY(!m_app->OpenDocumentFile(S(*m_dir, "bad.wav")));
        QCOMPARE(boxes.texts.size(), std::size_t{2});
        QCOMPARE(boxes.texts[0], QStringLiteral("good.wav への変更を保存しますか?"));
        QVERIFY(boxes.texts[1].startsWith(QStringLiteral("ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。")));
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - good.wav"));
        QCOMPARE(Frame().GetRecordPanel()->GetDlgItemText(IDC_CUR_RATE), QStringLiteral("8000 Hz"));
        QCOMPARE(Frame().GetRecordPanel()->GetDlgItemText(IDC_DATA_BYTES), QStringLiteral("100"));
        QVERIFY(Doc().IsModified());
        QCOMPARE(Doc().GetDataSize(), 100u);
    }

    void savePromptGuardsNewOpenAndClose()
    {
        const QString a = Wav("a.wav");
        const QString b = Wav("b.wav", PcmFormat{2, 11025, 8});
        Start({"ondrel", a});
        MessageRecorder boxes;

        // Not modified: no question.
        QVERIFY(m_app->OpenDocumentFile(b));
        QVERIFY(boxes.texts.empty());

        // キャンセル keeps the document.
        Doc().SetModifiedFlag();
        boxes.answers = {IDCANCEL};
        Frame().ExecuteCommand(ID_FILE_NEW);
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - b.wav"));
        QVERIFY(Doc().IsModified());
        QCOMPARE(boxes.texts.back(), QStringLiteral("b.wav への変更を保存しますか?"));

        // いいえ: a new document under no name, the audio kept.
        boxes.answers = {IDNO};
        QVERIFY(Frame().ExecuteCommand(ID_FILE_NEW));
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - 無題"));
        QVERIFY(!Doc().IsModified());
        QCOMPARE(Doc().HasData(), 1);

        // はい on an untitled document asks for a name, saves, then goes on.
        Doc().SetModifiedFlag();
        FileDialogAnswer dialog;
        dialog.path = S(*m_dir, "kept");
        boxes.answers = {IDYES};
        QVERIFY(m_app->OpenDocumentFile(a));
        QCOMPARE(dialog.asked, 1);
        QCOMPARE(ReadAll(*m_dir / "kept.wav"), SimpleWave(PcmFormat{2, 11025, 8}, Ramp(16)));
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - a.wav"));

        // Closing the window asks too; キャンセル keeps it open.
        Doc().SetModifiedFlag();
        boxes.answers = {IDCANCEL};
        QVERIFY(!Frame().close());
        QVERIFY(Frame().isVisible());
        boxes.answers = {IDNO};
        QVERIFY(Frame().close());
    }

    void saveAsNamesAndFailures()
    {
        Start({"ondrel", Wav("a.wav", PcmFormat{1, 22050, 16}, 40)});
        MessageRecorder boxes;
        FileDialogAnswer dialog;

        dialog.path = S(*m_dir, "copy");
        QVERIFY(Frame().ExecuteCommand(ID_FILE_SAVE_AS));
        QVERIFY(std::filesystem::exists(*m_dir / "copy.wav"));
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - copy.wav"));

        dialog.path = S(*m_dir, "copy.mp3");
        Doc().SetModifiedFlag();
        QVERIFY(Frame().ExecuteCommand(ID_FILE_SAVE_AS));
        QCOMPARE(boxes.texts.size(), std::size_t{1});
        QVERIFY(boxes.texts[0].contains(QStringLiteral(".wav")));
        QVERIFY(!std::filesystem::exists(*m_dir / "copy.mp3"));
        QVERIFY(Doc().IsModified());

        // A save that fails says so and keeps the document modified.
        dialog.path = S(*m_dir, "no/such/folder.wav");
        QVERIFY(Frame().ExecuteCommand(ID_FILE_SAVE_AS));
        QCOMPARE(boxes.texts.size(), std::size_t{2});
        QVERIFY(boxes.texts[1].startsWith(QStringLiteral("ﾄﾞｷｭﾒﾝﾄを保存することに失敗しました。")));
        QVERIFY(Doc().IsModified());
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - copy.wav"));

        // Save writes to the document's own name and clears the flag.
        QVERIFY(Frame().ExecuteCommand(ID_FILE_SAVE));
        QVERIFY(!Doc().IsModified());
    }

    void recentFilesSurviveARestartAndVanishedOnesLeave()
    {
        const QString a = Wav("a.wav"), b = Wav("b.wav");
        Start();
        QMenu* file = Frame().GetMenu(0);
        emit file->aboutToShow();
        QAction* placeholder = file->actions()[9];
        QCOMPARE(placeholder->text(), QStringLiteral("最新のﾌｧｲﾙ"));
        QVERIFY(!placeholder->isEnabled());
        QVERIFY(placeholder->isVisible());
        QVERIFY(m_app->OpenDocumentFile(a));
        QVERIFY(m_app->OpenDocumentFile(b));
        QVERIFY(m_app->OpenDocumentFile(a));

        // A second editor reads the same profile.
        m_app->GetMainFrame()->SetCloseHandler(nullptr);
        m_app.reset();
        Start();
        file = Frame().GetMenu(0);
        emit file->aboutToShow();
        QStringList entries;
        for (QAction* act : file->actions())
            if (act->data().toUInt() >= ID_FILE_MRU_FILE1 && act->data().toUInt() <= ID_FILE_MRU_LAST)
                entries << act->text();
        QCOMPARE(entries, (QStringList{"&1 ~/a.wav", "&2 ~/b.wav"}));

        // A file that has gone leaves the list when chosen.
        MessageRecorder boxes;
        QFile::remove(a);
        QVERIFY(Frame().ExecuteCommand(ID_FILE_MRU_FILE1));
        QCOMPARE(m_app->GetRecentFileList().GetCount(), 1);
        QCOMPARE(m_app->GetRecentFileList()[0], b);
        QCOMPARE(boxes.texts.size(), std::size_t{1});
        QVERIFY(Frame().ExecuteCommand(ID_FILE_MRU_FILE1));
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - b.wav"));
    }

    void droppedFilesOpenOneAfterAnother()
    {
        const QString a = Wav("a.wav"), b = Wav("b.wav"), c = Wav("c.wav", PcmFormat{2, 8000, 8});
        Start();
        Doc().SetModifiedFlag();
        MessageRecorder boxes;
        boxes.answers = {IDNO};
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl::fromLocalFile(c)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &drop);
        QTRY_COMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - c.wav"));
        QCOMPARE(boxes.texts.size(), std::size_t{1}); // asked once: only the first replaced unsaved work
        QCOMPARE(Frame().m_wChannels, 2);
    }

    void readPanelTakesTheChoicesOrSaysWhy()
    {
        Start();
        MessageRecorder boxes;
        CRecordPanel* p = Frame().GetRecordPanel();
        struct Case {
            const char* text;
            int result;
            const char* message;
        };
        const Case cases[] = {{"", 0, "録音時間を数値で入力してください。"},
                              {"0", 0, "０は無効です。"},
                              {"2000", 1, nullptr}};
        p->SetCurSel(IDC_RATE, 1);
        p->SetCurSel(IDC_CHANNELS, 1);
        p->SetCurSel(IDC_BITS, 0);
        for (const Case& c : cases) {
            boxes.texts.clear();
            p->SetDlgItemText(IDC_REC_TIME, QString::fromUtf8(c.text));
            QCOMPARE(Frame().ReadPanel(), c.result);
            if (c.message) {
                QCOMPARE(boxes.texts, std::vector<QString>{QString::fromUtf8(c.message)});
                QCOMPARE(Frame().m_nRecordSeconds, 60);
                QCOMPARE(Frame().m_dwSamplesPerSec, 22050u);
            }
        }
        QCOMPARE(Frame().m_nRecordSeconds, 2000);
        QCOMPARE(Frame().m_dwSamplesPerSec, 11025u);
        QCOMPARE(Frame().m_wChannels, 2);
        QCOMPARE(Frame().m_wBitsPerSample, 8);
        // The readouts do not move until a recording or a load says so.
        QCOMPARE(p->GetDlgItemText(IDC_CUR_RATE), QStringLiteral("-----"));
    }

    void aboutAndHelp()
    {
        Start();
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Ondrel)"));
        auto* version = about.findChild<QLabel*>(QStringLiteral("version"));
        QVERIFY(version);
        QCOMPARE(version->text(), QStringLiteral("Ondrel Version 1.30"));
        QVERIFY(about.findChild<QPushButton*>(QStringLiteral("IDOK"))->isDefault());

        QVERIFY(Frame().ExecuteCommand(ID_HELP));
        QVERIFY(Frame().GetHelpWindow());
        QVERIFY(Frame().GetHelpWindow()->isVisible());
        QVERIFY(Frame().GetHelpWindow()->Browser()->toPlainText().contains(QStringLiteral("録音")));
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
