#include "effects/EffectDialogs.h"

#include "effects/DataExchange.h"
#include "framework/CSpinButtonCtrl.h"
#include "framework/MessageBox.h"
#include "res/Strings.h"
#include "res/resource.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <climits>

namespace {

// trunc toward zero into an int, saturating instead of overflowing for
// values an up-down position cannot hold (NaN gives 0).
int TruncToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

// Ids become object names, the way the tests and the rest of the program
// find a dialog's controls.
QString IdName(int id) { return QString::number(id); }

// The dialog's font and fixed size, and OK (default) above ｷｬﾝｾﾙ in a column
// at x. Both buttons are 40 x 14 dialog units.
void SetUpFrame(QDialog* dlg, const CDialogUnits& du, const QString& caption, int w, int h,
                int buttonsX)
{
    dlg->setWindowTitle(caption);
    dlg->setFixedSize(du.MapX(w), du.MapY(h));

    auto* ok = new QPushButton(QStringLiteral("OK"), dlg);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    ok->setGeometry(du.MapRect(buttonsX, 7, 40, 14));
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);

    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), dlg);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    cancel->setAutoDefault(false);
    cancel->setGeometry(du.MapRect(buttonsX, 25, 40, 14));
    QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject);
}

CGroupFrame* MakeGroup(QWidget* parent, const CDialogUnits& du, const QString& title, int x,
                       int y, int w, int h)
{
    // Group frames go in before the controls they surround so that they lie
    // beneath them; they are frames only, the controls are the dialog's.
    auto* group = new CGroupFrame(title, parent);
    group->setGeometry(du.MapRect(x, y, w, h));
    return group;
}

QLabel* MakeLabel(QWidget* parent, const CDialogUnits& du, const QString& text, int x, int y,
                  int w, int h)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(du.MapRect(x, y, w, h));
    return label;
}

// Refuses the text of a box: the message, then the box focused with its
// text selected so that typing replaces it.
void Refuse(QLineEdit* edit, const QString& message)
{
    AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

} // namespace

// ---------------------------------------------------------------------------
// CEffectParamDlg

CEffectParamDlg::CEffectParamDlg(const QString& caption, int w, int h, int buttonsX,
                                 QWidget* parent)
    : QDialog(parent), m_units(DialogFont())
{
    // The font goes on first so that every control takes it over.
    setFont(DialogFont());
    SetUpFrame(this, m_units, caption, w, h, buttonsX);
}

CGroupFrame* CEffectParamDlg::AddGroup(const QString& title, int x, int y, int w, int h)
{
    CGroupFrame* group = MakeGroup(this, m_units, title, x, y, w, h);
    group->lower();
    return group;
}

QLabel* CEffectParamDlg::AddLabel(const QString& text, int x, int y, int w, int h)
{
    return MakeLabel(this, m_units, text, x, y, w, h);
}

QLineEdit* CEffectParamDlg::AddEdit(int editId, int x, int y, int w, int h)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(IdName(editId));
    edit->setGeometry(m_units.MapRect(x, y, w, h));
    return edit;
}

CSpinButtonCtrl* CEffectParamDlg::AddUpDown(QLineEdit* edit, int spinId, int lower, int upper)
{
    // No UDS_SETBUDDYINT: the dialog writes the box itself, in the field's
    // own format.
    auto* spin = new CSpinButtonCtrl(CSpinButtonCtrl::UDS_ALIGNRIGHT | CSpinButtonCtrl::UDS_ARROWKEYS,
                                     this);
    spin->setObjectName(IdName(spinId));
    // Only the width counts: attached, the control moves to the edit's
    // right edge and takes its height.
    spin->resize(m_units.MapX(10), edit->height());
    spin->SetBuddy(edit);
    spin->SetRange(lower, upper);
    return spin;
}

