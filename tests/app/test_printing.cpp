// Printing through the window on a machine without a printer (no print
// server at all): the PDF file question, the print dialog's printer line,
// the progress box and its ｷｬﾝｾﾙ, the pages at 300 dpi, the preview, the
// failures in Japanese; and the editor's command line, in-process and as
// the built program.

#include "tests/support/AppFixture.h"
#include "tests/support/WindowDriving.h"

#include "app/CommandLine.h"
#include "platform/Profile.h"
#include "print/CPrintDlg.h"
#include "print/CPrintPreview.h"
#include "print/CPrintStatusDlg.h"
#include "print/PrintJob.h"
#include "res/Strings.h"
#include "res/resource.h"

#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <filesystem>

namespace {

template <class T>
T* Shown()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
            return t;
    return nullptr;
}

// Whether `text` reads as Japanese once `detail` (a path, a number) is
// taken out: some kana or kanji, and no Latin word but "PDF".
bool IsJapanese(QString text, const QString& detail)
{
    if (!detail.isEmpty())
        text.remove(detail);
    text.remove(QStringLiteral("PDF"));
    text.remove(QStringLiteral(".pdf"));
    // Hiragana, katakana, kanji, half-width katakana.
    const QRegularExpression japanese(
        QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF61}-\\x{FF9F}]"));
    const bool kana = text.contains(japanese);
    return kana && !text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")));
}

// Watches the progress box while a job runs, for as long as it lives: the
// box's texts, every page it showed, and (when `cancelAt` is set) a click
// on ｷｬﾝｾﾙ once it shows that page.
struct CStatusWatch {
    QString doc, printer, port;
    QStringList pages;
    QTimer timer;

    explicit CStatusWatch(const QString& cancelAt = QString())
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this, cancelAt] {
            using D = CPrintStatusDlg;
            D* box = Shown<D>();
            if (!box)
                return;
            doc = box->Text(D::AFX_IDC_PRINT_DOCNAME);
            printer = box->Text(D::AFX_IDC_PRINT_PRINTERNAME);
            port = box->Text(D::AFX_IDC_PRINT_PORTNAME);
            const QString page = box->Text(D::AFX_IDC_PRINT_PAGENUM);
            if (!page.isEmpty() && (pages.isEmpty() || pages.last() != page))
                pages << page;
            if (!cancelAt.isEmpty() && page == cancelAt && !box->IsCancelled())
                QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("IDCANCEL")), Qt::LeftButton);
        });
        timer.start();
    }
};

QString RunTool(const QString& program, const QStringList& args, QString* out = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000))
        return QStringLiteral("did not finish");
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardError());
}

int PdfPages(const std::string& pdf)
{
    QString info;
    if (!RunTool(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf)}, &info).isEmpty())
        return -1;
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The rows of page `page` at 72 dpi where column `x` is the grey of the
// centre lines.
std::vector<int> GreyRows(const std::string& pdf, int page, int x, const std::string& scratch)
{
    const QString n = QString::number(page);
    if (!RunTool(QStringLiteral("pdftoppm"), {"-r", "72", "-aa", "no", "-aaVector", "no", "-png", "-singlefile",
                                              "-f", n, "-l", n, QString::fromStdString(pdf),
                                              QString::fromStdString(scratch)})
             .isEmpty())
        return {};
    const QImage image = QImage(QString::fromStdString(scratch + ".png")).convertToFormat(QImage::Format_RGB32);
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == qRgb(192, 192, 192))
            rows.push_back(y);
    return rows;
}

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT

    CAppFixture m_fx;
    QStringList m_asked; // the proposals of the PDF file question
    QString m_answer;    // its answer

    CMainFrame& Frame() { return m_fx.Frame(); }
    std::string Path(const char* name) { return *m_fx.dir / name; }
    QString QPath(const char* name) { return QString::fromStdString(Path(name)); }

    // Frames one page holds on the editor's printer with the default page
    // layout: f x k segments join f x k + 1 frames.
    std::size_t FramesPerPage()
    {
        const SPageLayout layout = ComputePageLayout(GeometryOf(m_fx.app->GetPrinter()), SPrintSettings{});
        return std::size_t(layout.width / 2) * std::size_t(layout.height / 256);
    }
    // Opens mono 8-bit `frames` frames at a level of 192 (63 units above
    // the centre line): the centre lines stay grey where nothing crosses.
    void OpenLevel(std::size_t frames, const char* name = "a.wav")
    {
        WriteAll(Path(name), SimpleWave(PcmFormat{1, 8000, 8}, Bytes(frames, 192)));
        QVERIFY(m_fx.app->OpenDocumentFile(QPath(name)));
    }
    // Ctrl+P, and OK in the print dialog once it shows; `line` gets its
    // printer line.
    void PrintWithDialog(QString* line = nullptr)
    {
        QVERIFY(m_fx.ShowActive());
        WhenReady([] { return Shown<CPrintDlg>() != nullptr; }, [line] {
            CPrintDlg* dlg = Shown<CPrintDlg>();
            if (line)
                *line = dlg->findChild<QLabel*>(QString::number(CPrintDlg::IDC_PRINTER_NAME))->text();
            QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
        });
        m_fx.Key(Qt::Key_P, Qt::ControlModifier);
    }

