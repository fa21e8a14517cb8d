// The page layout dialog (values from and to the profile, the refusals and
// their order), the print dialog's range buttons and printer line, and the
// print preview's one/two-page choice, keys and page label.

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "framework/MessageBox.h"
#include "platform/ProcessCache.h"
#include "platform/Profile.h"
#include "print/CPageLayoutDlg.h"
#include "print/CPrintDlg.h"
#include "print/CPrintPreview.h"
#include "print/PrintJob.h"
#include "tests/support/WaveFixtures.h"
#include "view/CWaveViewCore.h"

#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

namespace {

const char kLayout[] = "Print Layout";

QLineEdit* Edit(QWidget& dlg, int id)
{
    return dlg.findChild<QLineEdit*>(QString::number(id));
}

QPushButton* Button(QWidget& dlg, const char* name)
{
    return dlg.findChild<QPushButton*>(QString::fromLatin1(name));
}

// A document with a view, without a window.
struct SWaveView {
    CCurrentFormat format;
    COndrelDoc doc{format};
    CWaveViewCore view{doc};
};

} // namespace

class TestPrintDialogs : public QObject {
    Q_OBJECT

    std::unique_ptr<CTempDir> m_dir;
    std::unique_ptr<CProfile> m_profile;
    QStringList m_messages;

    // The five edits in the order OK checks them.
    static constexpr int kFields[] = {CPageLayoutDlg::IDC_LEFT, CPageLayoutDlg::IDC_RIGHT,
                                      CPageLayoutDlg::IDC_UP, CPageLayoutDlg::IDC_DOWN,
                                      CPageLayoutDlg::IDC_RESO};

    std::string Stored(const char* key) { return m_profile->GetProfileString(kLayout, key, "-"); }

