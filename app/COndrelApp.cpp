#include "app/COndrelApp.h"

#include "app/CAboutDlg.h"
#include "doc/COndrelDoc.h"
#include "effects/EffectUi.h"
#include "frame/CMainFrame.h"
#include "platform/CSingleDocTemplate.h"
#include "platform/MessageBox.h"
#include "res/resource.h"
#include "view/COndrelView.h"

#include <QFileInfo>

namespace {
constexpr int kRecentFiles = 8;
}

COndrelApp::COndrelApp(const std::string& profilePath)
    : m_profile(profilePath), m_mru(m_profile, kRecentFiles)
{
    OnCommand(ID_APP_ABOUT, [this] {
        CAboutDlg dlg(m_pFrame.get());
        dlg.exec();
    });
    OnCommand(ID_FILE_NEW, [this] { m_pTemplate->OnFileNew(); });
    OnCommand(ID_FILE_OPEN, [this] { m_pTemplate->OnFileOpen(); });
    OnCommand(ID_APP_EXIT, [this] { m_pFrame->close(); });
    for (int i = 0; i < kRecentFiles; ++i) {
        const unsigned nID = ID_FILE_MRU_FILE1 + static_cast<unsigned>(i);
        OnCommand(nID, [this, nID] { OnOpenRecentFile(nID); });
    }
}

COndrelApp::~COndrelApp()
{
    // The view belongs to the frame; the document outlives both.
    m_pTemplate.reset();
    m_pFrame.reset();
}

bool COndrelApp::InitInstance(const QStringList& args)
{
    m_mru.ReadList();

    m_pFrame = std::make_unique<CMainFrame>();
    m_pDoc = std::make_unique<COndrelDoc>(*m_pFrame);
    m_pView = new COndrelView(*m_pDoc);
    m_pFrame->SetView(m_pView, m_pView);
    RegisterEffectCommands(*m_pView, *m_pDoc,
                           {[this] { return std::make_pair(m_pView->GetSelectionStart(), m_pView->GetSelectionLength()); },
                            [this] { return m_pView->m_nTransport == 0; }},
                           m_pFrame.get());
    m_pFrame->SetApp(this);
    m_pFrame->SetRecentFileList(&m_mru);
    m_pTemplate = std::make_unique<CSingleDocTemplate>(*m_pDoc, *m_pFrame, &m_mru);
    m_pFrame->SetCloseHandler([this] { return m_pTemplate->SaveModified(); });

    // Saving and undo belong to the document; failures are told here.
    m_pDoc->OnCommand(ID_FILE_SAVE, [this] { m_pTemplate->OnFileSave(); });
    m_pDoc->OnCommand(ID_FILE_SAVE_AS, [this] { m_pTemplate->OnFileSaveAs(); });
    m_pDoc->OnCommand(ID_EDIT_UNDO, [this] {
        if (!m_pDoc->OnEditUndo())
            AfxMessageBox(QString::fromStdString(m_pDoc->GetError()));
    });
    m_pDoc->OnUpdateCommand(ID_EDIT_UNDO, [this](CCmdUI* ui) {
        // Nothing may replace the data while a sound device holds it.
        ui->Enable(m_pDoc->CanUndo() && m_pView->m_nTransport == 0);
    });

    // One optional file; anything after it is ignored.
    const QString file = args.size() > 1 ? args[1] : QString();
    if (!(file.isEmpty() ? m_pTemplate->OnFileNew() : m_pTemplate->OpenDocumentFile(file)))
        return false;

    m_pFrame->setAcceptDrops(true);
    connect(m_pFrame.get(), &CMainFrame::FilesDropped, this, [this](const QStringList& paths) {
        for (const QString& path : paths)
            OpenDocumentFile(path);
    });
    m_pFrame->show();
    m_pFrame->OnIdle();
    return true;
}

bool COndrelApp::OpenDocumentFile(const QString& path) { return m_pTemplate->OpenDocumentFile(path); }

void COndrelApp::OnOpenRecentFile(unsigned nID)
{
    const int index = static_cast<int>(nID - ID_FILE_MRU_FILE1);
    if (index >= m_mru.GetCount())
        return;
    const QString path = m_mru[index];
    // A file that has gone or no longer opens leaves the list.
    if (!m_pTemplate->OpenDocumentFile(path) && !QFileInfo::exists(path))
        m_mru.Remove(index);
}
