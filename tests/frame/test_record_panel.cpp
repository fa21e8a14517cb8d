// The recording panel, its dialog-unit layout and the up-down control.

#include "frame/CMainFrame.h"
#include "frame/CRecordPanel.h"
#include "framework/CSpinButtonCtrl.h"
#include "framework/DialogUnits.h"
#include "res/resource.h"

#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRawFont>
#include <QStatusBar>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include <climits>
#include <memory>

namespace {

QToolButton* Arrow(CSpinButtonCtrl* spin, bool up)
{
    return spin->findChild<QToolButton*>(up ? "upButton" : "downButton");
}

void Click(CSpinButtonCtrl* spin, bool up, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(Arrow(spin, up), Qt::LeftButton);
}

} // namespace

class TestRecordPanel : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void mulDiv_data();
    void mulDiv();
    void mapRect_data();
    void mapRect();
    void baseUnitsFromFont();
    void dialogFontHasJapaneseGlyphs();

    void controlsAtTemplatePositions_data();
    void controlsAtTemplatePositions();
    void comboBoxesAtTemplatePositions();
    void spinAttachedToRightOfEdit();
    void initialContents();
    void initialiseTwiceKeepsSixRates();
    void rendersToImage();

    void spinClicksStepAndWriteText();
    void spinStopsAtBounds();
    void arrowKeysInEditStepSpin();
    void stepStartsFromTheTypedNumber_data();
    void stepStartsFromTheTypedNumber();
    void steppedTypedTimeIsTheRecordingTime();
    void editAcceptsDigitsOnly();
    void setPosClampsSilently();

    void dlgItemTextRoundTrip_data();
    void dlgItemTextRoundTrip();
    void unknownIdIsHarmless();
    void longNumbersGrowLeftNotClipped();
    void readoutsShowTheLargestNumbersWhole_data();
    void readoutsShowTheLargestNumbersWhole();
    void statusPanesShowTheirTextsWhole_data();
    void statusPanesShowTheirTextsWhole();

    void spinReversedRangeWithoutBuddyInt();
    void spinAlignRightTakesBuddysRightPart();
    void spinWithoutArrowKeysIgnoresKeys();

private:
    std::unique_ptr<CRecordPanel> m_panel;
    QLineEdit* Edit() const { return static_cast<QLineEdit*>(m_panel->GetDlgItem(IDC_REC_TIME)); }
};

void TestRecordPanel::init()
{
    m_panel = std::make_unique<CRecordPanel>();
    m_panel->Initialise(60);
}

void TestRecordPanel::cleanup() { m_panel.reset(); }

// --- dialog units ---------------------------------------------------------

void TestRecordPanel::mulDiv_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact") << 8 << 6 << 4 << 12;
    QTest::newRow("above half rounds up") << 3 << 13 << 8 << 5; // 4.875
    QTest::newRow("below half rounds down") << 3 << 3 << 8 << 1; // 1.125
    QTest::newRow("half rounds up") << 1 << 6 << 4 << 2;         // 1.5
    QTest::newRow("half rounds up, y") << 4 << 13 << 8 << 7;     // 6.5
    QTest::newRow("truncation would lose") << 61 << 7 << 4 << 107; // 106.75
    QTest::newRow("zero") << 0 << 7 << 4 << 0;
    QTest::newRow("negative half away from zero") << -1 << 6 << 4 << -2;
    QTest::newRow("negative divisor") << 7 << 6 << -4 << -11; // -10.5
    QTest::newRow("product beyond 32 bits") << INT_MAX << INT_MAX << INT_MAX << INT_MAX;
    QTest::newRow("result beyond int") << INT_MAX << 4 << 2 << -1;
    QTest::newRow("divide by zero") << 5 << 6 << 0 << -1;
}

void TestRecordPanel::mulDiv()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(MulDiv(a, b, c), expected);
}

