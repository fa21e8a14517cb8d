// Files that are converted to 16 bits on opening, driven through the window
// as a person works: the notice on opening, the question before 上書き保存
// with its three answers, 名前を付けて保存 without it, and the recent-file
// list opening the original again.

#include "tests/support/AppFixture.h"

#include "frame/CMainFrame.h"
#include "res/resource.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

namespace {
struct CFileDialogAnswer {
    explicit CFileDialogAnswer(QString path)
    {
        SetFileDialogHook([path](bool, const QString&) { return path; });
    }
    ~CFileDialogAnswer() { SetFileDialogHook(nullptr); }
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A WAV file of `tag` with the given `fmt ` fields and data.
Bytes ShapeWave(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits, const Bytes& data)
{
    return SimpleWave(PcmFormat{channels, 32000, bits, tag}, data);
}

// 24-bit stereo, three frames: the 16-bit samples 1..6 after rounding.
const Bytes k24 = {0x80, 0x00, 0x00, 0x00, 0x02, 0x00, 0x7F, 0x03, 0x00,
                   0x00, 0x04, 0x00, 0x80, 0x04, 0x00, 0xFF, 0x05, 0x00};
const Bytes k24As16 = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0};
} // namespace

class TestConvertedFiles : public QObject {
    Q_OBJECT

    CAppFixture m_fx;

    CMainFrame& Frame() { return m_fx.Frame(); }
    COndrelDoc& Doc() { return m_fx.Doc(); }
    std::string Path(const char* name) { return *m_fx.dir / name; }

    // Ctrl+O on `name`, written first as the 24-bit stereo file above.
    void Open24(const char* name)
    {
        WriteAll(Path(name), ShapeWave(1, 2, 24, k24));
        CFileDialogAnswer answer(Q(Path(name)));
        m_fx.Key(Qt::Key_O, Qt::ControlModifier);
    }
    QString Question(const char* name)
    {
        return QStringLiteral("%1 は 24 ﾋﾞｯﾄのﾌｧｲﾙを 16 ﾋﾞｯﾄに変換して開いたものです。上書き保存すると、"
                              "元のﾌｧｲﾙは 16 ﾋﾞｯﾄの内容に置き換わります。\n"
                              "上書きしますか? [いいえ] を選ぶと名前を付けて保存します。")
            .arg(QString::fromUtf8(name));
    }
    // The canonical 16-bit file of the converted samples.
    Bytes Saved16() { return SimpleWave(PcmFormat{2, 32000, 16}, k24As16); }

private slots:
    void init()
    {
        QVERIFY(m_fx.Start());
        QVERIFY(m_fx.ShowActive());
    }
    void cleanup() { m_fx.Stop(); }

