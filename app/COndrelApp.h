#pragma once
// The application object: starts the editor (profile, the document template
// binding the document, the main frame and the view, the command line,
// dropped files) and handles the application's commands.

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

private:
    void OnOpenRecentFile(unsigned nID);

    CProfile m_profile;
    CRecentFileList m_mru;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::unique_ptr<COndrelDoc> m_pDoc;
    COndrelView* m_pView = nullptr; // owned by the frame
    std::unique_ptr<CSingleDocTemplate> m_pTemplate;
};