void TestRecordPanel::mapRect_data()
{
    // Base units 6 x 13, worked by hand: x * 6 / 4 and y * 13 / 8, rounded.
    QTest::addColumn<QRect>("dlu");
    QTest::addColumn<QRect>("pixels");
    // left 13.5 -> 14, top 29.25 -> 29, right 79.5 -> 80, bottom 180.375 -> 180
    QTest::newRow("rate list") << QRect(9, 18, 44, 93) << QRect(14, 29, 66, 151);
    // left 25.5 -> 26, top 117, right 66, bottom 138.125 -> 138
    QTest::newRow("edit") << QRect(17, 72, 27, 13) << QRect(26, 117, 40, 21);
    QTest::newRow("whole panel") << QRect(0, 0, 61, 167) << QRect(0, 0, 92, 271);
    // Two 5-DLU boxes side by side: 0..7.5 and 7.5..15. The second is one
    // pixel narrower than the first so that together they span MapX(10).
    QTest::newRow("left of pair") << QRect(0, 0, 5, 8) << QRect(0, 0, 8, 13);
    QTest::newRow("right of pair") << QRect(5, 0, 5, 8) << QRect(8, 0, 7, 13);
}

void TestRecordPanel::mapRect()
{
    QFETCH(QRect, dlu);
    QFETCH(QRect, pixels);
    CDialogUnits units(6, 13);
    QCOMPARE(units.MapRect(dlu.x(), dlu.y(), dlu.width(), dlu.height()), pixels);
}

void TestRecordPanel::baseUnitsFromFont()
{
    // The average is taken over the 52 letters with integer halving, not as
    // a rounded floating-point mean.
    QFont font = DialogFont();
    QFontMetrics fm(font);
    int advance = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    CDialogUnits units(font);
    QCOMPARE(units.BaseX(), (advance / 26 + 1) / 2);
    QCOMPARE(units.BaseY(), fm.height());
    QCOMPARE(m_panel->size(), QSize(units.MapX(61), units.MapY(167)));
}

void TestRecordPanel::dialogFontHasJapaneseGlyphs()
{
    QFont font = DialogFont();
    QCOMPARE(font.pointSize(), 9);
    // The font actually used must be one of the listed Japanese fonts, not
    // a fallback without kana, and it must have the panel's glyphs.
    const QStringList families = font.families();
    QString used = QFontInfo(font).family();
    QVERIFY2(families.contains(used), qPrintable("dialog font resolved to " + used));
    QRawFont raw = QRawFont::fromFont(m_panel->font());
    QVERIFY(raw.isValid());
    QVERIFY2(families.contains(raw.familyName()), qPrintable(raw.familyName()));
    for (QChar ch : QStringLiteral("録音データ秒"))
        QVERIFY2(raw.supportsCharacter(ch), qPrintable(QString(ch)));
}

// --- layout and contents ----------------------------------------------------

void TestRecordPanel::controlsAtTemplatePositions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<unsigned>("id"); // 0: no identifier of its own
    QTest::addColumn<QRect>("dlu");
    QTest::addColumn<QString>("text");
    QTest::newRow("record group") << "IDC_STATIC_RECORD_GROUP" << 0u << QRect(4, 7, 53, 81) << "録音";
    QTest::newRow("data group") << "IDC_STATIC_DATA_GROUP" << 0u << QRect(4, 95, 53, 63) << "データ";
    QTest::newRow("seconds") << "IDC_STATIC_SECONDS" << 0u << QRect(46, 74, 8, 8) << "秒";
    QTest::newRow("cur rate") << "IDC_CUR_RATE" << IDC_CUR_RATE << QRect(15, 107, 33, 8) << "-----";
    QTest::newRow("cur channels") << "IDC_CUR_CHANNELS" << IDC_CUR_CHANNELS << QRect(15, 116, 33, 8) << "-----";
    QTest::newRow("cur bits") << "IDC_CUR_BITS" << IDC_CUR_BITS << QRect(15, 125, 33, 8) << "-----";
    QTest::newRow("data bytes") << "IDC_DATA_BYTES" << IDC_DATA_BYTES << QRect(10, 135, 23, 8) << "0";
    QTest::newRow("bytes") << "IDC_STATIC_BYTES" << 0u << QRect(34, 135, 18, 8) << "Bytes";
    QTest::newRow("data ms") << "IDC_DATA_MS" << IDC_DATA_MS << QRect(10, 145, 23, 8) << "0";
    QTest::newRow("ms") << "IDC_STATIC_MS" << 0u << QRect(34, 145, 10, 8) << "mS";
}

