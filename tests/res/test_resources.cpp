// The tool bar images, the application icon, the help page and the desktop
// entry.

#include "res/AppIcon.h"
#include "res/ToolBarImages.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringDecoder>
#include <QTextDocument>
#include <QtTest>

namespace {

QImage Cell(const QImage& strip, int index)
{
    return strip.copy(index * kToolBarImageWidth, 0, kToolBarImageWidth, kToolBarImageHeight);
}

int CountPixels(const QImage& image, const std::function<bool(QRgb)>& test)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

bool Opaque(QRgb p) { return qAlpha(p) == 255; }

// Cleaned up as text so the data folder itself need not exist.
QString SourceRoot() { return QDir::cleanPath(QStringLiteral(ONDREL_TEST_DATA "/../..")); }

} // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void stripHasEightCellsOfCrispPixels();
    void cellsAreAllDifferent();
    void recordIsRedAndPlayIsGreen();
    void toolBarIconIsItsCell();
    void appIconRendersAtEverySize();
    void helpPageNamesTheMenus_data();
    void helpPageNamesTheMenus();
    void helpPageIsSelfContained();
    void desktopEntryLaunchesOndrelForWavFiles();
};

void TestResources::stripHasEightCellsOfCrispPixels()
{
    const QImage strip = CreateToolBarStrip();
    QCOMPARE(strip.size(), QSize(128, 15));
    QVERIFY(strip.hasAlphaChannel());

    for (int i = 0; i < kToolBarImageCount; ++i) {
        const QImage cell = Cell(strip, i);
        const int opaque = CountPixels(cell, Opaque);
        const int clear = CountPixels(cell, [](QRgb p) { return qAlpha(p) == 0; });
        QVERIFY2(opaque > 20, qPrintable(QStringLiteral("cell %1 is (nearly) empty").arg(i)));
        QVERIFY2(clear > 0, qPrintable(QStringLiteral("cell %1 has no background").arg(i)));
        // Antialiased edges would leave half-transparent pixels that blur
        // on a tool bar and when the image is doubled.
        QCOMPARE(opaque + clear, kToolBarImageWidth * kToolBarImageHeight);
    }
}

void TestResources::cellsAreAllDifferent()
{
    const QImage strip = CreateToolBarStrip();
    for (int i = 0; i < kToolBarImageCount; ++i)
        for (int j = i + 1; j < kToolBarImageCount; ++j)
            QVERIFY2(Cell(strip, i) != Cell(strip, j),
                     qPrintable(QStringLiteral("cells %1 and %2 are the same").arg(i).arg(j)));
}

void TestResources::recordIsRedAndPlayIsGreen()
{
    const QImage strip = CreateToolBarStrip();

    const QImage record = Cell(strip, kImageRecord);
    const int reddish = CountPixels(record, [](QRgb p) {
        return Opaque(p) && qRed(p) > qGreen(p) + 60 && qRed(p) > qBlue(p) + 60;
    });
    QVERIFY(reddish * 10 >= CountPixels(record, Opaque) * 9);

    const QImage play = Cell(strip, kImagePlay);
    const int greenish = CountPixels(play, [](QRgb p) {
        return Opaque(p) && qGreen(p) > qRed(p) + 60 && qGreen(p) > qBlue(p) + 60;
    });
    QVERIFY(greenish * 2 >= CountPixels(play, Opaque));
}

void TestResources::toolBarIconIsItsCell()
{
    const QImage strip = CreateToolBarStrip();
    for (int i = 0; i < kToolBarImageCount; ++i) {
        const QIcon icon = ToolBarIcon(i);
        QVERIFY(!icon.isNull());
        const QImage image = icon.pixmap(QSize(kToolBarImageWidth, kToolBarImageHeight))
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image, Cell(strip, i));
    }
    QVERIFY(ToolBarIcon(-1).isNull());
    QVERIFY(ToolBarIcon(kToolBarImageCount).isNull());
}

void TestResources::appIconRendersAtEverySize()
{
    const QIcon icon = CreateAppIcon();
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));

    const QImage image = icon.pixmap(48, 48).toImage();
    QCOMPARE(image.size(), QSize(48, 48));
    QVERIFY(CountPixels(image, Opaque) > 48 * 48 / 2);
}

void TestResources::helpPageNamesTheMenus_data()
{
    QTest::addColumn<QString>("text");
    // The menu names appear as the menu bar shows them, half-width
    // katakana included.
    for (const char* name : {"ﾌｧｲﾙ", "編集", "表示", "効果(C)", "PCM", "ﾍﾙﾌﾟ", "録音", "再生",
                             "停止", "PCMﾃﾞﾊﾞｲｽ", "ﾍﾟｰｼﾞﾚｱｳﾄの設定", "ｱﾌﾟﾘｹｰｼｮﾝの終了",
                             "ﾂｰﾙ ﾊﾞｰ", "ｽﾃｰﾀｽ ﾊﾞｰ", "ﾎﾞｲｽﾁｪﾝｼﾞｬｰ", "Ctrl+Z"})
        QTest::newRow(name) << QString::fromUtf8(name);
}

void TestResources::helpPageNamesTheMenus()
{
    QFETCH(QString, text);
    QFile file(QStringLiteral(":/help/index.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString html = utf8.decode(bytes);
    QVERIFY(!utf8.hasError());

    // Looked for in the text Qt's rich text engine makes of the page, the
    // way the help window shows it.
    QTextDocument document;
    document.setHtml(html);
    QVERIFY2(document.toPlainText().contains(text), qPrintable(text));
}

void TestResources::helpPageIsSelfContained()
{
    QFile file(QStringLiteral(":/help/index.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    for (const char* banned : {"<script", "src=", "http:", "https:", "<link"})
        QVERIFY2(!html.contains(QLatin1String(banned), Qt::CaseInsensitive), banned);
}

void TestResources::desktopEntryLaunchesOndrelForWavFiles()
{
    QFile file(SourceRoot() + QStringLiteral("/res/ondrel.desktop"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));

    QMap<QString, QString> keys;
    QString group;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'['))
            group = line;
        else if (group == QLatin1String("[Desktop Entry]") && line.contains(u'='))
            keys.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    }

    QCOMPARE(keys.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QVERIFY(keys.value(QStringLiteral("Exec")).startsWith(QLatin1String("ondrel ")));
    QCOMPARE(keys.value(QStringLiteral("Icon")), QStringLiteral("ondrel"));
    QVERIFY(keys.value(QStringLiteral("MimeType")).split(u';').contains(QStringLiteral("audio/x-wav")));
}

QTEST_MAIN(TestResources)
#include "test_resources.moc"
