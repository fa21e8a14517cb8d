// What the window says when something fails, driven as a person works:
// opening a file the editor cannot read, saving after the file's folder has
// gone, an effect without room for its undo copy, and Undo after the undo
// copy has vanished. Every message is the program's Japanese.

#include "tests/support/AppFixture.h"

#include "frame/CMainFrame.h"
#include "platform/ProcessCache.h"
#include "res/resource.h"

#include <QAction>
#include <QtTest>

#include <filesystem>

namespace {
// Answers the file dialogs with `path` while it lives.
struct CFileDialogAnswer {
    explicit CFileDialogAnswer(QString path)
    {
        SetFileDialogHook([path](bool, const QString&) { return path; });
    }
    ~CFileDialogAnswer() { SetFileDialogHook(nullptr); }
};

QString Q(const std::string& s) { return QString::fromStdString(s); }
} // namespace

class TestMessages : public QObject {
    Q_OBJECT

    CAppFixture m_fx;

    CMainFrame& Frame() { return m_fx.Frame(); }
    COndrelDoc& Doc() { return m_fx.Doc(); }
    COndrelView& View() { return m_fx.View(); }
    std::string Path(const char* name) { return *m_fx.dir / name; }
    int DetailY() { return View().m_rcDetail.top + 20; }

    // Opens a ramp through Ctrl+O and selects a stretch of it.
    void OpenAndSelect(const std::string& path)
    {
        WriteAll(path, SimpleWave(PcmFormat{1, 8000, 8}, Ramp(1000)));
        CFileDialogAnswer answer(Q(path));
        m_fx.Key(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(Doc().GetPathName(), path);
        View().PaintNow();
        m_fx.Drag(10, 30, DetailY());
        QVERIFY(View().GetSelectionLength() > 0);
    }
    // Makes the cache folder impossible to create: its parent is a file.
    void BlockTheCache()
    {
        RemoveProcessCacheFolder();
        WriteAll(Path("blocked"), std::string("a file, not a folder"));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(Path("blocked")));
    }

private slots:
    void init()
    {
        QVERIFY(m_fx.Start());
        QVERIFY(m_fx.ShowActive());
    }
    void cleanup() { m_fx.Stop(); }