void TestRecordPanel::controlsAtTemplatePositions()
{
    QFETCH(QString, name);
    QFETCH(unsigned, id);
    QFETCH(QRect, dlu);
    QFETCH(QString, text);
    auto* w = m_panel->findChild<QWidget*>(name);
    QVERIFY(w);
    if (id)
        QCOMPARE(m_panel->GetDlgItem(id), w);
    QCOMPARE(w->geometry(), m_panel->Units().MapRect(dlu.x(), dlu.y(), dlu.width(), dlu.height()));
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        QCOMPARE(group->title(), text);
        // Only a frame: the controls inside it are the panel's children.
        QVERIFY(group->findChildren<QWidget*>().isEmpty());
    } else {
        auto* label = qobject_cast<QLabel*>(w);
        QVERIFY(label);
        QCOMPARE(label->text(), text);
    }
}

void TestRecordPanel::comboBoxesAtTemplatePositions()
{
    const struct {
        unsigned id;
        const char* name;
        int x, y, w;
    } combos[] = {{IDC_RATE, "IDC_RATE", 9, 18, 44},
                  {IDC_CHANNELS, "IDC_CHANNELS", 9, 36, 44},
                  {IDC_BITS, "IDC_BITS", 9, 56, 44}};
    for (const auto& c : combos) {
        auto* combo = qobject_cast<QComboBox*>(m_panel->GetDlgItem(c.id));
        QVERIFY2(combo, c.name);
        QCOMPARE(combo->objectName(), QString(c.name));
        QVERIFY(!combo->isEditable());
        QRect want = m_panel->Units().MapRect(c.x, c.y, c.w, 0);
        QCOMPARE(combo->pos(), want.topLeft());
        QCOMPARE(combo->width(), want.width());
        QCOMPARE(combo->height(), combo->sizeHint().height());
    }
}

void TestRecordPanel::spinAttachedToRightOfEdit()
{
    CSpinButtonCtrl* spin = m_panel->GetSpin();
    QCOMPARE(m_panel->GetDlgItem(IDC_REC_TIME_SPIN), spin);
    QCOMPARE(spin->objectName(), QString("IDC_REC_TIME_SPIN"));
    QCOMPARE(spin->GetBuddy(), Edit());
    const CDialogUnits& u = m_panel->Units();
    QRect editTemplate = u.MapRect(17, 72, 27, 13);
    int spinWidth = u.MapRect(10, 70, 9, 16).width();
    QCOMPARE(spin->geometry(), QRect(editTemplate.right() + 1 - spinWidth, editTemplate.y(),
                                     spinWidth, editTemplate.height()));
    QCOMPARE(Edit()->geometry(), editTemplate.adjusted(0, 0, -spinWidth, 0));
}

void TestRecordPanel::initialContents()
{
    QCOMPARE(m_panel->GetDlgItemText(IDC_REC_TIME), QString("60"));
    QCOMPARE(m_panel->GetDlgItemText(IDC_DATA_BYTES), QString("0"));
    QCOMPARE(m_panel->GetDlgItemText(IDC_DATA_MS), QString("0"));
    for (unsigned id : {IDC_CUR_RATE, IDC_CUR_CHANNELS, IDC_CUR_BITS})
        QCOMPARE(m_panel->GetDlgItemText(id), QString("-----"));

    CSpinButtonCtrl* spin = m_panel->GetSpin();
    int lo = 0, hi = 0;
    spin->GetRange(lo, hi);
    QCOMPARE(lo, 1);
    QCOMPARE(hi, 1000);
    QCOMPARE(spin->GetPos(), 60);

    // Each list's entries match the value table by position.
    auto* rate = static_cast<QComboBox*>(m_panel->GetDlgItem(IDC_RATE));
    QCOMPARE(rate->count(), 6);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(rate->itemText(i), QString("%1Hz").arg(CRecordPanel::s_wSampleRates[i]));
    QCOMPARE(rate->itemText(0), QString("8000Hz"));
    QCOMPARE(m_panel->GetCurSel(IDC_RATE), 3);
    QCOMPARE(m_panel->GetDlgItemText(IDC_RATE), QString("22050Hz"));

    auto* channels = static_cast<QComboBox*>(m_panel->GetDlgItem(IDC_CHANNELS));
    QCOMPARE(channels->count(), 2);
    QCOMPARE(channels->itemText(0), QString("Mono"));
    QCOMPARE(channels->itemText(1), QString("Stereo"));
    QCOMPARE(CRecordPanel::s_wChannelCounts[0], quint16(1));
    QCOMPARE(CRecordPanel::s_wChannelCounts[1], quint16(2));
    QCOMPARE(m_panel->GetCurSel(IDC_CHANNELS), 0);

    auto* bits = static_cast<QComboBox*>(m_panel->GetDlgItem(IDC_BITS));
    QCOMPARE(bits->count(), 2);
    QCOMPARE(bits->itemText(0), QString("8  Bits"));
    QCOMPARE(bits->itemText(1), QString("16 Bits"));
    QCOMPARE(CRecordPanel::s_wBitDepths[0], quint16(8));
    QCOMPARE(CRecordPanel::s_wBitDepths[1], quint16(16));
    QCOMPARE(m_panel->GetCurSel(IDC_BITS), 1);

    QVERIFY(m_panel->isEnabled());
    QVERIFY(Edit()->isEnabled());
}

