// The device dialog: lists from a stand-in sound system, choices kept in a
// profile in a private folder.

#include "device/CWavDeviceDlg.h"
#include "framework/DialogUnits.h"
#include "platform/Profile.h"
#include "platform/WaveAudio.h"
#include "tests/support/TempDir.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Lists the names it is given; opens nothing.
class CFakeAudio : public IWaveAudio {
public:
    std::vector<std::string> m_outputs;
    std::vector<std::string> m_inputs;

    std::vector<std::string> OutputDevices() override { return m_outputs; }
    std::vector<std::string> InputDevices() override { return m_inputs; }
    MMRESULT OpenOutput(int, const WAVEFORMATEX&, IWaveNotify*, std::unique_ptr<IWaveOut>&) override
    {
        return MMSYSERR_NODRIVER;
    }
    MMRESULT OpenInput(int, const WAVEFORMATEX&, IWaveNotify*, std::unique_ptr<IWaveIn>&) override
    {
        return MMSYSERR_NODRIVER;
    }
};

const char kSection[] = "WAV Config";

QComboBox* List(QDialog& dlg, int id)
{
    return dlg.findChild<QComboBox*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

void Click(QDialog& dlg, const char* name)
{
    auto* button = dlg.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

std::vector<std::string> Names(const char* stem, int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(stem + std::to_string(i + 1));
    return names;
}

} // namespace

class TestDeviceDialog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layout();
    void listsWithNothingStored();
    void okStoresTheChoice_data();
    void okStoresTheChoice();
    void storedIdSelects_data();
    void storedIdSelects();
    void cancelStoresNothing();
    void onlyTwentyDevicesListed();
    void typedOutputText_data();
    void typedOutputText();

private:
    int Out() const { return m_profile->GetProfileInt(kSection, "WavOutDevice", -99); }
    int In() const { return m_profile->GetProfileInt(kSection, "WavInDevice", -99); }

    std::unique_ptr<CTempDir> m_dir;
    std::unique_ptr<CProfile> m_profile;
    CFakeAudio m_audio;
};

void TestDeviceDialog::init()
{
    m_dir = std::make_unique<CTempDir>();
    m_profile = std::make_unique<CProfile>(*m_dir / "ondrel.ini");
    m_audio.m_outputs = {"Speakers A", "Speakers B"};
    m_audio.m_inputs = {"Mic A", "Mic B", "Line C"};
}

void TestDeviceDialog::cleanup()
{
    m_profile.reset();
    m_dir.reset();
}

// The template, in dialog units of the dialog font, and a picture of it.
void TestDeviceDialog::layout()
{
    CWavDeviceDlg dlg(*m_profile, m_audio);
    const CDialogUnits du(DialogFont());
    QCOMPARE(dlg.windowTitle(), QStringLiteral("WAVデバイス"));
    QCOMPARE(dlg.size(), QSize(du.MapX(187), du.MapY(77)));

    QComboBox* in = List(dlg, 467);
    QComboBox* out = List(dlg, 468);
    QVERIFY(in && out);
    QVERIFY(!in->isEditable());
    QVERIFY(out->isEditable());
    QCOMPARE(out->insertPolicy(), QComboBox::NoInsert);
    QCOMPARE(in->geometry().topLeft(), du.MapRect(7, 17, 119, 12).topLeft());
    QCOMPARE(in->width(), du.MapRect(7, 17, 119, 12).width());
    QCOMPARE(out->geometry().topLeft(), du.MapRect(7, 48, 119, 12).topLeft());
    QCOMPARE(out->width(), in->width());

    QStringList labels;
    for (QLabel* label : dlg.findChildren<QLabel*>())
        labels << label->text();
    labels.sort();
    QCOMPARE(labels, QStringList({QStringLiteral("ＷＡＶ入力デバイス"), QStringLiteral("ＷＡＶ出力デバイス")}));

    auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("IDOK"));
    auto* cancel = dlg.findChild<QPushButton*>(QStringLiteral("IDCANCEL"));
    QVERIFY(ok && cancel);
    QVERIFY(ok->isDefault());
    QCOMPARE(cancel->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QCOMPARE(ok->geometry(), du.MapRect(130, 7, 50, 14));
    QCOMPARE(cancel->geometry(), du.MapRect(130, 24, 50, 14));

    dlg.show();
    QVERIFY(QDir().mkpath(QStringLiteral("/tmp/ondrel-dialogs")));
    QVERIFY(dlg.grab().save(QStringLiteral("/tmp/ondrel-dialogs/device.png")));
}