    // The framework's own sentence, then the loader's reason with the file
    // and the number the file gave.
    void aFileThatCannotBeOpenedSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maker"); // 0 by hand, 1 by sox, 2 no file at all
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("reason"); // %1: the file's full path
        QTest::newRow("12 bits, written by hand")
            << "a12.wav" << 0 << 12 << 1
            << QStringLiteral("%1 は 1 ｻﾝﾌﾟﾙ 12 ﾋﾞｯﾄの音声のため開けません。"
                              "8、16、24、32 ﾋﾞｯﾄのいずれかの WAV ﾌｧｲﾙを開いてください。");
        QTest::newRow("3 channels, written by sox")
            << "sox3.wav" << 1 << 24 << 1
            << QStringLiteral("%1 は 3 ﾁｬﾝﾈﾙの音声のため開けません。ﾓﾉﾗﾙかｽﾃﾚｵの WAV ﾌｧｲﾙを開いてください。");
        QTest::newRow("16-bit floating point")
            << "float.wav" << 0 << 16 << 3
            << QStringLiteral("%1 は 1 ｻﾝﾌﾟﾙ 16 ﾋﾞｯﾄの音声のため開けません。"
                              "浮動小数点の音声は 32 ﾋﾞｯﾄか 64 ﾋﾞｯﾄのものだけを開けます。");
        QTest::newRow("not a .wav name")
            << "song.mp3" << 0 << 16 << 1
            << QStringLiteral("%1 は開けません。開けるのは名前が .wav で終わるﾌｧｲﾙだけです。");
        QTest::newRow("missing") << "gone.wav" << 2 << 16 << 1
                                 << QStringLiteral(
                                        "ﾌｧｲﾙ %1 を開けませんでした。ﾌｧｲﾙまたはﾌｫﾙﾀﾞが見つかりません。");
    }
    void aFileThatCannotBeOpenedSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(int, maker);
        QFETCH(int, bits);
        QFETCH(int, tag);
        QFETCH(QString, reason);
        const std::string path = Path(name.toUtf8().constData());
        if (maker == 0) {
            PcmFormat f{2, 8000, static_cast<std::uint16_t>(bits)};
            f.tag = static_cast<std::uint16_t>(tag);
            WriteAll(path, SimpleWave(f, Ramp(48)));
        } else if (maker == 1) {
            QVERIFY(SoxSine(path, 8000, bits, 3));
        }
        CFileDialogAnswer answer(Q(path));
        m_fx.Key(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(m_fx.messages,
                 std::vector<QString>{QStringLiteral("ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。\n") + reason.arg(Q(path))});
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - 無題"));
    }

    // The file's folder went away (a removed stick): Ctrl+S says where it
    // could not write, and the audio stays unsaved.
    void aSaveThatCannotWriteSaysWhere()
    {
        std::filesystem::create_directories(Path("stick"));
        const std::string path = Path("stick/a.wav");
        OpenAndSelect(path);
        m_fx.Key(Qt::Key_Delete);
        QVERIFY(Doc().IsModified());
        std::filesystem::remove_all(Path("stick"));
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_fx.messages,
                 std::vector<QString>{QStringLiteral("ﾄﾞｷｭﾒﾝﾄを保存することに失敗しました。\n"
                                                     "ﾌｧｲﾙ %1 に書き込めませんでした。"
                                                     "ﾌｧｲﾙまたはﾌｫﾙﾀﾞが見つかりません。")
                                          .arg(Q(path))});
        QVERIFY(Doc().IsModified());
    }

    // An effect from the menu is refused when its undo copy has nowhere to
    // go, and says so before the cause.
    void anEffectWithoutItsUndoCopySaysWhy()
    {
        OpenAndSelect(Path("a.wav"));
        const Bytes before = m_fx.Data();
        BlockTheCache();
        m_fx.Idle();
        QVERIFY(Frame().GetAction(ID_EFFECT_REVERSE)->isEnabled());
        Frame().GetAction(ID_EFFECT_REVERSE)->trigger(); // 効果 > 逆転再生
        QCOMPARE(m_fx.messages,
                 std::vector<QString>{QStringLiteral("元に戻すためのｺﾋﾟｰを保存できなかったため、操作を取りやめました。\n"
                                                     "作業用ﾌｫﾙﾀﾞ %1 を作成できませんでした。"
                                                     "ﾊﾟｽの途中にﾌｫﾙﾀﾞではないものがあります。")
                                          .arg(Q(Path("blocked/ondrel")))});
        QCOMPARE(m_fx.Data(), before);
        QVERIFY(!Doc().IsModified());
    }

    // Ctrl+Z after the undo copy was removed behind the editor's back.
    void anUndoWhoseCopyVanishedSaysWhy()
    {
        OpenAndSelect(Path("a.wav"));
        m_fx.Key(Qt::Key_Delete);
        std::string undoPath;
        QVERIFY(Doc().GetUndoFilePath(undoPath));
        QVERIFY(std::filesystem::remove(undoPath));
        const Bytes deleted = m_fx.Data();
        m_fx.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(m_fx.messages, std::vector<QString>{QStringLiteral("元に戻すことができませんでした。\n"
                                                                    "ﾌｧｲﾙ %1 を開けませんでした。"
                                                                    "ﾌｧｲﾙまたはﾌｫﾙﾀﾞが見つかりません。")
                                                         .arg(Q(undoPath))});
        QCOMPARE(m_fx.Data(), deleted);
    }
};

QTEST_MAIN(TestMessages)
#include "test_messages.moc"