void TestRecordPanel::initialiseTwiceKeepsSixRates()
{
    m_panel->SetCurSel(IDC_CHANNELS, 1);
    m_panel->Initialise(30);
    QCOMPARE(static_cast<QComboBox*>(m_panel->GetDlgItem(IDC_RATE))->count(), 6);
    QCOMPARE(m_panel->GetCurSel(IDC_RATE), 3);
    QCOMPARE(m_panel->GetCurSel(IDC_CHANNELS), 0);
    QCOMPARE(m_panel->GetSpin()->GetPos(), 30);
    QCOMPARE(m_panel->GetDlgItemText(IDC_REC_TIME), QString("30"));
}

void TestRecordPanel::rendersToImage()
{
    QPixmap shot = m_panel->grab();
    QCOMPARE(shot.size(), m_panel->size());
    QVERIFY(shot.save("/tmp/record_panel.png"));
}

// --- the recording time and its up-down control ------------------------------

void TestRecordPanel::spinClicksStepAndWriteText()
{
    CSpinButtonCtrl* spin = m_panel->GetSpin();
    QSignalSpy changed(spin, &CSpinButtonCtrl::PositionChanged);
    Click(spin, true);
    QCOMPARE(spin->GetPos(), 61);
    QCOMPARE(Edit()->text(), QString("61"));
    Click(spin, false, 3);
    QCOMPARE(spin->GetPos(), 58);
    QCOMPARE(Edit()->text(), QString("58"));
    QCOMPARE(changed.count(), 4);
    QCOMPARE(changed.last().at(0).toInt(), 58);
}

void TestRecordPanel::spinStopsAtBounds()
{
    CSpinButtonCtrl* spin = m_panel->GetSpin();
    QSignalSpy changed(spin, &CSpinButtonCtrl::PositionChanged);
    m_panel->SetDlgItemInt(IDC_REC_TIME, 999);
    spin->SetPos(999);
    Click(spin, true, 3);
    QCOMPARE(spin->GetPos(), 1000);
    QCOMPARE(Edit()->text(), QString("1000"));
    QCOMPARE(changed.count(), 1); // no wrap and no signal at the end

    m_panel->SetDlgItemInt(IDC_REC_TIME, 2);
    spin->SetPos(2);
    Click(spin, false, 3);
    QCOMPARE(spin->GetPos(), 1);
    QCOMPARE(Edit()->text(), QString("1"));
    QCOMPARE(changed.count(), 2);
}

void TestRecordPanel::arrowKeysInEditStepSpin()
{
    QTest::keyClick(Edit(), Qt::Key_Up);
    QCOMPARE(m_panel->GetSpin()->GetPos(), 61);
    QCOMPARE(Edit()->text(), QString("61"));
    QTest::keyClick(Edit(), Qt::Key_Down);
    QTest::keyClick(Edit(), Qt::Key_Down);
    QCOMPARE(m_panel->GetSpin()->GetPos(), 59);
    QCOMPARE(Edit()->text(), QString("59"));
}