QLineEdit* CEffectParamDlg::AddRealField(double& field, EStep step, int editId, int spinId,
                                         int lower, int upper, int x, int y, int w, int h,
                                         double lo, double hi)
{
    QLineEdit* edit = AddEdit(editId, x, y, w, h);
    CSpinButtonCtrl* spin = AddUpDown(edit, spinId, lower, upper);
    spin->SetPos(TruncToInt(step == EStep::Hundredths ? field * 100 : field));
    edit->setText(FormatGeneral15(field));
    m_fields.push_back({edit, spin, &field, nullptr, step, lo, hi});
    const size_t index = m_fields.size() - 1;
    connect(spin, &CSpinButtonCtrl::PositionChanged, this,
            [this, index](int pos) { OnPosition(m_fields[index], pos); });
    return edit;
}

QLineEdit* CEffectParamDlg::AddIntField(int& field, int editId, int spinId, int lower, int upper,
                                        int x, int y, int w, int h)
{
    QLineEdit* edit = AddEdit(editId, x, y, w, h);
    CSpinButtonCtrl* spin = AddUpDown(edit, spinId, lower, upper);
    spin->SetPos(field);
    edit->setText(QString::number(field));
    m_fields.push_back({edit, spin, nullptr, &field, EStep::Units, 1.0, 0.0});
    const size_t index = m_fields.size() - 1;
    connect(spin, &CSpinButtonCtrl::PositionChanged, this,
            [this, index](int pos) { OnPosition(m_fields[index], pos); });
    return edit;
}

void CEffectParamDlg::OnPosition(const SField& field, int pos)
{
    if (field.whole) {
        *field.whole = pos;
        field.edit->setText(QString::asprintf("%d", pos));
    } else if (field.step == EStep::Hundredths) {
        *field.real = pos / 100.0;
        field.edit->setText(QString::asprintf("%.2f", pos / 100.0));
    } else {
        *field.real = pos;
        field.edit->setText(QString::asprintf("%d", pos));
    }
}

void CEffectParamDlg::accept()
{
    for (const SField& field : m_fields) {
        const QString text = field.edit->text();
        if (field.whole) {
            if (!ParseInt(text, *field.whole)) {
                Refuse(field.edit, AfxLoadString(AFX_IDP_PARSE_INT));
                return;
            }
            continue;
        }
        if (!ParseReal(text, *field.real)) {
            Refuse(field.edit, AfxLoadString(AFX_IDP_PARSE_REAL));
            return;
        }
        if (field.lo <= field.hi && (*field.real < field.lo || *field.real > field.hi)) {
            Refuse(field.edit, RangeMessage(field.lo, field.hi));
            return;
        }
    }
    QDialog::accept();
}

// ---------------------------------------------------------------------------
// The five effect dialogs. Each lays out a "パラメーター" group (or the voice
// changer's "周波数倍率") with labels on the left and the edit boxes on the
// right, and the buttons in a column to the right of the group.

namespace {
// Rows of the two-field dialogs, in dialog units.
constexpr int kLabelX = 14, kLabelW = 60;
constexpr int kEditX = 76, kEditW = 36, kEditH = 12;
constexpr int kUnitX = 115, kUnitW = 12;
constexpr int kRow1 = 19, kRow2 = 35;
constexpr int kGroupW = 124, kGroupH = 46;
constexpr int kButtonsX = 138, kDialogW = 185, kDialogH = 60;
} // namespace

CEchoDlg::CEchoDlg(const SEchoParams& params, QWidget* parent)
    : CEffectParamDlg(QStringLiteral("ｴｺｰ"), kDialogW, kDialogH, kButtonsX, parent), m_params(params)
{
    AddGroup(QStringLiteral("パラメーター"), 7, 7, kGroupW, kGroupH);
    QLabel* mix = AddLabel(QStringLiteral("ﾐｯｸｽﾚﾍﾞﾙ(&M)"), kLabelX, kRow1 + 2, kLabelW);
    mix->setBuddy(AddRealField(m_params.mixLevel, EStep::Hundredths, 1021, 1022, 0, 100, kEditX,
                               kRow1, kEditW, kEditH));
    QLabel* count = AddLabel(QStringLiteral("ｴｺｰ回数(&T)"), kLabelX, kRow2 + 2, kLabelW);
    count->setBuddy(
        AddIntField(m_params.echoCount, 1027, 1028, 1, 20, kEditX, kRow2, kEditW, kEditH));
}

