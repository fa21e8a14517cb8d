#pragma once
// The application object: starts the editor (profile, the document template
// binding the document, the main frame and the view, the command line,
// dropped files) and handles the application's commands. It also owns the
// one printer that printing and print preview use.

#include "app/CommandLine.h"
#include "framework/CCmdTarget.h"
#include "framework/CRecentFileList.h"
#include "platform/Profile.h"
#include "platform/Reason.h"

#include <QObject>
#include <QStringList>

#include <memory>

class CMainFrame;
class COndrelDoc;
class COndrelView;
class CSingleDocTemplate;
class QPrinter;
struct SPrintResult;

class COndrelApp : public QObject, public CCmdTarget {
    Q_OBJECT
public:
    // `profilePath`: the INI file of the settings (CProfile::DefaultPath()
    // for the real program).
    explicit COndrelApp(const std::string& profilePath);
    ~COndrelApp() override;

    // Starts up: reads the recent-file list, creates the document, the
    // frame and the view, opens the file of the command line (or starts a
    // new document) and shows the window. Returns false when the program
    // ends instead of running: the named file cannot be opened (after
    // saying so), or the command line asked to print it, which is done
    // without showing the window. ExitInstance then gives the exit code.
    bool InitInstance(const CCommandLineInfo& info);
    // The exit code after InitInstance returned false: kExitOk when the
    // command line's print completed, else kExitFailed.
    int ExitInstance() const { return m_nExitCode; }

    // Opens `path` as File > Open does (asking to save first).
    bool OpenDocumentFile(const QString& path);

    CMainFrame* GetMainFrame() const { return m_pFrame.get(); }
    COndrelDoc* GetDocument() const { return m_pDoc.get(); }
    COndrelView* GetView() const { return m_pView; }
    CSingleDocTemplate* GetDocTemplate() const { return m_pTemplate.get(); }
    CRecentFileList& GetRecentFileList() { return m_mru; }
    CProfile& GetProfile() { return m_profile; }
    // The printer of print, direct print and print preview.
    QPrinter& GetPrinter() { return *m_pPrinter; }

    // The printer setup: the platform's print dialog on the application's
    // printer, where another printer or a PDF file can be chosen. What is
    // chosen there stays for the following print jobs and previews.
    void DoPrinterSetup();

    // The text the window shows for a print job that failed; empty for one
    // that completed or was cancelled.
    static QString PrintFailureMessage(const SPrintResult& result);

private:
    void OnOpenRecentFile(unsigned nID);
    // Offers the unsaved audio a dead editor left (at start, once the window
    // shows): はい makes it the document, modified, under its old path and
    // title; いいえ lets it go. Its files are removed after the answer.
    void OfferRecovery();
    // A recovery write has ended: a failure is told (once).
    void OnRecoveryWritten();
    // Says, once per run, that unsaved work cannot be recovered, and why.
    void TellRecoveryOff(const SReason& reason);
    // Print (with the print dialog) and direct print (without it): the
    // waveform, or the selection when there is one, with the page layout
    // settings of the profile, on the application's printer. A PDF
    // destination first asks for the file. The progress box shows while
    // the job runs; its ｷｬﾝｾﾙ stops it. A job that cannot be printed says
    // why. Returns true when every page was printed.
    bool OnFilePrint(bool bDirect);
    // The PDF file proposed for the next job: the one chosen last for this
    // document, else one named after the document in the folder of the
    // last PDF chosen (or the document's folder, or the home folder). Also
    // gives the printer the document's name as its title.
    QString ProposedPdfPath();
    // `path` was chosen for the PDF of the document now open.
    void RememberPdfPath(const QString& path);
    // The print preview; its print button runs the print command.
    void OnFilePrintPreview();

    CProfile m_profile;
    std::unique_ptr<QPrinter> m_pPrinter;
    // The PDF file chosen last (in the file question or the printer setup)
    // and the document it was chosen for (its path; empty when untitled).
    QString m_strPdfPath;
    QString m_strPdfForDoc;
    int m_nExitCode = kExitFailed;
    bool m_bRecoveryOffTold = false;
    CRecentFileList m_mru;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::unique_ptr<COndrelDoc> m_pDoc;
    COndrelView* m_pView = nullptr; // owned by the frame
    std::unique_ptr<CSingleDocTemplate> m_pTemplate;
};