void TestRecordPanel::stepStartsFromTheTypedNumber_data()
{
    // The box shows 60 and the control's position is 60 before the typing.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("step"); // +1 up, -1 down
    QTest::addColumn<bool>("key"); // the arrow key in the box instead of a click
    QTest::addColumn<QString>("shown");
    QTest::newRow("500 up") << "500" << +1 << false << "501";
    QTest::newRow("500 down") << "500" << -1 << false << "499";
    QTest::newRow("500 Up key") << "500" << +1 << true << "501";
    QTest::newRow("leading zeros") << "0500" << +1 << false << "501";
    QTest::newRow("at the top") << "1000" << +1 << false << "1000";
    QTest::newRow("at the bottom") << "1" << -1 << true << "1";
    QTest::newRow("above the range, down") << "2000" << -1 << false << "1000";
    QTest::newRow("above the range, up") << "2000" << +1 << false << "1000";
    QTest::newRow("below the range, up") << "0" << +1 << false << "1";
    QTest::newRow("below the range, down") << "0" << -1 << false << "1";
    // No number in the box: the step starts from the control's own 60.
    QTest::newRow("empty") << "" << +1 << false << "61";
    QTest::newRow("beyond int") << "99999999999" << -1 << false << "59";
}

void TestRecordPanel::stepStartsFromTheTypedNumber()
{
    QFETCH(QString, typed);
    QFETCH(int, step);
    QFETCH(bool, key);
    QFETCH(QString, shown);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
    CSpinButtonCtrl* spin = m_panel->GetSpin();
    QSignalSpy changed(spin, &CSpinButtonCtrl::PositionChanged);
    QTest::mouseClick(Edit(), Qt::LeftButton);
    Edit()->selectAll();
    QTest::keyClick(Edit(), Qt::Key_Delete);
    QTest::keyClicks(Edit(), typed);
    QCOMPARE(Edit()->text(), typed);
    QCOMPARE(spin->GetPos(), 60); // typing alone moves nothing
    if (key)
        QTest::keyClick(Edit(), step > 0 ? Qt::Key_Up : Qt::Key_Down);
    else
        Click(spin, step > 0);
    QCOMPARE(Edit()->text(), shown);
    QCOMPARE(spin->GetPos(), shown.toInt());
    QCOMPARE(changed.count(), shown == typed ? 0 : 1);
}

void TestRecordPanel::steppedTypedTimeIsTheRecordingTime()
{
    // In the main window: what the user typed and stepped is what the next
    // recording reads.
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CRecordPanel* panel = frame.GetRecordPanel();
    auto* edit = static_cast<QLineEdit*>(panel->GetDlgItem(IDC_REC_TIME));
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, "500");
    Click(panel->GetSpin(), true);
    QCOMPARE(edit->text(), QString("501"));
    QCOMPARE(frame.ReadPanel(), 1);
    QCOMPARE(frame.m_nRecordSeconds, 501);
    Click(panel->GetSpin(), false, 3);
    QCOMPARE(frame.ReadPanel(), 1);
    QCOMPARE(frame.m_nRecordSeconds, 498);
}

void TestRecordPanel::editAcceptsDigitsOnly()
{
    Edit()->clear();
    QTest::keyClicks(Edit(), "1a-2 B3.");
    QCOMPARE(Edit()->text(), QString("123"));
}

void TestRecordPanel::setPosClampsSilently()
{
    CSpinButtonCtrl* spin = m_panel->GetSpin();
    QSignalSpy changed(spin, &CSpinButtonCtrl::PositionChanged);
    spin->SetPos(5000);
    QCOMPARE(spin->GetPos(), 1000);
    spin->SetPos(0);
    QCOMPARE(spin->GetPos(), 1);
    QCOMPARE(changed.count(), 0);
    // SetPos leaves the text to the caller; only steps write it.
    QCOMPARE(Edit()->text(), QString("60"));
}

// --- item text access ------------------------------------------------------