void TestDeviceDialog::listsWithNothingStored()
{
    CWavDeviceDlg dlg(*m_profile, m_audio);
    QComboBox* out = List(dlg, 468);
    QComboBox* in = List(dlg, 467);
    QCOMPARE(Items(out), QStringList({"Speakers A", "Speakers B", "Wave Mapper"}));
    QCOMPARE(out->currentIndex(), 2);
    QCOMPARE(out->currentText(), QStringLiteral("Wave Mapper"));
    QCOMPARE(Items(in), QStringList({"Mic A", "Mic B", "Line C", "Wave Mapper"}));
    QCOMPARE(in->currentIndex(), 3);
    QCOMPARE(dlg.m_nOutDevCount, 2);
    QCOMPARE(dlg.m_nInDevCount, 3);
    QCOMPARE(dlg.m_anOutDevIds[1], 1);
    QCOMPARE(dlg.m_anInDevIds[2], 2);
    QCOMPARE(dlg.m_nOutDevice, -1);
    QCOMPARE(dlg.m_nInDevice, -1);
}

void TestDeviceDialog::okStoresTheChoice_data()
{
    QTest::addColumn<int>("storedOut");
    QTest::addColumn<int>("storedIn");
    QTest::addColumn<int>("pickOut"); // list positions
    QTest::addColumn<int>("pickIn");
    QTest::addColumn<int>("expectedOut");
    QTest::addColumn<int>("expectedIn");

    QTest::newRow("second output, first input") << -1 << -1 << 1 << 0 << 1 << 0;
    QTest::newRow("back to the mapper") << 1 << 2 << 2 << 3 << -1 << -1;
    QTest::newRow("unchanged") << 0 << 2 << 0 << 2 << 0 << 2;
}

void TestDeviceDialog::okStoresTheChoice()
{
    QFETCH(int, storedOut);
    QFETCH(int, storedIn);
    QFETCH(int, pickOut);
    QFETCH(int, pickIn);
    QFETCH(int, expectedOut);
    QFETCH(int, expectedIn);
    if (storedOut != -1)
        QVERIFY(m_profile->WriteProfileInt(kSection, "WavOutDevice", storedOut));
    if (storedIn != -1)
        QVERIFY(m_profile->WriteProfileInt(kSection, "WavInDevice", storedIn));

    {
        CWavDeviceDlg dlg(*m_profile, m_audio);
        List(dlg, 468)->setCurrentIndex(pickOut);
        List(dlg, 467)->setCurrentIndex(pickIn);
        Click(dlg, "IDOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_nOutDevice, expectedOut);
        QCOMPARE(dlg.m_nInDevice, expectedIn);
    }
    QCOMPARE(Out(), expectedOut);
    QCOMPARE(In(), expectedIn);
    if (storedOut == -1 && storedIn == -1) {
        // Into a new file: the output goes in first.
        const Bytes file = ReadAll(m_profile->GetPath());
        const std::string text(file.begin(), file.end());
        QVERIFY(text.find("WavOutDevice") < text.find("WavInDevice"));
    }

    // Opening again shows the choice.
    CWavDeviceDlg again(*m_profile, m_audio);
    QCOMPARE(List(again, 468)->currentIndex(), pickOut);
    QCOMPARE(List(again, 467)->currentIndex(), pickIn);
}

void TestDeviceDialog::storedIdSelects_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("outPosition"); // two outputs, then the mapper
    QTest::addColumn<int>("inPosition");  // three inputs, then the mapper

    QTest::newRow("first") << 0 << 0 << 0;
    QTest::newRow("last output") << 1 << 1 << 1;
    QTest::newRow("past the outputs only") << 2 << 2 << 2;
    QTest::newRow("past both") << 3 << 2 << 3;
    QTest::newRow("far past") << 1000 << 2 << 3;
    QTest::newRow("mapper") << -1 << 2 << 3;
    QTest::newRow("other negative") << -7 << 2 << 3;
}

