#pragma once
// The box shown while a print job runs: "印刷中", the document's name, "を",
// the printer's name, "<port> へ出力中" (the PDF file for a PDF job), the
// page being printed ("ﾍﾟｰｼﾞ n") and a ｷｬﾝｾﾙ button. It is application
// modal: nothing else takes input until the job ends. ｷｬﾝｾﾙ, Escape or the
// close box ask the job to stop; the box stays until the job has stopped.

#include "framework/DialogUnits.h"

#include <QDialog>

class QLabel;

class CPrintStatusDlg : public QDialog {
    Q_OBJECT
public:
    // Identifiers of the texts that change, which are also their object
    // names; the button is "IDCANCEL".
    static constexpr int AFX_IDC_PRINT_DOCNAME = 0xE0C5;
    static constexpr int AFX_IDC_PRINT_PRINTERNAME = 0xE0C6;
    static constexpr int AFX_IDC_PRINT_PORTNAME = 0xE0C7;
    static constexpr int AFX_IDC_PRINT_PAGENUM = 0xE0C8;

    // `docName`: the document as the window names it; `printerName`: where
    // the job goes; `port`: the printer's port, or the PDF file. The page
    // line stays empty until the first SetPage.
    CPrintStatusDlg(const QString& docName, const QString& printerName, const QString& port,
                    QWidget* parent = nullptr);

    // Shows page `page` (counting from 1) as the one being printed, then
    // lets the window system deliver what is waiting (a click on ｷｬﾝｾﾙ among
    // it). Returns false once the user has asked to stop.
    bool OnPage(unsigned page);

    bool IsCancelled() const { return m_bCancelled; }
    // The texts on show, for the caller's tests and screenshots.
    QString Text(int id) const;

    // ｷｬﾝｾﾙ, Escape and the close box: the job stops before its next page.
    void reject() override;

private:
    QLabel* AddLine(int id, const QString& text, int y);
    // Sets a line, shortened in the middle when it is wider than the box;
    // the whole text is its tool tip.
    void SetLine(QLabel* label, const QString& text);

    CDialogUnits m_units;
    bool m_bCancelled = false;
    QLabel* m_pPage = nullptr;
};