CChorusDlg::CChorusDlg(const SChorusParams& params, QWidget* parent)
    : CEffectParamDlg(QStringLiteral("ｺｰﾗｽ"), kDialogW, kDialogH, kButtonsX, parent),
      m_params(params)
{
    AddGroup(QStringLiteral("パラメーター"), 7, 7, kGroupW, kGroupH);
    QLabel* ratio = AddLabel(QStringLiteral("周波数倍率(&F)"), kLabelX, kRow1 + 2, kLabelW);
    ratio->setBuddy(AddRealField(m_params.ratio, EStep::Hundredths, 1011, 1012, 50, 200, kEditX,
                                 kRow1, kEditW, kEditH));
    QLabel* mix = AddLabel(QStringLiteral("ﾐｯｸｽﾚﾍﾞﾙ(&M)"), kLabelX, kRow2 + 2, kLabelW);
    mix->setBuddy(AddRealField(m_params.mixLevel, EStep::Hundredths, 1021, 1022, 0, 100, kEditX,
                               kRow2, kEditW, kEditH));
}

CVoiceChangerDlg::CVoiceChangerDlg(const SVoiceParams& params, QWidget* parent)
    : CEffectParamDlg(QStringLiteral("ボイスチェンジャー"), 131, 46, 84, parent), m_params(params)
{
    // One box, no label: the group's title names it.
    AddGroup(QStringLiteral("周波数倍率"), 7, 7, 70, 32);
    AddRealField(m_params.ratio, EStep::Hundredths, 1000, 1010, 50, 200, 17, 20, 50, kEditH, 0.5,
                 2.0);
}

CVibratoDlg::CVibratoDlg(const SVibratoParams& params, QWidget* parent)
    : CEffectParamDlg(QStringLiteral("ﾋﾞﾌﾞﾗｰﾄ"), kDialogW, kDialogH, kButtonsX, parent),
      m_params(params)
{
    AddGroup(QStringLiteral("パラメーター"), 7, 7, kGroupW, kGroupH);
    QLabel* depth = AddLabel(QStringLiteral("振幅(&A)"), kLabelX, kRow1 + 2, kLabelW);
    depth->setBuddy(
        AddIntField(m_params.depth, 1016, 1015, 0, 100, kEditX, kRow1, kEditW, kEditH));
    QLabel* frequency = AddLabel(QStringLiteral("周波数(&F)"), kLabelX, kRow2 + 2, kLabelW);
    frequency->setBuddy(AddRealField(m_params.frequency, EStep::Units, 1011, 1012, 1, 100, kEditX,
                                     kRow2, kEditW, kEditH));
    AddLabel(QStringLiteral("Hz"), kUnitX, kRow2 + 2, kUnitW);
}

