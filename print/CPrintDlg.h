#pragma once
// The print dialog "Print": the printer the job goes to, the print range
// (everything or the selection) and the buttons OK, Cancel, Setup and Help.
//
// The range radio buttons only inform: when the view has a selection it is
// what gets printed whichever button is chosen, so "選択(&E)" is enabled
// and preselected exactly when there is one. Page numbers, copies, quality
// and printing to a file are not offered here; Setup reaches the printer's
// own settings (and a PDF file) instead. The printer line names where the
// job goes: a printer, or the PDF file when there is no printer.

#include "framework/DialogUnits.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPrinter;
class QRadioButton;

class CPrintDlg : public QDialog {
    Q_OBJECT
public:
    // Control identifiers, which are also the controls' object names (OK
    // and Cancel are "IDOK" and "IDCANCEL").
    static constexpr int IDC_PRINTER_LABEL = 1093;
    static constexpr int IDC_PRINTER_NAME = 1088;
    static constexpr int IDC_RANGE_GROUP = 1072;
    static constexpr int IDC_RANGE_ALL = 1056;
    static constexpr int IDC_RANGE_SELECTION = 1057;
    static constexpr int IDC_SETUP = 1024;
    static constexpr int IDC_HELP = 1038;

    // `printer`: the job's printer, whose name the dialog shows.
    // `bHasSelection`: whether the view has a non-empty selection.
    // `printerSetup`: runs the printer setup on `printer`; when empty,
    // Setup opens the platform's print dialog on it directly.
    // `help`: shows the help (may be empty).
    CPrintDlg(QPrinter& printer, bool bHasSelection, std::function<void()> printerSetup,
              std::function<void()> help, QWidget* parent = nullptr);

    // Whether the selection radio button is the chosen one.
    bool PrintSelection() const;
    // Where a job on `printer` goes, as the printer line shows it: the
    // printer's name, or for a PDF destination "PDF ﾌｧｲﾙ" with the file's
    // name in brackets when one is set. "System Default" only for a printer
    // without a name.
    static QString PrinterDisplayName(const QPrinter& printer);

private:
    void OnSetup();
    // Shows the printer line for the printer as it now is.
    void UpdatePrinterName();

    QPrinter& m_printer;
    std::function<void()> m_printerSetup;
    std::function<void()> m_help;
    CDialogUnits m_units;
    QLabel* m_pPrinterName = nullptr;
    QRadioButton* m_pAll = nullptr;
    QRadioButton* m_pSelection = nullptr;
};