void TestRecordPanel::dlgItemTextRoundTrip_data()
{
    QTest::addColumn<unsigned>("id");
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("curSel"); // -2: not a list
    QTest::newRow("edit") << IDC_REC_TIME << "123" << "123" << -2;
    QTest::newRow("static") << IDC_CUR_RATE << "22050 Hz" << "22050 Hz" << -2;
    QTest::newRow("right-aligned static") << IDC_DATA_BYTES << "2646000" << "2646000" << -2;
    QTest::newRow("list selects entry") << IDC_CHANNELS << "Stereo" << "Stereo" << 1;
    QTest::newRow("list ignores case") << IDC_BITS << "8  bits" << "8  Bits" << 0;
    QTest::newRow("list keeps selection if no entry") << IDC_RATE << "12345Hz" << "22050Hz" << 3;
}

void TestRecordPanel::dlgItemTextRoundTrip()
{
    QFETCH(unsigned, id);
    QFETCH(QString, set);
    QFETCH(QString, expected);
    QFETCH(int, curSel);
    m_panel->SetDlgItemText(id, set);
    QCOMPARE(m_panel->GetDlgItemText(id), expected);
    if (curSel != -2)
        QCOMPARE(m_panel->GetCurSel(id), curSel);
}

void TestRecordPanel::unknownIdIsHarmless()
{
    m_panel->SetDlgItemInt(IDC_DATA_MS, -1234);
    QCOMPARE(m_panel->GetDlgItemText(IDC_DATA_MS), QString("-1234"));
    QCOMPARE(m_panel->GetDlgItem(4242), nullptr);
    m_panel->SetDlgItemText(4242, "x");
    QCOMPARE(m_panel->GetDlgItemText(4242), QString());
    QCOMPARE(m_panel->GetCurSel(IDC_REC_TIME), -1);
    QCOMPARE(m_panel->GetDlgItemText(IDC_REC_TIME_SPIN), QString());
}

void TestRecordPanel::longNumbersGrowLeftNotClipped()
{
    const CDialogUnits& u = m_panel->Units();
    QRect bytesTemplate = u.MapRect(10, 135, 23, 8);
    auto* bytes = static_cast<QLabel*>(m_panel->GetDlgItem(IDC_DATA_BYTES));
    auto* unit = m_panel->findChild<QLabel*>("IDC_STATIC_BYTES");
    for (QString text : {"2646000", "4294967295"}) {
        m_panel->SetDlgItemText(IDC_DATA_BYTES, text);
        QCOMPARE(bytes->geometry().right(), bytesTemplate.right());
        QCOMPARE(bytes->geometry().top(), bytesTemplate.top());
        QVERIFY(bytes->width() >= bytes->fontMetrics().horizontalAdvance(text));
        QVERIFY(bytes->geometry().right() < unit->geometry().left());
    }
    // A short text again gives the template rectangle back.
    m_panel->SetDlgItemText(IDC_DATA_BYTES, "0");
    QCOMPARE(bytes->geometry(), bytesTemplate);

    // A centred text grows on both sides about the same centre; a text set
    // directly on the label is fitted too once the panel is on screen.
    QRect rateTemplate = u.MapRect(15, 107, 33, 8);
    auto* rate = static_cast<QLabel*>(m_panel->GetDlgItem(IDC_CUR_RATE));
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
    rate->setText("192000 Hz (44100 Hz)");
    QTRY_VERIFY(rate->width() >= rate->fontMetrics().horizontalAdvance(rate->text()));
    QVERIFY(qAbs(rate->geometry().center().x() - rateTemplate.center().x()) <= 1);
}

// The largest values the readouts can get, through the operations the
// document calls after loading a file: every number is shown whole (its
// text fits the label's contents with the label's font) and inside the
// "データ" group's frame; a text that fits the template keeps the panel's font.
void TestRecordPanel::readoutsShowTheLargestNumbersWhole_data()
{
    QTest::addColumn<quint32>("rate");
    QTest::addColumn<unsigned>("channels");
    QTest::addColumn<unsigned>("bits");
    QTest::addColumn<quint32>("bytes");
    QTest::addColumn<QString>("ms"); // bytes x 1000 / bytes per second
    QTest::newRow("one hour of CD audio") << 44100u << 2u << 16u << 635040000u << "3600000";
    QTest::newRow("largest size, slowest rate") << 1u << 1u << 8u << 4294967295u << "4294967295000";
    QTest::newRow("largest size, slowest rate of the panel") << 8000u << 1u << 8u << 4294967295u << "536870911";
    QTest::newRow("largest rate") << 4294967295u << 2u << 16u << 4294967295u << "250";
    QTest::newRow("short") << 22050u << 1u << 16u << 44100u << "1000";
}