// A stored identifier selects its device when listed, else "Wave Mapper".
void TestDeviceDialog::storedIdSelects()
{
    QFETCH(int, stored);
    QFETCH(int, outPosition);
    QFETCH(int, inPosition);
    QVERIFY(m_profile->WriteProfileInt(kSection, "WavOutDevice", stored));
    QVERIFY(m_profile->WriteProfileInt(kSection, "WavInDevice", stored));

    CWavDeviceDlg dlg(*m_profile, m_audio);
    QCOMPARE(List(dlg, 468)->currentIndex(), outPosition);
    QCOMPARE(List(dlg, 467)->currentIndex(), inPosition);
    QCOMPARE(dlg.m_nOutDevice, stored);
}

void TestDeviceDialog::cancelStoresNothing()
{
    // No file: Cancel creates none.
    {
        CWavDeviceDlg dlg(*m_profile, m_audio);
        List(dlg, 468)->setCurrentIndex(0);
        List(dlg, 467)->setCurrentIndex(1);
        Click(dlg, "IDCANCEL");
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }
    QVERIFY(!QFile::exists(QString::fromStdString(m_profile->GetPath())));

    // A file: Cancel leaves it byte for byte.
    QVERIFY(m_profile->WriteProfileInt(kSection, "WavOutDevice", 1));
    QVERIFY(m_profile->WriteProfileInt(kSection, "WavInDevice", 2));
    const Bytes before = ReadAll(m_profile->GetPath());
    {
        CWavDeviceDlg dlg(*m_profile, m_audio);
        List(dlg, 468)->setCurrentIndex(2);
        List(dlg, 467)->setCurrentIndex(0);
        Click(dlg, "IDCANCEL");
    }
    QCOMPARE(ReadAll(m_profile->GetPath()), before);
}

// Only twenty devices fit the identifier tables; the rest are not offered.
void TestDeviceDialog::onlyTwentyDevicesListed()
{
    m_audio.m_outputs = Names("Out ", 25);
    m_audio.m_inputs = Names("In ", 25);
    QVERIFY(m_profile->WriteProfileInt(kSection, "WavInDevice", 22));
    {
        CWavDeviceDlg dlg(*m_profile, m_audio);
        QComboBox* out = List(dlg, 468);
        QComboBox* in = List(dlg, 467);
        QCOMPARE(out->count(), 21);
        QCOMPARE(out->itemText(19), QStringLiteral("Out 20"));
        QCOMPARE(out->itemText(20), QStringLiteral("Wave Mapper"));
        QCOMPARE(in->count(), 21);
        QCOMPARE(dlg.m_nOutDevCount, 20);
        QCOMPARE(in->currentIndex(), 20); // 22 is not listed

        out->setCurrentIndex(19);
        in->setCurrentIndex(19);
        Click(dlg, "IDOK");
    }
    QCOMPARE(Out(), 19);
    QCOMPARE(In(), 19);
}

void TestDeviceDialog::typedOutputText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("expectedOut");

    // Selected "Speakers A" (0) over a stored 1, then typed over.
    QTest::newRow("names nothing: the stored value stays") << "Headphones" << 1;
    QTest::newRow("empty: the stored value stays") << "" << 1;
    QTest::newRow("names an entry: that entry") << "wave mapper" << -1;
}

void TestDeviceDialog::typedOutputText()
{
    QFETCH(QString, typed);
    QFETCH(int, expectedOut);
    QVERIFY(m_profile->WriteProfileInt(kSection, "WavOutDevice", 1));
    {
        CWavDeviceDlg dlg(*m_profile, m_audio);
        dlg.show();
        QComboBox* out = List(dlg, 468);
        out->setCurrentIndex(0);
        QLineEdit* edit = out->lineEdit();
        QVERIFY(edit);
        edit->clear();
        QTest::keyClicks(edit, typed);
        QCOMPARE(out->currentText(), typed);
        Click(dlg, "IDOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
    QCOMPARE(Out(), expectedOut);
    QCOMPARE(In(), -1);
}

QTEST_MAIN(TestDeviceDialog)
#include "test_device_dialog.moc"