private slots:
    void initTestCase()
    {
        // No print server, whatever this machine has: Qt then finds no
        // printer and prints to PDF.
        qputenv("CUPS_SERVER", "/nonexistent/cups.sock");
    }
    void init()
    {
        QVERIFY(m_fx.Start());
        m_asked.clear();
        m_answer.clear();
        SetPrintFileDialogHook([this](const QString& initial) {
            m_asked << initial;
            return m_answer;
        });
    }
    void cleanup()
    {
        SetPrintFileDialogHook(nullptr);
        m_fx.Stop();
    }

    void withoutPrinterTheJobAsksForThePdfAndWritesItAt300Dpi()
    {
        QPrinter& printer = m_fx.app->GetPrinter();
        QVERIFY(IsPdfDestination(printer));
        QCOMPARE(printer.logicalDpiX(), kPdfResolution);
        OpenLevel(FramesPerPage() + 2);
        m_answer = QPath("out.pdf");
        CStatusWatch seen;
        QString line;
        PrintWithDialog(&line);

        // The dialog named the file the document proposes; the question
        // started there; the box told where the pages went, page by page.
        QCOMPARE(line, QStringLiteral("PDF ﾌｧｲﾙ (a.pdf)"));
        QCOMPARE(m_asked, QStringList{QPath("a.pdf")});
        QCOMPARE(seen.doc, QStringLiteral("a.wav"));
        QCOMPARE(seen.printer, QStringLiteral("PDF ﾌｧｲﾙ"));
        QCOMPARE(seen.port, QPath("out.pdf") + QStringLiteral(" へ出力中"));
        QCOMPARE(seen.pages, (QStringList{"ﾍﾟｰｼﾞ 1", "ﾍﾟｰｼﾞ 2"}));
        QVERIFY(!Shown<CPrintStatusDlg>());
        QVERIFY(m_fx.messages.empty());
        QCOMPARE(PdfPages(Path("out.pdf")), 2);
        // 256 units apart at 300 dpi: 61.44 points.
        const std::vector<int> rows = GreyRows(Path("out.pdf"), 1, 300, Path("page"));
        QVERIFY2(rows.size() >= 10, qPrintable(QString::number(rows.size())));
        for (std::size_t i = 1; i < rows.size(); ++i)
            QVERIFY2(rows[i] - rows[i - 1] >= 61 && rows[i] - rows[i - 1] <= 62,
                     qPrintable(QStringLiteral("rows %1 and %2").arg(rows[i - 1]).arg(rows[i])));

        // The next job proposes the file chosen last.
        PrintWithDialog(&line);
        QCOMPARE(line, QStringLiteral("PDF ﾌｧｲﾙ (out.pdf)"));
        QCOMPARE(m_asked.last(), QPath("out.pdf"));
        // Another document is named after itself, in the folder of the last.
        std::filesystem::create_directory(Path("sub"));
        OpenLevel(10, "sub/b.wav");
        PrintWithDialog(&line);
        QCOMPARE(line, QStringLiteral("PDF ﾌｧｲﾙ (b.pdf)"));
        QCOMPARE(m_asked.last(), QPath("b.pdf"));
    }

    void cancelInTheProgressBoxStopsTheJobAndKeepsTheOldFile()
    {
        OpenLevel(4 * FramesPerPage());
        WriteAll(Path("out.pdf"), std::string("old"));
        m_answer = QPath("out.pdf");
        CStatusWatch seen(QStringLiteral("ﾍﾟｰｼﾞ 2"));
        PrintWithDialog();
        QCOMPARE(seen.pages, (QStringList{"ﾍﾟｰｼﾞ 1", "ﾍﾟｰｼﾞ 2"}));
        QVERIFY(!Shown<CPrintStatusDlg>());
        QVERIFY(m_fx.messages.empty());
        const Bytes kept = ReadAll(Path("out.pdf"));
        QCOMPARE(std::string(kept.begin(), kept.end()), std::string("old"));
        QCOMPARE(m_fx.dir->List(), (std::vector<std::string>{"a.wav", "cache", "ondrel.ini", "out.pdf"}));
    }

    void theFileQuestionCancelledOrAnsweredWithAnotherKindPrintsNothing()
    {
        OpenLevel(100);
        m_answer.clear();
        PrintWithDialog();
        QCOMPARE(m_asked, QStringList{QPath("a.pdf")});
        QVERIFY(m_fx.messages.empty());
        // A proposal nobody took stays with its document: a new one is
        // "無題.pdf" in the home folder.
        m_fx.Key(Qt::Key_N, Qt::ControlModifier);
        PrintWithDialog();
        QCOMPARE(m_asked.last(), QString::fromStdString(*m_fx.dir / "無題.pdf"));
        QVERIFY(m_fx.app->OpenDocumentFile(QPath("a.wav")));
        // A name of another kind would replace that file: refused.
        m_answer = QPath("a.wav");
        const Bytes before = ReadAll(Path("a.wav"));
        PrintWithDialog();
        QCOMPARE(m_fx.messages, (std::vector<QString>{AfxFormatString(IDS_PRINT_NOT_PDF, QPath("a.wav"))}));
        QVERIFY(IsJapanese(m_fx.messages[0], QPath("a.wav")));
        QVERIFY(ReadAll(Path("a.wav")) == before);
        QCOMPARE(m_fx.dir->List(), (std::vector<std::string>{"a.wav", "cache", "ondrel.ini"}));
    }

    void failuresReachTheUserInJapanese()
    {
        OpenLevel(100);
        // A folder that is not there.
        m_answer = QPath("missing/out.pdf");
        PrintWithDialog();
        QCOMPARE(m_fx.messages.size(), 1u);
        QCOMPARE(m_fx.messages[0], AfxFormatString(IDS_PRINT_FILE_NOT_CREATED, m_answer));
        // Margins that leave no room for a strip at factor 10.
        m_fx.app->GetProfile().WriteProfileInt("Print Layout", "Up", 50);
        m_fx.app->GetProfile().WriteProfileInt("Print Layout", "Down", 50);
        m_fx.app->GetProfile().WriteProfileInt("Print Layout", "Reso", 10);
        m_answer = QPath("out.pdf");
        PrintWithDialog();
        QCOMPARE(m_fx.messages.size(), 2u);
        QCOMPARE(m_fx.messages[1], AfxLoadString(IDS_PRINT_NO_ROOM));
        QCOMPARE(m_fx.dir->List(), (std::vector<std::string>{"a.wav", "cache", "ondrel.ini"}));
    }

    void everyPrintFailureHasJapaneseText()
    {
        const std::string path = "/tmp/some folder/out.pdf";
        for (int i = 0; i < static_cast<int>(EPrintResult::kEnd); ++i) {
            const auto code = static_cast<EPrintResult>(i);
            const QString text = COndrelApp::PrintFailureMessage(SPrintResult{code, 7, path});
            const QString row = QString::number(i);
            if (code == EPrintResult::Done || code == EPrintResult::Cancelled) {
                QVERIFY2(text.isEmpty(), qPrintable(row));
                continue;
            }
            const bool withPath = code == EPrintResult::FileNotCreated || code == EPrintResult::FileNotSaved;
            QVERIFY2(!withPath || text.contains(QString::fromStdString(path)), qPrintable(row));
            QVERIFY2(code != EPrintResult::PageFailed || text.contains(u'7'), qPrintable(row));
            QVERIFY2(IsJapanese(text, withPath ? QString::fromStdString(path) : QString()),
                     qPrintable(row + u' ' + text));
        }
    }

    void previewWorksWithoutAPrinter()
    {
        OpenLevel(FramesPerPage() + 2);
        QVERIFY(m_fx.ShowActive());
        bool checked = false;
        WhenReady([] { return Shown<CPrintPreview>() != nullptr; }, [&checked] {
            CPrintPreview* preview = Shown<CPrintPreview>();
            QCOMPARE(preview->PageCount(), 2u);
            QCOMPARE(preview->PreviewWidget()->pageCount(), 1);
            // The page on show has the waveform: dark lines on white.
            const QImage shot = preview->PreviewWidget()->grab().toImage();
            int dark = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    dark += qGray(shot.pixel(x, y)) < 100;
            QVERIFY2(dark > 200, qPrintable(QString::number(dark)));
            QTest::keyClick(preview, Qt::Key_Escape);
            checked = true;
        });
        Frame().GetAction(ID_FILE_PRINT_PREVIEW)->trigger();
        QVERIFY(checked);
        QVERIFY(m_fx.messages.empty());
    }

    void commandLinePrintWritesThePdfWithoutTheWindow()
    {
        m_fx.Stop();
        m_fx.Prepare();
        SetPrintFileDialogHook([this](const QString& initial) {
            m_asked << initial;
            return m_answer;
        });
        WriteAll(Path("a.wav"), SimpleWave(PcmFormat{1, 8000, 8}, Bytes(100, 192)));
        m_answer = QPath("printed.pdf");
        CStatusWatch seen;
        QVERIFY(!m_fx.Launch(ParseCommandLine({"ondrel", "-p", QPath("a.wav")}).info));
        QCOMPARE(m_fx.app->ExitInstance(), kExitOk);
        QVERIFY(!Frame().isVisible());
        QCOMPARE(m_asked, QStringList{QPath("a.pdf")});
        QCOMPARE(seen.pages, QStringList{"ﾍﾟｰｼﾞ 1"});
        QCOMPARE(PdfPages(Path("printed.pdf")), 1);
        QVERIFY(m_fx.messages.empty());

        // No answer to the question, or no file: the program ends with 1.
        m_answer.clear();
        m_fx.app.reset();
        QVERIFY(!m_fx.Launch(ParseCommandLine({"ondrel", "--print", QPath("a.wav")}).info));
        QCOMPARE(m_fx.app->ExitInstance(), kExitFailed);
        QVERIFY(m_fx.messages.empty());
        m_fx.app.reset();
        QVERIFY(!m_fx.Launch(ParseCommandLine({"ondrel", "-p", QPath("missing.wav")}).info));
        QCOMPARE(m_fx.app->ExitInstance(), kExitFailed);
        QCOMPARE(m_fx.messages.size(), 1u);
        QVERIFY(m_fx.messages[0].startsWith(AfxLoadString(AFX_IDP_FAILED_TO_OPEN_DOC)));
        QVERIFY(!Frame().isVisible());
    }

    void commandLineParsing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("file");
        using C = CCommandLineInfo;
        using S = SCommandLine;
        QTest::newRow("nothing") << QStringList{} << int(S::Run) << int(C::FileNew) << "";
        QTest::newRow("a file") << QStringList{"a.wav"} << int(S::Run) << int(C::FileOpen) << "a.wav";
        QTest::newRow("-p") << QStringList{"-p", "a.wav"} << int(S::Run) << int(C::FilePrint) << "a.wav";
        QTest::newRow("--print after the file") << QStringList{"a.wav", "--print"} << int(S::Run)
                                                << int(C::FilePrint) << "a.wav";
        QTest::newRow("-- ends the options") << QStringList{"--", "--foo.wav"} << int(S::Run) << int(C::FileOpen)
                                             << "--foo.wav";
        QTest::newRow("Qt's options") << QStringList{"-platform", "offscreen", "--style", "fusion", "-reverse",
                                                     "-qmljsdebugger=port:1", "-display", ":1", "a.wav"}
                                      << int(S::Run) << int(C::FileOpen) << "a.wav";
        QTest::newRow("--help") << QStringList{"a.wav", "--help"} << int(S::ShowHelp) << 0 << "";
        QTest::newRow("-h") << QStringList{"-h", "-v"} << int(S::ShowHelp) << 0 << "";
        QTest::newRow("--version") << QStringList{"--version"} << int(S::ShowVersion) << 0 << "";
        QTest::newRow("-v") << QStringList{"-p", "a.wav", "-v"} << int(S::ShowVersion) << 0 << "";
        QTest::newRow("unknown") << QStringList{"--foo", "a.wav"} << int(S::UsageError) << 0 << "";
        QTest::newRow("unknown before --help") << QStringList{"-x", "--help"} << int(S::UsageError) << 0 << "";
        QTest::newRow("Qt's option without its value") << QStringList{"-style"} << int(S::UsageError) << 0 << "";
        QTest::newRow("two files") << QStringList{"a.wav", "b.wav"} << int(S::UsageError) << 0 << "";
        QTest::newRow("-p without a file") << QStringList{"-p"} << int(S::UsageError) << 0 << "";
        QTest::newRow("a value for -p") << QStringList{"--print=yes", "a.wav"} << int(S::UsageError) << 0 << "";
    }
    void commandLineParsing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(int, command);
        QFETCH(QString, file);
        const SCommandLine cmd = ParseCommandLine(QStringList{"ondrel"} + args);
        QCOMPARE(int(cmd.action), action);
        if (action == SCommandLine::UsageError) {
            // Options are Latin by nature; the rest of the line is not.
            QString error = cmd.error;
            error.remove(QRegularExpression(QStringLiteral("-{1,2}[A-Za-z=]+")));
            QVERIFY2(IsJapanese(error, QString()), qPrintable(cmd.error));
            return;
        }
        QVERIFY(cmd.error.isEmpty());
        if (action == SCommandLine::Run) {
            QCOMPARE(int(cmd.info.m_nShellCommand), command);
            QCOMPARE(cmd.info.m_strFileName, file);
        }
    }

    void theProgramAnswersOnTheRightStream_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString usage = CommandLineUsage();
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << "";
        QTest::newRow("-h with Qt's options") << QStringList{"-style", "fusion", "-h"} << 0 << usage << "";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "Ondrel Version 1.30\n" << "";
        QTest::newRow("-v") << QStringList{"-v"} << 0 << "Ondrel Version 1.30\n" << "";
        QTest::newRow("unknown") << QStringList{"--foo"} << 2 << ""
                                 << "ondrel: ｵﾌﾟｼｮﾝ --foo はありません。\n" + usage;
        QTest::newRow("-p without a file") << QStringList{"-p"} << 2 << ""
                                           << "ondrel: -p (--print) には印刷するﾌｧｲﾙを指定してください。\n" + usage;
    }
    void theProgramAnswersOnTheRightStream()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        // A platform that does not exist: had the program started the
        // window system it would have stopped with Qt's own message.
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ONDREL_PATH), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()), err);
    }
};

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