    // A view of `frames` mono 8-bit frames: several pages on the A4 PDF
    // printer at screen resolution that the preview tests use.
    std::unique_ptr<SWaveView> OpenWave(std::size_t frames)
    {
        auto wave = std::make_unique<SWaveView>();
        WriteAll(*m_dir / "a.wav", SimpleWave(PcmFormat{1, 8000, 8}, Ramp(frames)));
        if (!wave->doc.OnOpenDocument(*m_dir / "a.wav"))
            qFatal("cannot open the test file: %s", ReasonTextEnglish(wave->doc.GetError()).c_str());
        return wave;
    }
    static void SetUpPrinter(QPrinter& printer)
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
    }
    static QString Text(QWidget& w, int id)
    {
        if (auto* b = w.findChild<QPushButton*>(QString::number(id)))
            return b->text();
        return w.findChild<QLabel*>(QString::number(id))->text();
    }
    static bool Enabled(QWidget& w, int id) { return w.findChild<QWidget*>(QString::number(id))->isEnabled(); }
    static void Show(QDialog& dlg)
    {
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<CTempDir>();
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(*m_dir / "cache"));
        m_profile = std::make_unique<CProfile>(*m_dir / "ondrel.ini");
        m_messages.clear();
        SetMessageBoxHook([this](const QString& text, unsigned) {
            m_messages << text;
            return IDOK;
        });
    }
    void cleanup()
    {
        RemoveProcessCacheFolder();
        SetMessageBoxHook(nullptr);
        m_profile.reset();
        m_dir.reset();
    }

    void pageLayoutTemplate()
    {
        CPageLayoutDlg dlg(*m_profile, nullptr);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("ﾍﾟｰｼﾞﾚｱｳﾄの設定"));
        const CDialogUnits du(DialogFont());
        QCOMPARE(dlg.size(), QSize(du.MapX(199), du.MapY(111)));
        const struct {
            const char* name;
            QRect dlu;
        } controls[] = {
            {"528", {33, 21, 21, 14}}, {"479", {92, 21, 21, 14}},  {"478", {33, 39, 21, 14}},
            {"529", {92, 39, 21, 14}}, {"531", {72, 82, 23, 14}},  {"IDOK", {137, 9, 56, 14}},
            {"IDCANCEL", {137, 26, 56, 14}}, {"530", {137, 45, 56, 14}},
        };
        for (const auto& c : controls) {
            auto* w = dlg.findChild<QWidget*>(QString::fromLatin1(c.name));
            QVERIFY2(w, c.name);
            QCOMPARE(w->geometry(), du.MapRect(c.dlu.x(), c.dlu.y(), c.dlu.width(), c.dlu.height()));
        }
        QVERIFY(Button(dlg, "IDOK")->isDefault());
        QCOMPARE(Button(dlg, "530")->text(), QStringLiteral("(&S)ﾌﾟﾘﾝﾀの設定"));
        // Each mnemonic label leads to its edit.
        const std::pair<const char*, int> buddies[] = {{"左(&R)", 528}, {"右(&L)", 478}, {"上(&U)", 479},
                                                       {"下(&D)", 529}, {"分解能(&E)", 531}};
        for (const auto& [text, id] : buddies) {
            QLabel* label = nullptr;
            for (QLabel* l : dlg.findChildren<QLabel*>())
                if (l->text() == QString::fromUtf8(text))
                    label = l;
            QVERIFY2(label, text);
            QCOMPARE(label->buddy(), Edit(dlg, id));
        }
    }

    void pageLayoutShowsProfileValuesOrDefaults()
    {
        {
            CPageLayoutDlg dlg(*m_profile, nullptr);
            const char* expected[] = {"20", "0", "20", "0", "1"};
            for (int i = 0; i < 5; ++i)
                QCOMPARE(Edit(dlg, kFields[i])->text(), QString::fromLatin1(expected[i]));
        }
        // Key names are matched without regard to case.
        WriteAll(*m_dir / "ondrel.ini",
                 std::string("[Print Layout]\nleft=5\nRIGHT=-3\nUp=7\nDown=8\nReso=4\n"));
        CPageLayoutDlg dlg(*m_profile, nullptr);
        const char* expected[] = {"5", "-3", "7", "8", "4"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(Edit(dlg, kFields[i])->text(), QString::fromLatin1(expected[i]));
    }

    void pageLayoutRefusesBadFields_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString left = QStringLiteral("左を0から50の数値で入力してください。");
        const QString right = QStringLiteral("右を0から50の数値で入力してください。");
        const QString top = QStringLiteral("上を0から50の数値で入力してください。");
        const QString bottom = QStringLiteral("下を0から50の数値で入力してください。");
        const QString reso = QStringLiteral("分解能を1から10の数値で入力してください。");
        QTest::newRow("left 51") << 528 << "51" << left;
        QTest::newRow("left -1") << 528 << "-1" << left;
        QTest::newRow("left empty") << 528 << "" << left;
        QTest::newRow("right 51") << 478 << "51" << right;
        QTest::newRow("right 1.5") << 478 << "1.5" << right;
        QTest::newRow("top abc") << 479 << "abc" << top;
        QTest::newRow("top 1 0") << 479 << "1 0" << top;
        QTest::newRow("top sign only") << 479 << "+" << top;
        QTest::newRow("top huge") << 479 << "99999999999" << top;
        QTest::newRow("top full-width") << 479 << "１０" << top;
        QTest::newRow("bottom 12mm") << 529 << "12mm" << bottom;
        QTest::newRow("bottom hex") << 529 << "0x10" << bottom;
        QTest::newRow("bottom exponent") << 529 << "1e1" << bottom;
        QTest::newRow("bottom line break") << 529 << "5\n" << bottom;
        QTest::newRow("reso nan") << 531 << "nan" << reso;
        QTest::newRow("reso inf") << 531 << "inf" << reso;
        QTest::newRow("reso 0") << 531 << "0" << reso;
        QTest::newRow("reso 11") << 531 << "11" << reso;
    }
    void pageLayoutRefusesBadFields()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        CPageLayoutDlg dlg(*m_profile, nullptr);
        dlg.show();
        Edit(dlg, field)->setText(text);
        Button(dlg, "IDOK")->click();
        QCOMPARE(m_messages, QStringList{message});
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.focusWidget(), Edit(dlg, field));
        QCOMPARE(Edit(dlg, field)->text(), text);
        QVERIFY(!QFile::exists(QString::fromStdString(m_profile->GetPath())));
    }

    void pageLayoutReportsOnlyTheFirstBadField()
    {
        CPageLayoutDlg dlg(*m_profile, nullptr);
        dlg.show();
        // Bad in bottom, top, right and resolution: right comes first.
        for (int id : {529, 479, 478, 531})
            Edit(dlg, id)->setText(QStringLiteral("x"));
        Button(dlg, "IDOK")->click();
        QCOMPARE(m_messages, QStringList{QStringLiteral("右を0から50の数値で入力してください。")});
        QCOMPARE(dlg.focusWidget(), Edit(dlg, 478));
        // Right mended: top is next.
        Edit(dlg, 478)->setText(QStringLiteral("3"));
        Button(dlg, "IDOK")->click();
        QCOMPARE(m_messages.last(), QStringLiteral("上を0から50の数値で入力してください。"));
        QCOMPARE(dlg.focusWidget(), Edit(dlg, 479));
        QVERIFY(dlg.isVisible());
    }

    void pageLayoutStoresTheLimitsInOrder_data()
    {
        QTest::addColumn<QStringList>("texts"); // left, right, top, bottom, resolution
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("lower limits") << QStringList{"0", "0", "0", "0", "1"}
                                      << QStringList{"0", "0", "0", "0", "1"};
        QTest::newRow("upper limits") << QStringList{"50", "50", "50", "50", "10"}
                                      << QStringList{"50", "50", "50", "50", "10"};
        QTest::newRow("signs and blanks") << QStringList{" +7 ", "-0", "\t12", "3 ", "+10"}
                                          << QStringList{"7", "0", "12", "3", "10"};
    }
    void pageLayoutStoresTheLimitsInOrder()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, stored);
        CPageLayoutDlg dlg(*m_profile, nullptr);
        dlg.show();
        for (int i = 0; i < 5; ++i)
            Edit(dlg, kFields[i])->setText(texts[i]);
        Button(dlg, "IDOK")->click();
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const char* keys[] = {"Left", "Right", "Up", "Down", "Reso"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(QString::fromStdString(Stored(keys[i])), stored[i]);
        // Written in the order Left, Right, Up, Down, Reso.
        const Bytes raw = ReadAll(m_profile->GetPath());
        const QByteArray ini(reinterpret_cast<const char*>(raw.data()), qsizetype(raw.size()));
        qsizetype at = -1;
        for (const char* key : keys) {
            const qsizetype next = ini.indexOf(QByteArray(key) + '=');
            QVERIFY2(next > at, key);
            at = next;
        }
    }

    void pageLayoutCancelStoresNothing()
    {
        CPageLayoutDlg dlg(*m_profile, nullptr);
        dlg.show();
        Edit(dlg, 528)->setText(QStringLiteral("10"));
        Button(dlg, "IDCANCEL")->click();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!QFile::exists(QString::fromStdString(m_profile->GetPath())));
        QVERIFY(m_messages.isEmpty());
    }

    void pageLayoutPrinterButtonRunsSetupAndStaysOpen()
    {
        int calls = 0;
        CPageLayoutDlg dlg(*m_profile, [&calls] { ++calls; });
        dlg.show();
        Button(dlg, "530")->click();
        QCOMPARE(calls, 1);
        QVERIFY(dlg.isVisible());
        QVERIFY(!QFile::exists(QString::fromStdString(m_profile->GetPath())));
    }

    void printDialogRangeFollowsSelection()
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        for (bool bSelection : {false, true}) {
            CPrintDlg dlg(printer, bSelection, nullptr, nullptr);
            auto* all = dlg.findChild<QRadioButton*>(QStringLiteral("1056"));
            auto* sel = dlg.findChild<QRadioButton*>(QStringLiteral("1057"));
            QVERIFY(all && sel);
            QCOMPARE(all->text(), QStringLiteral("すべて(&A)"));
            QCOMPARE(sel->text(), QStringLiteral("選択(&E)"));
            QCOMPARE(sel->isEnabled(), bSelection);
            QCOMPARE(sel->isChecked(), bSelection);
            QCOMPARE(all->isChecked(), !bSelection);
            QCOMPARE(dlg.PrintSelection(), bSelection);
        }
    }

    void printDialogButtonsAndThePrinterLine()
    {
        // No printer: Qt's fallback is PDF without a file.
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        int setups = 0;
        int helps = 0;
        const QString chosen = QString::fromStdString(*m_dir / "kept/a very long name for the printed waveform.pdf");
        CPrintDlg dlg(
            printer, false,
            [&] {
                // The setup chooses a PDF file.
                ++setups;
                printer.setOutputFileName(chosen);
            },
            [&] { ++helps; });
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Print"));
        auto* name = dlg.findChild<QLabel*>(QStringLiteral("1088"));
        QVERIFY(name);
        QCOMPARE(name->text(), QStringLiteral("PDF ﾌｧｲﾙ"));
        QVERIFY(Button(dlg, "IDOK")->isDefault());
        Button(dlg, "1038")->click();
        QCOMPARE(helps, 1);
        Button(dlg, "1024")->click();
        QCOMPARE(setups, 1);
        // The line names the file, shortened to its width, the tip in full.
        QCOMPARE(CPrintDlg::PrinterDisplayName(printer),
                 QStringLiteral("PDF ﾌｧｲﾙ (a very long name for the printed waveform.pdf)"));
        QVERIFY(name->text().startsWith(QStringLiteral("PDF")));
        QVERIFY(name->text().endsWith(QStringLiteral(".pdf)")));
        QVERIFY(name->fontMetrics().horizontalAdvance(name->text()) <= name->width());
        QCOMPARE(name->toolTip(), chosen);
        QVERIFY(dlg.isVisible());
        Button(dlg, "IDOK")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void previewKeepsTheOneOrTwoPageChoice()
    {
        auto wave = OpenWave(20000);
        QPrinter printer;
        SetUpPrinter(printer);
        using P = CPrintPreview;
        {
            P preview(printer, *m_profile, wave->view);
            Show(preview);
            QVERIFY(preview.PageCount() >= 3);
            QCOMPARE(preview.PagesShown(), 1);
            QCOMPARE(Text(preview, P::AFX_ID_PREVIEW_NUMPAGE), QStringLiteral("2 ﾍﾟｰｼﾞ(&T)"));
            QCOMPARE(Text(preview, P::IDC_PAGE_DESC), QStringLiteral("ﾍﾟｰｼﾞ 1"));
            QCOMPARE(preview.PreviewWidget()->pageCount(), 1);

            preview.findChild<QPushButton*>(QString::number(P::AFX_ID_PREVIEW_NUMPAGE))->click();
            QCOMPARE(m_profile->GetProfileInt("Settings", "PreviewPages", 0), 2);
            QCOMPARE(Text(preview, P::AFX_ID_PREVIEW_NUMPAGE), QStringLiteral("1 ﾍﾟｰｼﾞ(&O)"));
            QCOMPARE(Text(preview, P::IDC_PAGE_DESC), QStringLiteral("ﾍﾟｰｼﾞ 1-2"));
            QCOMPARE(preview.PreviewWidget()->pageCount(), 2);
        }
        {
            // The next preview starts with two pages; back to one is stored.
            P preview(printer, *m_profile, wave->view);
            QCOMPARE(preview.PagesShown(), 2);
            preview.TogglePages();
            QCOMPARE(m_profile->GetProfileInt("Settings", "PreviewPages", 0), 1);
        }
        // Anything but 2 in the profile is one page.
        m_profile->WriteProfileInt("Settings", "PreviewPages", 3);
        P preview(printer, *m_profile, wave->view);
        QCOMPARE(preview.PagesShown(), 1);
    }

    void previewTurnsPagesWithTheKeysUpToTheLast()
    {
        auto wave = OpenWave(20000);
        QPrinter printer;
        SetUpPrinter(printer);
        m_profile->WriteProfileInt("Settings", "PreviewPages", 2);
        using P = CPrintPreview;
        P preview(printer, *m_profile, wave->view);
        Show(preview);
        const unsigned last = preview.PageCount();
        QVERIFY(!Enabled(preview, P::AFX_ID_PREVIEW_PREV));
        QTest::keyClick(&preview, Qt::Key_PageDown);
        QCOMPARE(Text(preview, P::IDC_PAGE_DESC), QStringLiteral("ﾍﾟｰｼﾞ 2-3"));
        QTest::keyClick(&preview, Qt::Key_PageUp);
        QCOMPARE(preview.CurrentPage(), 1u);
        // Two pages go as far as the last pair; Page Down stops there.
        for (unsigned i = 0; i < last + 2; ++i)
            QTest::keyClick(&preview, Qt::Key_PageDown);
        QCOMPARE(preview.CurrentPage(), last - 1);
        QCOMPARE(Text(preview, P::IDC_PAGE_DESC), QString::asprintf("ﾍﾟｰｼﾞ %u-%u", last - 1, last));
        QVERIFY(!Enabled(preview, P::AFX_ID_PREVIEW_NEXT));
        // One page reaches the last page itself; two pages there show it alone.
        preview.TogglePages();
        QTest::keyClick(&preview, Qt::Key_PageDown);
        QCOMPARE(Text(preview, P::IDC_PAGE_DESC), QString::asprintf("ﾍﾟｰｼﾞ %u", last));
        QVERIFY(!Enabled(preview, P::AFX_ID_PREVIEW_NEXT));
        preview.TogglePages();
        QCOMPARE(Text(preview, P::IDC_PAGE_DESC), QString::asprintf("ﾍﾟｰｼﾞ %u", last));
        QCOMPARE(preview.PreviewWidget()->pageCount(), 1);

        QTest::keyClick(&preview, Qt::Key_Escape);
        QVERIFY(!preview.isVisible());
        QCOMPARE(preview.result(), int(QDialog::Rejected));
        QVERIFY(!preview.PrintRequested());
    }

    void previewCountsOnlyPagesThatDraw()
    {
        // Frames a page joins on the preview's printer with the default
        // layout: f x k segments, f x k + 1 frames.
        QPrinter printer;
        SetUpPrinter(printer);
        const SPageLayout layout = ComputePageLayout(GeometryOf(printer), SPrintSettings{});
        const std::size_t perPage = std::size_t(layout.width / 2) * std::size_t(layout.height / 256);
        QVERIFY(perPage > 0);
        using P = CPrintPreview;
        const struct {
            std::size_t frames;
            unsigned pages;
        } cases[] = {{2 * perPage, 2}, {2 * perPage + 1, 2}, {2 * perPage + 2, 3}};
        for (const auto& c : cases) {
            auto wave = OpenWave(c.frames);
            P preview(printer, *m_profile, wave->view);
            Show(preview);
            QCOMPARE(preview.PageCount(), c.pages);
            for (unsigned i = 0; i < c.pages + 1; ++i)
                QTest::keyClick(&preview, Qt::Key_PageDown);
            QCOMPARE(Text(preview, P::IDC_PAGE_DESC), QString::asprintf("ﾍﾟｰｼﾞ %u", c.pages));
            QVERIFY(!Enabled(preview, P::AFX_ID_PREVIEW_NEXT));
        }
    }

    void previewWithoutDataShowsOneBlankPage()
    {
        SWaveView wave;
        QPrinter printer;
        SetUpPrinter(printer);
        CPrintPreview preview(printer, *m_profile, wave.view);
        Show(preview);
        QCOMPARE(preview.PageCount(), 1u);
        QCOMPARE(preview.PreviewWidget()->pageCount(), 1);
        QCOMPARE(Text(preview, CPrintPreview::IDC_PAGE_DESC), QStringLiteral("ﾍﾟｰｼﾞ 1"));
        QVERIFY(!Enabled(preview, CPrintPreview::AFX_ID_PREVIEW_NEXT));
        QVERIFY(!Enabled(preview, CPrintPreview::AFX_ID_PREVIEW_NUMPAGE));
    }

    void previewZoomStepsAndPrintButton()
    {
        auto wave = OpenWave(20000);
        QPrinter printer;
        SetUpPrinter(printer);
        using P = CPrintPreview;
        P preview(printer, *m_profile, wave->view);
        Show(preview);
        const qreal fit = preview.PreviewWidget()->zoomFactor();
        QVERIFY(!Enabled(preview, P::AFX_ID_PREVIEW_ZOOMOUT));
        preview.ZoomIn();
        preview.ZoomIn();
        QVERIFY(!Enabled(preview, P::AFX_ID_PREVIEW_ZOOMIN));
        QVERIFY(!Enabled(preview, P::AFX_ID_PREVIEW_NUMPAGE)); // one/two pages only fitted
        QVERIFY(qAbs(preview.PreviewWidget()->zoomFactor() - 4 * fit) < 1e-6 * fit);
        preview.ZoomOut();
        preview.ZoomOut();
        QCOMPARE(preview.PreviewWidget()->zoomMode(), QPrintPreviewWidget::FitInView);
        QVERIFY(Enabled(preview, P::AFX_ID_PREVIEW_NUMPAGE));

        preview.findChild<QPushButton*>(QString::number(P::AFX_ID_PREVIEW_PRINT))->click();
        QVERIFY(!preview.isVisible());
        QVERIFY(preview.PrintRequested());
    }
};

QTEST_MAIN(TestPrintDialogs)
#include "test_print_dialogs.moc"
