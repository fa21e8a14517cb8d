#include "framework/CSingleDocTemplate.h"

#include "framework/CRecentFileList.h"
#include "framework/Document.h"
#include "framework/MessageBox.h"
#include "framework/ReasonText.h"
#include "res/Strings.h"
#include "res/resource.h"

#include <QFileInfo>
#include <QWidget>

CSingleDocTemplate::CSingleDocTemplate(CDocument& doc, QWidget& frame, CRecentFileList* mru)
    : m_doc(doc), m_frame(frame), m_pMru(mru)
{
}

QString CSingleDocTemplate::GetDocumentName() const
{
    return m_doc.GetTitle().empty() ? AfxLoadString(AFX_IDS_UNTITLED)
                                    : QString::fromStdString(m_doc.GetTitle());
}

void CSingleDocTemplate::UpdateFrameTitle()
{
    m_frame.setWindowTitle(AfxLoadString(AFX_IDS_APP_TITLE) + QStringLiteral(" - ") + GetDocumentName());
}

void CSingleDocTemplate::InitialUpdateViews()
{
    for (CView* view : m_doc.GetViews())
        view->OnInitialUpdate();
    UpdateFrameTitle();
}

bool CSingleDocTemplate::OpenDocumentFile(const QString& path)
{
    if (!path.isEmpty()) {
        // The file already open is not opened again.
        const QString full = QFileInfo(path).absoluteFilePath();
        if (!m_doc.GetPathName().empty() && full == QString::fromStdString(m_doc.GetPathName()))
            return true;
    }
    if (const QString busy = m_busyHandler ? m_busyHandler() : QString(); !busy.isEmpty()) {
        AfxMessageBox(busy);
        return false;
    }
    if (!SaveModified())
        return false;
    if (path.isEmpty()) {
        if (!m_doc.OnNewDocument())
            return false;
        m_doc.SetTitle(std::string());
        InitialUpdateViews();
        return true;
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    if (!m_doc.OnOpenDocument(full.toStdString())) {
        AfxMessageBox(AfxLoadString(AFX_IDP_FAILED_TO_OPEN_DOC) + QLatin1Char('\n') + ReasonText(m_doc.GetError()));
        return false;
    }
    m_doc.SetPathName(full.toStdString());
    if (m_pMru)
        m_pMru->Add(full);
    InitialUpdateViews();
    if (const QString notice = m_openNotice ? m_openNotice() : QString(); !notice.isEmpty())
        AfxMessageBox(notice, MB_OK | MB_ICONINFORMATION);
    return true;
}

void CSingleDocTemplate::OnFileOpen()
{
    const QString path = AfxGetFileName(true, QString::fromStdString(m_doc.GetPathName()));
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

bool CSingleDocTemplate::OnFileSave()
{
    return DoSave(QString::fromStdString(m_doc.GetPathName()), true, /*bAskOverwrite*/ true);
}

bool CSingleDocTemplate::OnFileSaveAs() { return DoSave(QString(), true); }

bool CSingleDocTemplate::DoSave(QString path, bool bReplace, bool bAskOverwrite)
{
    if (const QString refused = m_saveRefusal ? m_saveRefusal() : QString(); !refused.isEmpty()) {
        AfxMessageBox(refused);
        return false;
    }
    if (bAskOverwrite && !path.isEmpty()) {
        if (const QString question = m_overwriteQuestion ? m_overwriteQuestion() : QString(); !question.isEmpty()) {
            switch (AfxMessageBox(question, MB_YESNOCANCEL | MB_ICONQUESTION)) {
            case IDYES: break;
            case IDNO: path.clear(); break; // 名前を付けて保存
            default: return false;
            }
        }
    }
    if (path.isEmpty()) {
        QString initial = QString::fromStdString(m_doc.GetPathName());
        if (initial.isEmpty())
            initial = GetDocumentName() + QStringLiteral(".wav");
        path = AfxGetFileName(false, initial);
        if (path.isEmpty())
            return false; // cancelled
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".wav");
        else if (QFileInfo(path).suffix().compare(QLatin1String("wav"), Qt::CaseInsensitive) != 0) {
            AfxMessageBox(AfxFormatString(IDS_SAVE_NOT_WAV, path));
            return false;
        }
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    if (!m_doc.OnSaveDocument(full.toStdString())) {
        AfxMessageBox(AfxLoadString(AFX_IDP_FAILED_TO_SAVE_DOC) + QLatin1Char('\n') + ReasonText(m_doc.GetError()));
        return false;
    }
    if (bReplace) {
        m_doc.SetPathName(full.toStdString());
        if (m_pMru)
            m_pMru->Add(full);
        UpdateFrameTitle();
    }
    return true;
}

bool CSingleDocTemplate::SaveModified()
{
    if (!m_doc.IsModified())
        return true;
    switch (AfxMessageBox(AfxFormatString(AFX_IDP_ASK_TO_SAVE, GetDocumentName()),
                          MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES:
        return OnFileSave();
    case IDNO:
        return true;
    default:
        return false;
    }
}
