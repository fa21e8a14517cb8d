#include "print/CPrintStatusDlg.h"

#include "res/Strings.h"
#include "res/resource.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {
// The box in dialog units, and its text lines across the whole width.
constexpr int kWidth = 180;
constexpr int kHeight = 95;
} // namespace

CPrintStatusDlg::CPrintStatusDlg(const QString& docName, const QString& printerName, const QString& port,
                                 QWidget* parent)
    : QDialog(parent), m_units(DialogFont())
{
    setFont(DialogFont());
    setWindowTitle(AfxLoadString(AFX_IDS_APP_TITLE));
    setFixedSize(m_units.MapX(kWidth), m_units.MapY(kHeight));
    setWindowModality(Qt::ApplicationModal);

    AddLine(0, QStringLiteral("印刷中"), 9);
    SetLine(AddLine(AFX_IDC_PRINT_DOCNAME, QString(), 19), docName);
    AddLine(0, QStringLiteral("を"), 29);
    SetLine(AddLine(AFX_IDC_PRINT_PRINTERNAME, QString(), 39), printerName);
    SetLine(AddLine(AFX_IDC_PRINT_PORTNAME, QString(), 49), AfxFormatString(AFX_IDS_PRINTONPORT, port));
    m_pPage = AddLine(AFX_IDC_PRINT_PAGENUM, QString(), 59);

    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    cancel->setGeometry(m_units.MapRect((kWidth - 40) / 2, 74, 40, 14));
    cancel->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &CPrintStatusDlg::reject);
}

QLabel* CPrintStatusDlg::AddLine(int id, const QString& text, int y)
{
    auto* label = new QLabel(text, this);
    if (id != 0)
        label->setObjectName(QString::number(id));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(m_units.MapRect(0, y, kWidth, 8));
    return label;
}

void CPrintStatusDlg::SetLine(QLabel* label, const QString& text)
{
    const int room = label->width() - m_units.MapX(8);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
    label->setToolTip(text);
}

bool CPrintStatusDlg::OnPage(unsigned page)
{
    m_pPage->setText(QString::asprintf(AfxLoadString(AFX_IDS_PRINTPAGENUM).toUtf8().constData(), page));
    QApplication::processEvents();
    return !m_bCancelled;
}

QString CPrintStatusDlg::Text(int id) const
{
    const auto* label = findChild<QLabel*>(QString::number(id));
    return label ? label->toolTip().isEmpty() ? label->text() : label->toolTip() : QString();
}

void CPrintStatusDlg::reject() { m_bCancelled = true; }
