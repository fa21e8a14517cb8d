#pragma once
// The application object: starts the editor (profile, the document template
// binding the document, the main frame and the view, the command line,
// dropped files) and handles the application's commands. It also owns the
// one printer that printing and print preview use.

#include "platform/CCmdTarget.h"
#include "platform/CRecentFileList.h"
#include "platform/Profile.h"

#include <QObject>
#include <QStringList>

#include <memory>

class CMainFrame;
class COndrelDoc;
class COndrelView;
class CSingleDocTemplate;
class QPrinter;

class COndrelApp : public QObject, public CCmdTarget {
    Q_OBJECT
public:
    // `profilePath`: the INI file of the settings (CProfile::DefaultPath()
    // for the real program).
    explicit COndrelApp(const std::string& profilePath);
    ~COndrelApp() override;

    // Starts up: reads the recent-file list, creates the document, the
    // frame and the view, opens the file named by the first argument (or
    // starts a new document) and shows the window. Returns false when the
    // named file cannot be opened (after saying so): the program then ends.
    bool InitInstance(const QStringList& args);

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

private:
    void OnOpenRecentFile(unsigned nID);
    // Print (with the print dialog) and direct print (without it): the
    // waveform, or the selection when there is one, with the page layout
    // settings of the profile. A job that cannot be printed says why.
    void OnFilePrint(bool bDirect);
    // The print preview; its print button runs the print command.
    void OnFilePrintPreview();

    CProfile m_profile;
    std::unique_ptr<QPrinter> m_pPrinter;
    CRecentFileList m_mru;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::unique_ptr<COndrelDoc> m_pDoc;
    COndrelView* m_pView = nullptr; // owned by the frame
    std::unique_ptr<CSingleDocTemplate> m_pTemplate;
};