void TestRecordPanel::readoutsShowTheLargestNumbersWhole()
{
    QFETCH(quint32, rate);
    QFETCH(unsigned, channels);
    QFETCH(unsigned, bits);
    QFETCH(quint32, bytes);
    QFETCH(QString, ms);
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.SetFormat(rate, channels, bits);
    frame.SetDataSize(bytes);
    CRecordPanel* panel = frame.GetRecordPanel();
    const CDialogUnits& u = panel->Units();
    // Inside the group's etched frame: its two lines on each side.
    const QRect inside = panel->findChild<QWidget*>("IDC_STATIC_DATA_GROUP")->geometry().adjusted(2, 0, -2, 0);

    struct SReadout {
        unsigned id;
        QString text;
        QRect dlu;
        const char* unit; // the label to its right, if any
    };
    const SReadout readouts[] = {
        {IDC_CUR_RATE, QString::number(rate) + " Hz", QRect(15, 107, 33, 8), nullptr},
        {IDC_CUR_CHANNELS, channels == 2 ? "Stereo" : "Mono", QRect(15, 116, 33, 8), nullptr},
        {IDC_CUR_BITS, QString::number(bits) + " Bits", QRect(15, 125, 33, 8), nullptr},
        {IDC_DATA_BYTES, QString::number(bytes), QRect(10, 135, 23, 8), "IDC_STATIC_BYTES"},
        {IDC_DATA_MS, ms, QRect(10, 145, 23, 8), "IDC_STATIC_MS"},
    };
    for (const SReadout& r : readouts) {
        auto* label = static_cast<QLabel*>(panel->GetDlgItem(r.id));
        const QRect templ = u.MapRect(r.dlu.x(), r.dlu.y(), r.dlu.width(), r.dlu.height());
        const QString what = label->objectName() + " \"" + label->text() + "\"";
        QCOMPARE(label->text(), r.text);
        const int advance = QFontMetrics(label->font()).horizontalAdvance(label->text());
        QVERIFY2(advance <= label->contentsRect().width(),
                 qPrintable(what + QString(": %1 px of text in %2").arg(advance).arg(label->contentsRect().width())));
        const QRect g = label->geometry();
        QVERIFY2(g.left() >= inside.left() && g.right() <= inside.right(), qPrintable(what));
        QCOMPARE(g.top(), templ.top());
        QCOMPARE(g.height(), templ.height());
        if (QFontMetrics(panel->font()).horizontalAdvance(r.text) <= templ.width()) {
            QCOMPARE(g, templ);
            QCOMPARE(label->font(), panel->font());
        }
        if (r.unit) {
            // A number ends where its template does, left of its unit, which
            // stays where it was.
            auto* unit = panel->findChild<QLabel*>(r.unit);
            QCOMPARE(g.right(), templ.right());
            QVERIFY(g.right() < unit->geometry().left());
            QCOMPARE(unit->font(), panel->font());
        }
    }
}

// The selection readouts in the status bar keep their whole texts even in a
// window made narrower than the panes need: the message pane gives way, and
// the window does not get narrower than the panes.
void TestRecordPanel::statusPanesShowTheirTextsWhole_data()
{
    QTest::addColumn<double>("ms");
    QTest::addColumn<double>("hz");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("frequency");
    QTest::newRow("pane strings") << 999.9994 << 99.5 << "999.999mS" << "99.500Hz";
    QTest::newRow("one hour") << 3600000.0 << 1234567.8 << "3600.000S" << "1234567.8Hz";
    QTest::newRow("longest") << 4294967295000.0 << 4294967295.0 << "4294967295.000S" << "4294967295.0Hz";
}