CTremoloDlg::CTremoloDlg(const STremoloParams& params, QWidget* parent)
    : CEffectParamDlg(QStringLiteral("ﾄﾚﾓﾛ"), kDialogW, kDialogH, kButtonsX, parent),
      m_params(params)
{
    // Added frequency first: OK checks the boxes in this order.
    AddGroup(QStringLiteral("パラメーター"), 7, 7, kGroupW, kGroupH);
    QLabel* frequency = AddLabel(QStringLiteral("ﾄﾚﾓﾛ周波数(&F)"), kLabelX, kRow1 + 2, kLabelW);
    frequency->setBuddy(AddRealField(m_params.frequency, EStep::Units, 1011, 1012, 1, 100, kEditX,
                                     kRow1, kEditW, kEditH, 1.0, 100.0));
    AddLabel(QStringLiteral("Hz"), kUnitX, kRow1 + 2, kUnitW);
    QLabel* level = AddLabel(QStringLiteral("ﾄﾚﾓﾛﾚﾍﾞﾙ(&L)"), kLabelX, kRow2 + 2, kLabelW);
    level->setBuddy(AddRealField(m_params.level, EStep::Hundredths, 1013, 1014, 0, 100, kEditX,
                                 kRow2, kEditW, kEditH, 0.0, 1.0));
}

// ---------------------------------------------------------------------------
// CSineWaveDlg

CSineWaveDlg::CSineWaveDlg(const SSineParams& params, int bitsPerSample, int samplesPerSec,
                           QWidget* parent)
    : QDialog(parent), m_params(params), m_bitsPerSample(bitsPerSample),
      m_samplesPerSec(samplesPerSec)
{
    setFont(DialogFont());
    const CDialogUnits du(font());
    SetUpFrame(this, du, QStringLiteral("正弦波"), 171, 80, 124);

    MakeGroup(this, du, QStringLiteral("周波数"), 7, 7, 110, 32)->lower();
    m_frequency = new QLineEdit(QString::asprintf("%.1f", m_params.frequency), this);
    m_frequency->setObjectName(IdName(1000));
    m_frequency->setGeometry(du.MapRect(17, 20, 60, 12));
    MakeLabel(this, du, QStringLiteral("Hz"), 81, 22, 12, 8);

    MakeGroup(this, du, QStringLiteral("振幅"), 7, 43, 110, 32)->lower();
    m_amplitudeBar = new QScrollBar(Qt::Horizontal, this);
    m_amplitudeBar->setObjectName(IdName(1029));
    m_amplitudeBar->setGeometry(du.MapRect(17, 57, 60, 10));
    m_amplitudeBar->setRange(0, 127);
    m_amplitudeBar->setPageStep(16);
    m_amplitudeBar->setSingleStep(1);
    m_amplitudeBar->setValue(m_params.amplitude);
    m_amplitudeLabel = MakeLabel(this, du, QString(), 81, 58, 30, 8);
    m_amplitudeLabel->setObjectName(IdName(1030));
    // On opening the label shows the value handed in; the struct keeps it
    // as a position until the bar moves or OK converts it.
    m_amplitudeLabel->setText(QString::number(SineAmplitude(m_params.amplitude, m_bitsPerSample)));

    // Connected after the bar is set up, so that opening does not count as
    // a scroll.
    connect(m_amplitudeBar, &QScrollBar::actionTriggered, this, &CSineWaveDlg::OnAction);
    connect(m_amplitudeBar, &QScrollBar::valueChanged, this, &CSineWaveDlg::ShowAmplitude);
}

void CSineWaveDlg::OnAction(int action)
{
    // Lines, pages and the thumb move the bar; jumping to an end (Home, End,
    // or the bar's context menu) does not.
    if (action == QAbstractSlider::SliderToMinimum || action == QAbstractSlider::SliderToMaximum)
        m_amplitudeBar->setSliderPosition(m_amplitudeBar->value());
}

void CSineWaveDlg::ShowAmplitude()
{
    m_params.amplitude = SineAmplitude(m_amplitudeBar->value(), m_bitsPerSample);
    m_amplitudeLabel->setText(QString::number(m_params.amplitude));
}

void CSineWaveDlg::accept()
{
    QString message;
    if (!CheckSineFrequency(m_frequency->text(), m_samplesPerSec, m_params.frequency, message)) {
        Refuse(m_frequency, message);
        return;
    }
    m_params.amplitude = SineAmplitude(m_amplitudeBar->value(), m_bitsPerSample);
    QDialog::accept();
}