    // Opening says once what the file was; the document keeps the file's
    // name, is not modified and shows 16 bits.
    void openingSaysWhatTheFileWas_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shape");
        QTest::newRow("24 bits") << 1 << 24 << QByteArray(reinterpret_cast<const char*>(k24.data()), static_cast<int>(k24.size())) << QStringLiteral("24 ﾋﾞｯﾄ");
        QTest::newRow("32 bits") << 1 << 32 << QByteArray(16, 0x40) << QStringLiteral("32 ﾋﾞｯﾄ");
        QTest::newRow("32-bit float") << 3 << 32 << QByteArray(16, 0) << QStringLiteral("32 ﾋﾞｯﾄ浮動小数点");
        QTest::newRow("64-bit float") << 3 << 64 << QByteArray(32, 0) << QStringLiteral("64 ﾋﾞｯﾄ浮動小数点");
        QTest::newRow("A-law") << 6 << 8 << QByteArray(8, char(0xD5)) << QStringLiteral("A-law 形式");
        QTest::newRow("mu-law") << 7 << 8 << QByteArray(8, char(0xFF)) << QStringLiteral("μ-law 形式");
    }
    void openingSaysWhatTheFileWas()
    {
        QFETCH(int, tag);
        QFETCH(int, bits);
        QFETCH(QByteArray, bytes);
        const Bytes data(bytes.begin(), bytes.end());
        QFETCH(QString, shape);
        const std::string path = Path("take.wav");
        WriteAll(path, ShapeWave(static_cast<std::uint16_t>(tag), 2, static_cast<std::uint16_t>(bits), data));
        CFileDialogAnswer answer(Q(path));
        m_fx.Key(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(m_fx.messages,
                 std::vector<QString>{QStringLiteral("take.wav は %1のﾌｧｲﾙです。16 ﾋﾞｯﾄに変換して開きました。").arg(shape)});
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - take.wav"));
        QVERIFY(!Doc().IsModified());
        QCOMPARE(Doc().m_wave.m_pFormat->wBitsPerSample, std::uint16_t{16});
        QCOMPARE(Frame().GetText(IDC_CUR_BITS), std::string("16 Bits"));
        QCOMPARE(Doc().GetDataSize(), static_cast<std::uint32_t>(data.size() / (bits / 8) * 2));
        // An ordinary file opened after it says nothing.
        m_fx.messages.clear();
        QVERIFY(m_fx.Open(PcmFormat{1, 8000, 16}, 20, "plain.wav"));
        QCOMPARE(m_fx.messages, std::vector<QString>{});
    }

    // はい writes the 16-bit audio over the original, and the next
    // 上書き保存 asks no more.
    void yesWritesOverTheOriginalOnce()
    {
        Open24("take.wav");
        m_fx.messages.clear();
        m_fx.answers = {IDYES};
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_fx.messages, std::vector<QString>{Question("take.wav")});
        QCOMPARE(ReadAll(Path("take.wav")), Saved16());
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_fx.messages.size(), std::size_t{1});
        QVERIFY(!Doc().IsModified());
    }

    // いいえ goes to 名前を付けて保存: the original stays, the document takes
    // the new name, and saving there asks no more.
    void noSavesUnderAnotherName()
    {
        Open24("take.wav");
        const Bytes original = ReadAll(Path("take.wav"));
        m_fx.messages.clear();
        m_fx.answers = {IDNO};
        {
            CFileDialogAnswer answer(Q(Path("take16.wav")));
            m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        }
        QCOMPARE(m_fx.messages, std::vector<QString>{Question("take.wav")});
        QCOMPARE(ReadAll(Path("take.wav")), original);
        QCOMPARE(ReadAll(Path("take16.wav")), Saved16());
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - take16.wav"));
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_fx.messages.size(), std::size_t{1});
    }

    // ｷｬﾝｾﾙ writes nothing and the question comes again next time; the
    // dialog cancelled after いいえ writes nothing either.
    void cancelWritesNothing()
    {
        Open24("take.wav");
        const Bytes original = ReadAll(Path("take.wav"));
        m_fx.messages.clear();
        m_fx.answers = {IDCANCEL};
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_fx.messages, std::vector<QString>{Question("take.wav")});
        QCOMPARE(ReadAll(Path("take.wav")), original);
        m_fx.answers = {IDNO};
        {
            CFileDialogAnswer answer{QString()}; // the save dialog cancelled
            m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        }
        QCOMPARE(m_fx.messages, (std::vector<QString>{Question("take.wav"), Question("take.wav")}));
        QCOMPARE(ReadAll(Path("take.wav")), original);
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - take.wav"));
    }

    // 名前を付けて保存 asks nothing; the question about the original file
    // belongs to 上書き保存 alone.
    void saveAsAsksNothing()
    {
        Open24("take.wav");
        const Bytes original = ReadAll(Path("take.wav"));
        m_fx.messages.clear();
        {
            CFileDialogAnswer answer(Q(Path("copy.wav")));
            Frame().GetAction(ID_FILE_SAVE_AS)->trigger(); // ﾌｧｲﾙ > 名前を付けて保存
        }
        QCOMPARE(m_fx.messages, std::vector<QString>{});
        QCOMPARE(ReadAll(Path("copy.wav")), Saved16());
        QCOMPARE(ReadAll(Path("take.wav")), original);
    }

    // Closing a changed converted document: はい to saving the changes still
    // asks about the original first.
    void savingOnCloseAsksToo()
    {
        const std::string path = Path("take.wav");
        WriteAll(path, ShapeWave(1, 2, 24, Bytes(6000, 0x11)));
        const Bytes original = ReadAll(path);
        {
            CFileDialogAnswer answer(Q(path));
            m_fx.Key(Qt::Key_O, Qt::ControlModifier);
        }
        m_fx.View().PaintNow();
        m_fx.Drag(10, 30, m_fx.View().m_rcDetail.top + 20);
        QVERIFY(m_fx.View().GetSelectionLength() > 0);
        m_fx.Key(Qt::Key_Delete);
        QVERIFY(Doc().IsModified());
        m_fx.messages.clear();
        m_fx.answers = {IDYES, IDCANCEL};
        QVERIFY(!Frame().close());
        QCOMPARE(m_fx.messages.size(), std::size_t{2});
        QCOMPARE(m_fx.messages[1], Question("take.wav"));
        QCOMPARE(ReadAll(path), original);
        QVERIFY(Frame().isVisible());
    }

    // The recent-file entry opens the original through the conversion again.
    void theRecentFileOpensTheOriginalAgain()
    {
        Open24("take.wav");
        QVERIFY(m_fx.Open(PcmFormat{1, 8000, 8}, 20, "other.wav"));
        m_fx.messages.clear();
        m_fx.Idle();
        // ﾌｧｲﾙ > 2 take.wav
        QMenu* file = Frame().GetMenu(0);
        emit file->aboutToShow();
        QAction* entry = nullptr;
        for (QAction* act : file->actions())
            if (act->data().toUInt() == ID_FILE_MRU_FILE1 + 1)
                entry = act;
        QVERIFY(entry);
        QVERIFY(entry->text().endsWith(QStringLiteral("take.wav")));
        entry->trigger();
        QCOMPARE(m_fx.messages,
                 std::vector<QString>{QStringLiteral("take.wav は 24 ﾋﾞｯﾄのﾌｧｲﾙです。16 ﾋﾞｯﾄに変換して開きました。")});
        QCOMPARE(Frame().windowTitle(), QStringLiteral("Ondrel - take.wav"));
        QCOMPARE(m_fx.Data(), k24As16);
        QCOMPARE(Frame().GetText(IDC_CUR_BITS), std::string("16 Bits"));
        m_fx.answers = {IDCANCEL};
        m_fx.Key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_fx.messages.back(), Question("take.wav"));
    }
};

QTEST_MAIN(TestConvertedFiles)
#include "test_converted_files.moc"
