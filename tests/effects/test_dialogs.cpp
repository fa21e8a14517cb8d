// The effect parameter dialogs and the number conversions they share with
// the command-line tool.

#include "effects/DataExchange.h"
#include "effects/EffectDialogs.h"
#include "framework/CSpinButtonCtrl.h"
#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

#include <climits>
#include <clocale>
#include <memory>

Q_DECLARE_METATYPE(SSineParams)

namespace {

const QString kNotNumber = QStringLiteral("数字を入力してください。");
const QString kNotInteger = QStringLiteral("整数を入力してください。");
const QString kBadFrequency = QStringLiteral("周波数に適切な数値を入力してください。");

// The effect dialogs by name, opened with the commands' defaults.
std::unique_ptr<QDialog> MakeDialog(const QString& name)
{
    if (name == "echo")
        return std::make_unique<CEchoDlg>();
    if (name == "chorus")
        return std::make_unique<CChorusDlg>();
    if (name == "voice")
        return std::make_unique<CVoiceChangerDlg>();
    if (name == "vibrato")
        return std::make_unique<CVibratoDlg>();
    if (name == "tremolo")
        return std::make_unique<CTremoloDlg>();
    if (name == "sine16")
        return std::make_unique<CSineWaveDlg>(SSineParams{}, 16, 22050);
    if (name == "sine8")
        return std::make_unique<CSineWaveDlg>(SSineParams{}, 8, 11025);
    return nullptr;
}

template <class T>
T* Item(QWidget* dlg, int id)
{
    return dlg->findChild<T*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void ClickArrow(CSpinButtonCtrl* spin, bool up, int times = 1)
{
    auto* arrow = spin->findChild<QToolButton*>(up ? "upButton" : "downButton");
    QVERIFY(arrow);
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(arrow, Qt::LeftButton);
}

void ClickButton(QDialog* dlg, const char* name)
{
    auto* button = dlg->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

// The label whose mnemonic leads to `buddy`.
QLabel* LabelFor(QWidget* dlg, QWidget* buddy)
{
    for (QLabel* label : dlg->findChildren<QLabel*>())
        if (label->buddy() == buddy)
            return label;
    return nullptr;
}

} // namespace

class TestEffectDialogs : public QObject {
    Q_OBJECT

    struct SMessage {
        QString text;
        unsigned type;
    };
    QList<SMessage> m_messages;

    // Shows the dialog so that OK, focus and selection behave as on screen.
    void Open(QDialog* dlg)
    {
        dlg->show();
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
    }

    // OK was refused with exactly `message`, and the dialog stays open with
    // `box` focused and its text selected.
    void CheckRefused(QDialog* dlg, QLineEdit* box, const QString& message)
    {
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, message);
        QCOMPARE(m_messages[0].type, MB_OK | MB_ICONEXCLAMATION);
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
        QCOMPARE(dlg->focusWidget(), box);
        QCOMPARE(box->selectedText(), box->text());
        m_messages.clear();
    }

private slots:
    void init()
    {
        m_messages.clear();
        SetMessageBoxHook([this](const QString& text, unsigned type) {
            m_messages.append({text, type});
            return IDOK;
        });
    }
    void cleanup() { SetMessageBoxHook(nullptr); }

    // --- Conversions ---------------------------------------------------

    void formatGeneral15_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("1.1") << 1.1 << "1.1";
        QTest::newRow("3.0") << 3.0 << "3";
        QTest::newRow("0.5") << 0.5 << "0.5";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative") << -0.25 << "-0.25";
        QTest::newRow("sum rounds at 15 digits") << 0.1 + 0.2 << "0.3";
        QTest::newRow("position / 100") << 81 / 100.0 << "0.81";
        QTest::newRow("16 digits") << 1234567890123456.0 << "1.23456789012346e+15";
        QTest::newRow("15 digits stay fixed") << 123456789012345.0 << "123456789012345";
        QTest::newRow("small") << 0.00001 << "1e-05";
        QTest::newRow("0.0001 stays fixed") << 0.0001 << "0.0001";
    }
    void formatGeneral15()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FormatGeneral15(value), text);
    }

    void parseReal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "1.5" << true << 1.5;
        QTest::newRow("blanks around") << " \t2.25 \t" << true << 2.25;
        QTest::newRow("exponent") << "1e2" << true << 100.0;
        QTest::newRow("signs") << "-0.5" << true << -0.5;
        QTest::newRow("plus") << "+3" << true << 3.0;
        QTest::newRow("no leading digit") << ".5" << true << 0.5;
        QTest::newRow("zero") << "0" << true << 0.0;
        QTest::newRow("trailing garbage") << "1.5x" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("blanks only") << "   " << false << 0.0;
        QTest::newRow("word") << "abc" << false << 0.0;
        QTest::newRow("decimal comma") << "1,5" << false << 0.0;
        QTest::newRow("two numbers") << "1 2" << false << 0.0;
        QTest::newRow("full-width digit") << "１" << false << 0.0;
        QTest::newRow("line break first") << "\n1" << false << 0.0;
        QTest::newRow("embedded NUL") << QString::fromLatin1("1\0x", 3) << false << 0.0;
        // Only decimal numbers: what strtod takes beyond them is refused.
        QTest::newRow("point last") << "5." << true << 5.0;
        QTest::newRow("signed exponent") << "-2.5E-1" << true << -0.25;
        QTest::newRow("too small reads as 0") << "1e-400" << true << 0.0;
        QTest::newRow("nan") << "nan" << false << 0.0;
        QTest::newRow("NAN with sign") << "-NAN" << false << 0.0;
        QTest::newRow("nan with payload") << "nan(1)" << false << 0.0;
        QTest::newRow("inf") << "inf" << false << 0.0;
        QTest::newRow("minus inf") << "-inf" << false << 0.0;
        QTest::newRow("infinity") << "Infinity" << false << 0.0;
        QTest::newRow("hex") << "0x10" << false << 0.0;
        QTest::newRow("hex float") << "0x1p3" << false << 0.0;
        QTest::newRow("too large") << "1e999" << false << 0.0;
        QTest::newRow("point only") << "." << false << 0.0;
        QTest::newRow("sign only") << "-" << false << 0.0;
        QTest::newRow("exponent without digits") << "1e" << false << 0.0;
        QTest::newRow("exponent sign only") << "1e+" << false << 0.0;
        QTest::newRow("exponent alone") << "e5" << false << 0.0;
        QTest::newRow("two points") << "1.2.3" << false << 0.0;
        QTest::newRow("two signs") << "+-1" << false << 0.0;
        QTest::newRow("line break last") << "1\n" << false << 0.0;
    }
    void parseReal()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        double parsed = -7.0;
        QCOMPARE(ParseReal(text, parsed), ok);
        QCOMPARE(parsed, ok ? value : -7.0); // untouched on failure
    }

    void parseRealIgnoresUserLocale()
    {
        // Qt takes the process locale from the environment; a decimal-comma
        // locale must not change what the boxes accept.
        const char* old = setlocale(LC_NUMERIC, nullptr);
        const QByteArray saved = old ? QByteArray(old) : QByteArray("C");
        if (!setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            QSKIP("de_DE.UTF-8 locale not installed");
        double v = 0;
        const bool ok = ParseReal("1.5", v);
        const QString text = FormatGeneral15(2.5);
        setlocale(LC_NUMERIC, saved.constData());
        QVERIFY(ok);
        QCOMPARE(v, 1.5);
        QCOMPARE(text, "2.5");
    }

    void parseInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "5" << true << 5;
        QTest::newRow("blanks and sign") << " -12\t" << true << -12;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("leading zeros") << "007" << true << 7;
        QTest::newRow("INT_MAX") << "2147483647" << true << INT_MAX;
        QTest::newRow("INT_MIN") << "-2147483648" << true << INT_MIN;
        QTest::newRow("above INT_MAX") << "2147483648" << false << 0;
        QTest::newRow("below INT_MIN") << "-2147483649" << false << 0;
        QTest::newRow("many digits") << "99999999999999999999999" << false << 0;
        QTest::newRow("fraction") << "1.0" << false << 0;
        QTest::newRow("exponent") << "1e2" << false << 0;
        QTest::newRow("hex") << "0x10" << false << 0;
        QTest::newRow("nan") << "nan" << false << 0;
        QTest::newRow("inf") << "-inf" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("trailing garbage") << "5x" << false << 0;
        QTest::newRow("inner blank") << "1 2" << false << 0;
    }
    void parseInt()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        int parsed = -7;
        QCOMPARE(ParseInt(text, parsed), ok);
        QCOMPARE(parsed, ok ? value : -7);
    }

    void rangeMessage()
    {
        QCOMPARE(RangeMessage(0.5, 2.0), "0.5 から 2 までの数字を入力してください。");
        QCOMPARE(RangeMessage(1.0, 100.0), "1 から 100 までの数字を入力してください。");
    }

    // --- The five effect dialogs ----------------------------------------

    void chrome_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("groups");
        QTest::newRow("echo") << "echo" << "ｴｺｰ" << QStringList{"パラメーター"};
        QTest::newRow("chorus") << "chorus" << "ｺｰﾗｽ" << QStringList{"パラメーター"};
        QTest::newRow("voice") << "voice" << "ボイスチェンジャー" << QStringList{"周波数倍率"};
        QTest::newRow("vibrato") << "vibrato" << "ﾋﾞﾌﾞﾗｰﾄ" << QStringList{"パラメーター"};
        QTest::newRow("tremolo") << "tremolo" << "ﾄﾚﾓﾛ" << QStringList{"パラメーター"};
        QTest::newRow("sine") << "sine16" << "正弦波" << QStringList{"周波数", "振幅"};
    }
    void chrome()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, caption);
        QFETCH(QStringList, groups);
        auto dlg = MakeDialog(dialog);
        QCOMPARE(dlg->windowTitle(), caption);
        QCOMPARE(dlg->font().families(), DialogFont().families());
        QCOMPARE(dlg->font().pointSize(), 9);
        QStringList titles;
        for (QGroupBox* g : dlg->findChildren<QGroupBox*>())
            titles << g->title();
        titles.sort();
        groups.sort();
        QCOMPARE(titles, groups);
        auto* ok = dlg->findChild<QPushButton*>("IDOK");
        auto* cancel = dlg->findChild<QPushButton*>("IDCANCEL");
        QVERIFY(ok && cancel);
        QCOMPARE(ok->text(), "OK");
        QVERIFY(ok->isDefault());
        QCOMPARE(cancel->text(), "ｷｬﾝｾﾙ");
        QVERIFY(!cancel->isDefault());
    }

    void initialFields_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<int>("editId");
        QTest::addColumn<int>("spinId");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::newRow("echo mix") << "echo" << 1021 << 1022 << "ﾐｯｸｽﾚﾍﾞﾙ(&M)" << "0.8" << 80 << 0 << 100;
        QTest::newRow("echo count") << "echo" << 1027 << 1028 << "ｴｺｰ回数(&T)" << "5" << 5 << 1 << 20;
        QTest::newRow("chorus ratio") << "chorus" << 1011 << 1012 << "周波数倍率(&F)" << "1.1" << 110 << 50 << 200;
        QTest::newRow("chorus mix") << "chorus" << 1021 << 1022 << "ﾐｯｸｽﾚﾍﾞﾙ(&M)" << "0.5" << 50 << 0 << 100;
        QTest::newRow("voice ratio") << "voice" << 1000 << 1010 << "" << "1.1" << 110 << 50 << 200;
        QTest::newRow("vibrato depth") << "vibrato" << 1016 << 1015 << "振幅(&A)" << "50" << 50 << 0 << 100;
        QTest::newRow("vibrato freq") << "vibrato" << 1011 << 1012 << "周波数(&F)" << "3" << 3 << 1 << 100;
        QTest::newRow("tremolo freq") << "tremolo" << 1011 << 1012 << "ﾄﾚﾓﾛ周波数(&F)" << "3" << 3 << 1 << 100;
        QTest::newRow("tremolo level") << "tremolo" << 1013 << 1014 << "ﾄﾚﾓﾛﾚﾍﾞﾙ(&L)" << "0.5" << 50 << 0 << 100;
    }
    void initialFields()
    {
        QFETCH(QString, dialog);
        QFETCH(int, editId);
        QFETCH(int, spinId);
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(int, pos);
        QFETCH(int, lower);
        QFETCH(int, upper);
        auto dlg = MakeDialog(dialog);
        auto* edit = Item<QLineEdit>(dlg.get(), editId);
        auto* spin = Item<CSpinButtonCtrl>(dlg.get(), spinId);
        QVERIFY(edit && spin);
        QCOMPARE(edit->text(), text);
        QCOMPARE(spin->GetPos(), pos);
        int lo = 0, hi = 0;
        spin->GetRange(lo, hi);
        QCOMPARE(lo, lower);
        QCOMPARE(hi, upper);
        QCOMPARE(spin->GetBuddy(), edit);
        QCOMPARE(spin->GetStyle(), unsigned(CSpinButtonCtrl::UDS_ALIGNRIGHT | CSpinButtonCtrl::UDS_ARROWKEYS));
        // Attached at the edit's right edge.
        QCOMPARE(spin->geometry().left(), edit->geometry().right() + 1);
        QCOMPARE(spin->geometry().top(), edit->geometry().top());
        QLabel* caption = LabelFor(dlg.get(), edit);
        QCOMPARE(caption ? caption->text() : QString(), label);
    }

    void positionsTruncateGivenValues()
    {
        // Positions truncate toward zero and are clamped to the range; the
        // box shows the value itself.
        CEchoDlg echo(SEchoParams{0.299, 40});
        QCOMPARE(Item<CSpinButtonCtrl>(&echo, 1022)->GetPos(), 29);
        QCOMPARE(Item<QLineEdit>(&echo, 1021)->text(), "0.299");
        QCOMPARE(Item<CSpinButtonCtrl>(&echo, 1028)->GetPos(), 20);
        QCOMPARE(Item<QLineEdit>(&echo, 1027)->text(), "40");

        CVibratoDlg vibrato(SVibratoParams{-5, 2.9});
        QCOMPARE(Item<CSpinButtonCtrl>(&vibrato, 1015)->GetPos(), 0);
        QCOMPARE(Item<CSpinButtonCtrl>(&vibrato, 1012)->GetPos(), 2);
        QCOMPARE(Item<QLineEdit>(&vibrato, 1011)->text(), "2.9");

        CTremoloDlg tremolo(STremoloParams{1e300, -0.009});
        QCOMPARE(Item<CSpinButtonCtrl>(&tremolo, 1012)->GetPos(), 100);
        QCOMPARE(Item<CSpinButtonCtrl>(&tremolo, 1014)->GetPos(), 0);
        QCOMPARE(Item<QLineEdit>(&tremolo, 1011)->text(), "1e+300");
    }

    void upDownClick_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<int>("spinId");
        QTest::addColumn<int>("editId");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("text");
        QTest::newRow("echo mix up") << "echo" << 1022 << 1021 << true << 1 << "0.81";
        QTest::newRow("echo mix to top") << "echo" << 1022 << 1021 << true << 25 << "1.00";
        QTest::newRow("echo count up") << "echo" << 1028 << 1027 << true << 1 << "6";
        QTest::newRow("echo count to bottom") << "echo" << 1028 << 1027 << false << 9 << "1";
        QTest::newRow("chorus ratio down") << "chorus" << 1012 << 1011 << false << 1 << "1.09";
        QTest::newRow("chorus mix down") << "chorus" << 1022 << 1021 << false << 50 << "0.00";
        QTest::newRow("voice ratio up") << "voice" << 1010 << 1000 << true << 1 << "1.11";
        QTest::newRow("vibrato depth up") << "vibrato" << 1015 << 1016 << true << 1 << "51";
        QTest::newRow("vibrato freq up") << "vibrato" << 1012 << 1011 << true << 1 << "4";
        QTest::newRow("tremolo freq down") << "tremolo" << 1012 << 1011 << false << 1 << "2";
        QTest::newRow("tremolo level up") << "tremolo" << 1014 << 1013 << true << 1 << "0.51";
    }
    void upDownClick()
    {
        QFETCH(QString, dialog);
        QFETCH(int, spinId);
        QFETCH(int, editId);
        QFETCH(bool, up);
        QFETCH(int, clicks);
        QFETCH(QString, text);
        auto dlg = MakeDialog(dialog);
        Open(dlg.get());
        ClickArrow(Item<CSpinButtonCtrl>(dlg.get(), spinId), up, clicks);
        QCOMPARE(Item<QLineEdit>(dlg.get(), editId)->text(), text);
    }

    void typedTextDoesNotMoveUpDown()
    {
        CEchoDlg dlg;
        Open(&dlg);
        auto* edit = Item<QLineEdit>(&dlg, 1021);
        auto* spin = Item<CSpinButtonCtrl>(&dlg, 1022);
        ClickArrow(spin, true);
        QCOMPARE(edit->text(), "0.81");
        edit->clear();
        QTest::keyClicks(edit, "0.3");
        QCOMPARE(spin->GetPos(), 81);
        ClickArrow(spin, true);
        QCOMPARE(edit->text(), "0.82");
        // The Up and Down keys in the box step the control as well.
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->text(), "0.80");
        ClickButton(&dlg, "IDOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Params().mixLevel, 0.8);
    }

    void refusesBadText_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<int>("editId");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("echo mix word") << "echo" << 1021 << "abc" << kNotNumber;
        QTest::newRow("echo count fraction") << "echo" << 1027 << "1.5" << kNotInteger;
        QTest::newRow("chorus ratio empty") << "chorus" << 1011 << "" << kNotNumber;
        QTest::newRow("chorus mix garbage") << "chorus" << 1021 << "0.5x" << kNotNumber;
        QTest::newRow("voice not a number") << "voice" << 1000 << "x" << kNotNumber;
        QTest::newRow("voice above range") << "voice" << 1000 << "2.5"
                                           << "0.5 から 2 までの数字を入力してください。";
        QTest::newRow("voice below range") << "voice" << 1000 << "0.49"
                                           << "0.5 から 2 までの数字を入力してください。";
        QTest::newRow("vibrato depth fraction") << "vibrato" << 1016 << "50.5" << kNotInteger;
        QTest::newRow("vibrato freq unit") << "vibrato" << 1011 << "3Hz" << kNotNumber;
        QTest::newRow("tremolo freq below range") << "tremolo" << 1011 << "0.5"
                                                  << "1 から 100 までの数字を入力してください。";
        QTest::newRow("tremolo freq above range") << "tremolo" << 1011 << "100.01"
                                                  << "1 から 100 までの数字を入力してください。";
        QTest::newRow("tremolo level above range") << "tremolo" << 1013 << "1.5"
                                                   << "0 から 1 までの数字を入力してください。";
        QTest::newRow("tremolo level negative") << "tremolo" << 1013 << "-0.1"
                                                << "0 から 1 までの数字を入力してください。";
        // Not numbers, though the C library reads them as some; NaN would
        // pass every range check.
        QTest::newRow("voice nan") << "voice" << 1000 << "nan" << kNotNumber;
        QTest::newRow("tremolo level nan") << "tremolo" << 1013 << "nan" << kNotNumber;
        QTest::newRow("tremolo freq inf") << "tremolo" << 1011 << "inf" << kNotNumber;
        QTest::newRow("echo mix hex") << "echo" << 1021 << "0x1" << kNotNumber;
        QTest::newRow("echo count hex") << "echo" << 1027 << "0x10" << kNotInteger;
        QTest::newRow("chorus ratio minus inf") << "chorus" << 1011 << "-inf" << kNotNumber;
        QTest::newRow("vibrato freq too large") << "vibrato" << 1011 << "1e999" << kNotNumber;
        QTest::newRow("sine nan") << "sine16" << 1000 << "nan" << kBadFrequency;
        QTest::newRow("sine minus inf") << "sine16" << 1000 << "-inf" << kBadFrequency;
    }
    void refusesBadText()
    {
        QFETCH(QString, dialog);
        QFETCH(int, editId);
        QFETCH(QString, text);
        QFETCH(QString, message);
        auto dlg = MakeDialog(dialog);
        Open(dlg.get());
        auto* edit = Item<QLineEdit>(dlg.get(), editId);
        // Typed over the whole box, as the user would.
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), text);
        ClickButton(dlg.get(), "IDOK");
        CheckRefused(dlg.get(), edit, message);
    }

    void tremoloChecksFrequencyFirst()
    {
        CTremoloDlg dlg;
        Open(&dlg);
        auto* frequency = Item<QLineEdit>(&dlg, 1011);
        auto* level = Item<QLineEdit>(&dlg, 1013);
        frequency->setText("0.5");
        level->setText("1.5");
        ClickButton(&dlg, "IDOK");
        CheckRefused(&dlg, frequency, "1 から 100 までの数字を入力してください。");
        frequency->setText("100");
        ClickButton(&dlg, "IDOK");
        CheckRefused(&dlg, level, "0 から 1 までの数字を入力してください。");
        level->setText("1");
        ClickButton(&dlg, "IDOK");
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.Params().frequency, 100.0);
        QCOMPARE(dlg.Params().level, 1.0);
    }

    void okReturnsParams()
    {
        // Typed values are limited only by the range checks on OK, not by
        // the up-down ranges; clicked values come back as position / 100 or
        // the position.
        CEchoDlg echo;
        Open(&echo);
        Item<QLineEdit>(&echo, 1021)->setText(" 1.75 ");
        Item<QLineEdit>(&echo, 1027)->setText("40");
        ClickButton(&echo, "IDOK");
        QCOMPARE(echo.result(), int(QDialog::Accepted));
        QCOMPARE(echo.Params().mixLevel, 1.75);
        QCOMPARE(echo.Params().echoCount, 40);

        CChorusDlg chorus;
        Open(&chorus);
        ClickArrow(Item<CSpinButtonCtrl>(&chorus, 1012), false, 3);
        Item<QLineEdit>(&chorus, 1021)->setText("3e0");
        ClickButton(&chorus, "IDOK");
        QCOMPARE(chorus.result(), int(QDialog::Accepted));
        QCOMPARE(chorus.Params().ratio, 1.07);
        QCOMPARE(chorus.Params().mixLevel, 3.0);

        CVoiceChangerDlg voice(SVoiceParams{0.7});
        Open(&voice);
        Item<QLineEdit>(&voice, 1000)->setText("2");
        ClickButton(&voice, "IDOK");
        QCOMPARE(voice.result(), int(QDialog::Accepted));
        QCOMPARE(voice.Params().ratio, 2.0);

        CVibratoDlg vibrato;
        Open(&vibrato);
        Item<QLineEdit>(&vibrato, 1016)->setText("-20");
        Item<QLineEdit>(&vibrato, 1011)->setText("0.25");
        ClickButton(&vibrato, "IDOK");
        QCOMPARE(vibrato.result(), int(QDialog::Accepted));
        QCOMPARE(vibrato.Params().depth, -20);
        QCOMPARE(vibrato.Params().frequency, 0.25);

        CTremoloDlg tremolo;
        Open(&tremolo);
        ClickArrow(Item<CSpinButtonCtrl>(&tremolo, 1012), true, 2);
        Item<QLineEdit>(&tremolo, 1013)->setText("0");
        ClickButton(&tremolo, "IDOK");
        QCOMPARE(tremolo.result(), int(QDialog::Accepted));
        QCOMPARE(tremolo.Params().frequency, 5.0);
        QCOMPARE(tremolo.Params().level, 0.0);
        QVERIFY(m_messages.isEmpty());
    }

    void voiceRangeBoundsAccepted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("ratio");
        QTest::newRow("lower bound") << "0.5" << 0.5;
        QTest::newRow("upper bound") << "2" << 2.0;
        QTest::newRow("exponent form") << "5e-1" << 0.5;
    }
    void voiceRangeBoundsAccepted()
    {
        QFETCH(QString, text);
        QFETCH(double, ratio);
        CVoiceChangerDlg dlg;
        Open(&dlg);
        Item<QLineEdit>(&dlg, 1000)->setText(text);
        ClickButton(&dlg, "IDOK");
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Params().ratio, ratio);
    }

    void cancelRejects()
    {
        CEchoDlg dlg;
        Open(&dlg);
        Item<QLineEdit>(&dlg, 1021)->setText("abc");
        ClickButton(&dlg, "IDCANCEL");
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
    }

    // --- The sine wave dialog -------------------------------------------

    void sineInitial_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<SSineParams>("params");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<int>("pos");
        QTest::addColumn<QString>("label");
        QTest::newRow("16-bit defaults") << 16 << SSineParams{} << "440.0" << 64 << "16384";
        QTest::newRow("8-bit defaults") << 8 << SSineParams{} << "440.0" << 64 << "64";
        QTest::newRow("one decimal") << 16 << SSineParams{261.63, 0} << "261.6" << 0 << "0";
        QTest::newRow("top of the bar") << 16 << SSineParams{-50, 127} << "-50.0" << 127 << "32512";
    }
    void sineInitial()
    {
        QFETCH(int, bits);
        QFETCH(SSineParams, params);
        QFETCH(QString, frequency);
        QFETCH(int, pos);
        QFETCH(QString, label);
        CSineWaveDlg dlg(params, bits, 22050);
        QCOMPARE(Item<QLineEdit>(&dlg, 1000)->text(), frequency);
        auto* bar = Item<QScrollBar>(&dlg, 1029);
        QVERIFY(bar);
        QCOMPARE(bar->orientation(), Qt::Horizontal);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 127);
        QCOMPARE(bar->pageStep(), 16);
        QCOMPARE(bar->singleStep(), 1);
        QCOMPARE(bar->value(), pos);
        QCOMPARE(Item<QLabel>(&dlg, 1030)->text(), label);
        // Opening does not count as a scroll: the struct keeps the position.
        QCOMPARE(dlg.Params().amplitude, params.amplitude);
    }

    void sineFrequency_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<double>("frequency");
        const QString above11025 = QStringLiteral("周波数を11025以下の数値にしてください");
        QTest::newRow("half the rate") << 22050 << "11025" << "" << 11025.0;
        QTest::newRow("above half") << 22050 << "11025.5" << above11025 << 11025.5;
        QTest::newRow("odd rate halves down") << 11025 << "5512.5" << "周波数を5512以下の数値にしてください" << 5512.5;
        QTest::newRow("word") << 22050 << "abc" << kBadFrequency << 0.0;
        QTest::newRow("zero") << 22050 << "0" << kBadFrequency << 0.0;
        QTest::newRow("empty") << 22050 << "" << kBadFrequency << 0.0;
        QTest::newRow("negative") << 22050 << "-440" << "" << -440.0;
        QTest::newRow("leading blanks") << 22050 << "  1e3" << "" << 1000.0;
        // Only a whole decimal number counts; anything else is 0 and refused.
        QTest::newRow("number and more") << 22050 << "440abc" << kBadFrequency << 0.0;
        QTest::newRow("nan") << 22050 << "nan" << kBadFrequency << 0.0;
        QTest::newRow("minus inf") << 22050 << "-inf" << kBadFrequency << 0.0;
        QTest::newRow("hex") << 22050 << "0x10" << kBadFrequency << 0.0;
    }
    void sineFrequency()
    {
        QFETCH(int, rate);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(double, frequency);
        CSineWaveDlg dlg(SSineParams{}, 16, rate);
        Open(&dlg);
        auto* edit = Item<QLineEdit>(&dlg, 1000);
        edit->setText(text);
        ClickButton(&dlg, "IDOK");
        QCOMPARE(dlg.Params().frequency, frequency);
        if (message.isEmpty()) {
            QVERIFY(m_messages.isEmpty());
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(dlg.Params().amplitude, 16384);
        } else {
            CheckRefused(&dlg, edit, message);
        }

        // The command-line tool's entry to the same rules.
        double checked = 1;
        QString why;
        QCOMPARE(CheckSineFrequency(text, rate, checked, why), message.isEmpty());
        QCOMPARE(checked, frequency);
        QCOMPARE(why, message);
    }

    void sineScroll_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("pos");
        QTest::addColumn<QString>("label");
        QTest::newRow("page right, 16-bit") << 16 << 120 << int(QAbstractSlider::SliderPageStepAdd) << 127 << "32512";
        QTest::newRow("page right, 8-bit") << 8 << 120 << int(QAbstractSlider::SliderPageStepAdd) << 127 << "127";
        QTest::newRow("page left") << 16 << 64 << int(QAbstractSlider::SliderPageStepSub) << 48 << "12288";
        QTest::newRow("page left at bottom") << 8 << 10 << int(QAbstractSlider::SliderPageStepSub) << 0 << "0";
        QTest::newRow("line right") << 16 << 64 << int(QAbstractSlider::SliderSingleStepAdd) << 65 << "16640";
        QTest::newRow("line left") << 8 << 64 << int(QAbstractSlider::SliderSingleStepSub) << 63 << "63";
        QTest::newRow("to the left end ignored") << 16 << 64 << int(QAbstractSlider::SliderToMinimum) << 64 << "16384";
        QTest::newRow("to the right end ignored") << 8 << 64 << int(QAbstractSlider::SliderToMaximum) << 64 << "64";
    }
    void sineScroll()
    {
        QFETCH(int, bits);
        QFETCH(int, start);
        QFETCH(int, action);
        QFETCH(int, pos);
        QFETCH(QString, label);
        CSineWaveDlg dlg(SSineParams{440.0, start}, bits, 22050);
        auto* bar = Item<QScrollBar>(&dlg, 1029);
        bar->triggerAction(QAbstractSlider::SliderAction(action));
        QCOMPARE(bar->value(), pos);
        QCOMPARE(Item<QLabel>(&dlg, 1030)->text(), label);
    }

    void sineThumbAndOk()
    {
        CSineWaveDlg dlg(SSineParams{}, 16, 44100);
        Open(&dlg);
        auto* bar = Item<QScrollBar>(&dlg, 1029);
        // Dragging the thumb: tracking moves the value with it.
        bar->setSliderDown(true);
        bar->setSliderPosition(100);
        QCOMPARE(Item<QLabel>(&dlg, 1030)->text(), "25600");
        bar->setSliderDown(false);
        QCOMPARE(dlg.Params().amplitude, 25600);
        ClickButton(&dlg, "IDOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Params().amplitude, 25600);
        QCOMPARE(dlg.Params().frequency, 440.0);
    }

    void sineOkWithoutScrollConvertsPosition()
    {
        CSineWaveDlg dlg(SSineParams{}, 8, 8000);
        Open(&dlg);
        ClickButton(&dlg, "IDOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Params().amplitude, 64);
    }

    // --- Layout ---------------------------------------------------------

    void layout_data()
    {
        QTest::addColumn<QString>("dialog");
        for (const char* name : {"echo", "chorus", "voice", "vibrato", "tremolo", "sine16", "sine8"})
            QTest::newRow(name) << name;
    }
    void layout()
    {
        // Every control lies inside the dialog, no two overlap (group frames
        // apart), every label's text fits its width, and every group frame
        // surrounds the controls that start inside it. Also saves a picture
        // of each dialog for a look by eye.
        QFETCH(QString, dialog);
        auto dlg = MakeDialog(dialog);
        Open(dlg.get());
        const QRect inside = dlg->rect();
        QList<QWidget*> controls;
        QList<QGroupBox*> groups;
        for (QObject* o : dlg->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (!w || w->isWindow())
                continue;
            QVERIFY2(inside.contains(w->geometry()), qPrintable(w->objectName()));
            if (auto* g = qobject_cast<QGroupBox*>(w))
                groups << g;
            else
                controls << w;
        }
        for (int i = 0; i < controls.size(); ++i)
            for (int j = i + 1; j < controls.size(); ++j)
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
        for (QWidget* w : controls) {
            auto* label = qobject_cast<QLabel*>(w);
            if (!label)
                continue;
            QString shown = label->text();
            shown.remove('&');
            if (label->objectName() == "1030")
                shown = "32512"; // the widest text the amplitude label shows
            QVERIFY2(label->fontMetrics().horizontalAdvance(shown) <= label->width(),
                     qPrintable(shown));
            QVERIFY2(label->fontMetrics().height() <= label->height(), qPrintable(shown));
        }
        for (QGroupBox* g : groups) {
            // The title needs room above the first control inside.
            const int titleBottom = g->y() + g->fontMetrics().height();
            for (QWidget* w : controls) {
                if (!g->geometry().contains(w->geometry().topLeft()))
                    continue;
                QVERIFY2(g->geometry().contains(w->geometry()), qPrintable(w->objectName()));
                QVERIFY2(w->y() >= titleBottom, qPrintable(w->objectName()));
            }
        }
        const QString dir = QDir::temp().filePath("ondrel-dialogs");
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(dlg->grab().save(dir + "/" + dialog + ".png"));
    }
};

QTEST_MAIN(TestEffectDialogs)
#include "test_dialogs.moc"
