#include "framework/Document.h"

#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>

void CDocument::SetPathName(const std::string& path)
{
    m_strPathName = path;
    auto slash = path.rfind('/');
    SetTitle(slash == std::string::npos ? path : path.substr(slash + 1));
}

void CDocument::AddView(CView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CDocument::RemoveView(CView* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void CDocument::UpdateAllViews(CView* sender, std::intptr_t lHint, void* pHint)
{
    // A view may detach itself while being updated: walk a copy.
    std::vector<CView*> views = m_views;
    for (CView* view : views)
        if (view != sender)
            view->OnUpdate(sender, lHint, pHint);
}

bool CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        SetError(FileReason(EReason::FileOpen, path, errno));
        return false;
    }
    DeleteContents();
    SetModifiedFlag(false);
    CArchive ar(file, CArchive::load);
    Serialize(ar);
    std::fclose(file);
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path)
{
    CSafeSave save;
    if (!save.Begin(path)) {
        SetError(save.GetError());
        return false;
    }
    std::FILE* file = std::fopen(save.GetTempPath().c_str(), "wb");
    if (!file) {
        SetError(FileReason(EReason::FileWrite, path, errno));
        return false;
    }
    CArchive ar(file, CArchive::store);
    Serialize(ar);
    bool written = !std::ferror(file);
    int err = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        err = errno;
    }
    if (!written) {
        SetError(FileReason(EReason::FileWrite, path, err));
        return false;
    }
    if (!save.Commit()) {
        SetError(save.GetError());
        return false;
    }
    SetModifiedFlag(false);
    return true;
}
