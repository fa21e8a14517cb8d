#include "print/CPageLayoutDlg.h"

#include "framework/DecimalNumber.h"
#include "framework/MessageBox.h"
#include "platform/Profile.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const char kSection[] = "Print Layout";

constexpr int kMarginMin = 0;
constexpr int kMarginMax = 50;
constexpr int kResoMin = 1;
constexpr int kResoMax = 10;

} // namespace

CPageLayoutDlg::CPageLayoutDlg(CProfile& profile, std::function<void()> printerSetup, QWidget* parent)
    : QDialog(parent), m_profile(profile), m_printerSetup(std::move(printerSetup)),
      m_units(DialogFont())
{
    // The font goes on first so that every control takes it over.
    setFont(DialogFont());
    setWindowTitle(QStringLiteral("ﾍﾟｰｼﾞﾚｱｳﾄの設定"));
    setFixedSize(m_units.MapX(199), m_units.MapY(111));

    m_nLeft = m_profile.GetProfileInt(kSection, "Left", 20);
    m_nRight = m_profile.GetProfileInt(kSection, "Right", 0);
    m_nUp = m_profile.GetProfileInt(kSection, "Up", 20);
    m_nDown = m_profile.GetProfileInt(kSection, "Down", 0);
    m_nReso = m_profile.GetProfileInt(kSection, "Reso", 1);

    // Controls go in in the template's order, which is also the tab order:
    // left, top, right, bottom, resolution, then the buttons. The group
    // frames are lowered so that they lie beneath the controls they
    // surround.
    auto* margins = new CGroupFrame(QStringLiteral("余白"), this);
    margins->setGeometry(m_units.MapRect(7, 7, 122, 55));
    margins->lower();

    QLabel* label = AddLabel(QStringLiteral("左(&R)"), 15, 25, 16, 8);
    m_pLeft = AddEdit(IDC_LEFT, m_nLeft, 33, 21, 21, 14);
    label->setBuddy(m_pLeft);
    AddLabel(QStringLiteral("mm"), 56, 25, 11, 8);

    label = AddLabel(QStringLiteral("上(&U)"), 73, 25, 17, 8);
    m_pUp = AddEdit(IDC_UP, m_nUp, 92, 21, 21, 14);
    label->setBuddy(m_pUp);
    AddLabel(QStringLiteral("mm"), 115, 25, 11, 8);

    label = AddLabel(QStringLiteral("右(&L)"), 14, 41, 17, 8);
    m_pRight = AddEdit(IDC_RIGHT, m_nRight, 33, 39, 21, 14);
    label->setBuddy(m_pRight);
    AddLabel(QStringLiteral("mm"), 56, 41, 11, 8);

    label = AddLabel(QStringLiteral("下(&D)"), 74, 40, 17, 8);
    m_pDown = AddEdit(IDC_DOWN, m_nDown, 92, 39, 21, 14);
    label->setBuddy(m_pDown);
    AddLabel(QStringLiteral("mm"), 114, 41, 11, 8);

    auto* resolution = new CGroupFrame(QStringLiteral("分解能"), this);
    resolution->setGeometry(m_units.MapRect(7, 69, 121, 35));
    resolution->lower();

    label = AddLabel(QStringLiteral("分解能(&E)"), 39, 85, 30, 8);
    m_pReso = AddEdit(IDC_RESO, m_nReso, 72, 82, 23, 14);
    label->setBuddy(m_pReso);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    ok->setGeometry(m_units.MapRect(137, 9, 56, 14));
    connect(ok, &QPushButton::clicked, this, &CPageLayoutDlg::accept);

    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    cancel->setAutoDefault(false);
    cancel->setGeometry(m_units.MapRect(137, 26, 56, 14));
    connect(cancel, &QPushButton::clicked, this, &CPageLayoutDlg::reject);

    auto* setup = new QPushButton(QStringLiteral("(&S)ﾌﾟﾘﾝﾀの設定"), this);
    setup->setObjectName(QString::number(IDC_PRINTER_SETUP));
    setup->setAutoDefault(false);
    setup->setGeometry(m_units.MapRect(137, 45, 56, 14));
    connect(setup, &QPushButton::clicked, this, [this] {
        if (m_printerSetup)
            m_printerSetup();
    });

    m_pLeft->setFocus(Qt::OtherFocusReason);
}

QLabel* CPageLayoutDlg::AddLabel(const QString& text, int x, int y, int w, int h)
{
    // Plain text still shows the "&" mnemonic once the label has a buddy.
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(m_units.MapRect(x, y, w, h));
    return label;
}

QLineEdit* CPageLayoutDlg::AddEdit(int id, int value, int x, int y, int w, int h)
{
    // Any text may be typed: OK decides what it accepts.
    auto* edit = new QLineEdit(QString::number(value), this);
    edit->setObjectName(QString::number(id));
    edit->setGeometry(m_units.MapRect(x, y, w, h));
    return edit;
}

bool CPageLayoutDlg::ParseInRange(const QString& text, int lo, int hi, int& value)
{
    int v = 0;
    if (!ParseDecimalInt(text.toStdString(), v) || v < lo || v > hi)
        return false;
    value = v;
    return true;
}

void CPageLayoutDlg::accept()
{
    struct SField {
        QLineEdit* edit;
        int lo;
        int hi;
        int value;
        const char* message;
    };
    SField fields[] = {
        {m_pLeft, kMarginMin, kMarginMax, 0, "左を0から50の数値で入力してください。"},
        {m_pRight, kMarginMin, kMarginMax, 0, "右を0から50の数値で入力してください。"},
        {m_pUp, kMarginMin, kMarginMax, 0, "上を0から50の数値で入力してください。"},
        {m_pDown, kMarginMin, kMarginMax, 0, "下を0から50の数値で入力してください。"},
        {m_pReso, kResoMin, kResoMax, 0, "分解能を1から10の数値で入力してください。"},
    };
    for (SField& field : fields) {
        if (!ParseInRange(field.edit->text(), field.lo, field.hi, field.value)) {
            // The refused text stays; the field takes the focus with its
            // text selected so that typing replaces it.
            AfxMessageBox(QString::fromUtf8(field.message), MB_OK | MB_ICONEXCLAMATION);
            field.edit->setFocus(Qt::OtherFocusReason);
            field.edit->selectAll();
            return;
        }
    }
    m_nLeft = fields[0].value;
    m_nRight = fields[1].value;
    m_nUp = fields[2].value;
    m_nDown = fields[3].value;
    m_nReso = fields[4].value;
    m_profile.WriteProfileInt(kSection, "Left", m_nLeft);
    m_profile.WriteProfileInt(kSection, "Right", m_nRight);
    m_profile.WriteProfileInt(kSection, "Up", m_nUp);
    m_profile.WriteProfileInt(kSection, "Down", m_nDown);
    m_profile.WriteProfileInt(kSection, "Reso", m_nReso);
    QDialog::accept();
}
