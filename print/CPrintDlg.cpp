#include "print/CPrintDlg.h"

#include "print/PrintJob.h"
#include "res/Strings.h"
#include "res/resource.h"

#include <QFileInfo>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>

CPrintDlg::CPrintDlg(QPrinter& printer, bool bHasSelection, std::function<void()> printerSetup,
                     std::function<void()> help, QWidget* parent)
    : QDialog(parent), m_printer(printer), m_printerSetup(std::move(printerSetup)),
      m_help(std::move(help)), m_units(DialogFont())
{
    // The font goes on first so that every control takes it over.
    setFont(DialogFont());
    setWindowTitle(QStringLiteral("Print"));
    setFixedSize(m_units.MapX(226), m_units.MapY(77));

    auto addLabel = [this](int id, const QString& text, int x, int y, int w, int h) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::number(id));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(m_units.MapRect(x, y, w, h));
        return label;
    };
    addLabel(IDC_PRINTER_LABEL, QStringLiteral("Printer:"), 7, 7, 34, 8);
    m_pPrinterName = addLabel(IDC_PRINTER_NAME, QString(), 43, 7, 117, 8);
    UpdatePrinterName();

    auto* group = new CGroupFrame(QStringLiteral("印刷範囲"), this);
    group->setObjectName(QString::number(IDC_RANGE_GROUP));
    group->setGeometry(m_units.MapRect(7, 22, 153, 48));
    group->lower();

    // Siblings, not children of the frame: one exclusive group of two.
    m_pAll = new QRadioButton(QStringLiteral("すべて(&A)"), this);
    m_pAll->setObjectName(QString::number(IDC_RANGE_ALL));
    m_pAll->setGeometry(m_units.MapRect(16, 35, 64, 12));
    m_pSelection = new QRadioButton(QStringLiteral("選択(&E)"), this);
    m_pSelection->setObjectName(QString::number(IDC_RANGE_SELECTION));
    m_pSelection->setGeometry(m_units.MapRect(16, 51, 64, 12));
    m_pSelection->setEnabled(bHasSelection);
    (bHasSelection ? m_pSelection : m_pAll)->setChecked(true);

    auto addButton = [this](const char* name, const QString& text, int y) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        button->setGeometry(m_units.MapRect(166, y, 53, 14));
        return button;
    };
    QPushButton* ok = addButton("IDOK", QStringLiteral("OK"), 7);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CPrintDlg::accept);
    connect(addButton("IDCANCEL", QStringLiteral("Cancel"), 24), &QPushButton::clicked, this,
            &CPrintDlg::reject);
    connect(addButton("1024", QStringLiteral("&Setup..."), 41), &QPushButton::clicked, this,
            &CPrintDlg::OnSetup);
    connect(addButton("1038", QStringLiteral("&Help"), 58), &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help();
    });
}

bool CPrintDlg::PrintSelection() const { return m_pSelection->isChecked(); }

QString CPrintDlg::PrinterDisplayName(const QPrinter& printer)
{
    if (IsPdfDestination(printer)) {
        const QString file = QFileInfo(printer.outputFileName()).fileName();
        const QString pdf = AfxLoadString(IDS_PRINT_TO_PDF);
        return file.isEmpty() ? pdf : QStringLiteral("%1 (%2)").arg(pdf, file);
    }
    const QString name = printer.printerName();
    return name.isEmpty() ? QStringLiteral("System Default") : name;
}

void CPrintDlg::UpdatePrinterName()
{
    // A long name is shortened in the middle; the tool tip has all of it,
    // with the PDF file's folder.
    const QString name = PrinterDisplayName(m_printer);
    m_pPrinterName->setText(m_pPrinterName->fontMetrics().elidedText(name, Qt::ElideMiddle, m_pPrinterName->width()));
    m_pPrinterName->setToolTip(IsPdfDestination(m_printer) && !m_printer.outputFileName().isEmpty()
                                   ? m_printer.outputFileName()
                                   : name);
}

void CPrintDlg::OnSetup()
{
    if (m_printerSetup) {
        m_printerSetup();
    } else {
        QPrintDialog dlg(&m_printer, this);
        dlg.setOptions(QAbstractPrintDialog::PrintToFile);
        dlg.exec();
    }
    // The setup may have chosen another printer, or PDF.
    UpdatePrinterName();
}