void TestRecordPanel::statusPanesShowTheirTextsWhole()
{
    QFETCH(double, ms);
    QFETCH(double, hz);
    QFETCH(QString, time);
    QFETCH(QString, frequency);
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.SetSelInfo(ms, hz);
    frame.resize(200, frame.height());
    QStatusBar* bar = frame.statusBar();
    QTRY_VERIFY(frame.width() >= bar->minimumWidth() && bar->width() == frame.width());
    QTRY_VERIFY(frame.GetPane(5)->geometry().right() < bar->width());
    QCOMPARE(frame.GetPane(1)->text(), time);
    QCOMPARE(frame.GetPane(2)->text(), frequency);
    for (int i = 1; i <= 5; ++i) {
        QLabel* pane = frame.GetPane(i);
        const int advance = QFontMetrics(pane->font()).horizontalAdvance(pane->text());
        QVERIFY2(advance <= pane->contentsRect().width(),
                 qPrintable(QString("pane %1 \"%2\": %3 px of text in %4")
                                .arg(i).arg(pane->text()).arg(advance).arg(pane->contentsRect().width())));
        QVERIFY(pane->geometry().left() >= 0);
        if (i < 5) {
            QVERIFY2(pane->geometry().right() < frame.GetPane(i + 1)->geometry().left(), qPrintable(QString::number(i)));
        }
    }
    // Cleared, the panes stay sized for their own strings.
    frame.SetSelInfo(0, 0);
    QCOMPARE(frame.GetPane(1)->text(), QString());
    QVERIFY(frame.GetPane(1)->minimumWidth() > QFontMetrics(frame.GetPane(1)->font()).horizontalAdvance("999.999mS"));
    QVERIFY(frame.GetPane(2)->minimumWidth() > QFontMetrics(frame.GetPane(2)->font()).horizontalAdvance("9999999Hz"));
}

// --- the up-down control on its own -----------------------------------------

void TestRecordPanel::spinReversedRangeWithoutBuddyInt()
{
    QWidget parent;
    QLineEdit edit(&parent);
    edit.setText("own text");
    CSpinButtonCtrl spin(CSpinButtonCtrl::UDS_ARROWKEYS, &parent);
    spin.setGeometry(0, 0, 16, 24);
    spin.SetBuddy(&edit);
    spin.SetRange(10, 0); // reversed: up goes toward 0
    spin.SetPos(5);
    QSignalSpy changed(&spin, &CSpinButtonCtrl::PositionChanged);
    Click(&spin, true);
    QCOMPARE(spin.GetPos(), 4);
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::keyClick(&edit, Qt::Key_Down);
    QCOMPARE(spin.GetPos(), 6);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed.last().at(0).toInt(), 6);
    QCOMPARE(edit.text(), QString("own text")); // the owner writes its own text

    spin.SetPos(0);
    Click(&spin, true);
    QCOMPARE(spin.GetPos(), 0);
    spin.SetPos(10);
    Click(&spin, false);
    QCOMPARE(spin.GetPos(), 10);
    QCOMPARE(changed.count(), 3);
}

void TestRecordPanel::spinAlignRightTakesBuddysRightPart()
{
    QWidget parent;
    QLineEdit edit(&parent);
    edit.setGeometry(10, 20, 100, 30);
    CSpinButtonCtrl spin(CSpinButtonCtrl::UDS_ALIGNRIGHT);
    spin.setGeometry(0, 0, 16, 50);
    spin.SetBuddy(&edit);
    QCOMPARE(spin.parentWidget(), &parent);
    QCOMPARE(spin.geometry(), QRect(94, 20, 16, 30));
    QCOMPARE(edit.geometry(), QRect(10, 20, 84, 30));
    // The arrows split the height, up above down (laid out once on screen).
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QVERIFY(spin.isVisible());
    QCOMPARE(Arrow(&spin, true)->geometry(), QRect(0, 0, 16, 15));
    QCOMPARE(Arrow(&spin, false)->geometry(), QRect(0, 15, 16, 15));
}

void TestRecordPanel::spinWithoutArrowKeysIgnoresKeys()
{
    QWidget parent;
    QLineEdit edit(&parent);
    CSpinButtonCtrl spin(CSpinButtonCtrl::UDS_SETBUDDYINT, &parent);
    spin.SetBuddy(&edit);
    spin.SetPos(50);
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(spin.GetPos(), 50);
    QCOMPARE(edit.text(), QString());
    Click(&spin, true);
    QCOMPARE(edit.text(), QString("51"));
}

QTEST_MAIN(TestRecordPanel)
#include "test_record_panel.moc"
