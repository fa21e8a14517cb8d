#pragma once
// The document base of the editor's document/view structure: the modified
// flag, the path name and title, the views attached to the document and the
// overridable steps of new, open and save. It knows nothing of windows;
// failures leave a reason in GetError for the caller to put into words.

#include "framework/CCmdTarget.h"
#include "platform/Reason.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CDocument;

// A view of a document: told to bring itself up to date by UpdateAllViews.
class CView {
public:
    virtual ~CView() = default;
    // `sender` is the view that caused the change (or null); `lHint` and
    // `pHint` say what changed (0 and null: everything).
    virtual void OnUpdate(CView* sender, std::intptr_t lHint, void* pHint) = 0;
    // Called when the view first shows a document, and again after each new
    // or opened one; the base brings the view up to date.
    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
};

// A file open for the document's Serialize: loading or storing.
class CArchive {
public:
    enum Mode { load, store };
    CArchive(std::FILE* file, Mode mode) : m_pFile(file), m_mode(mode) {}
    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }
    // Reads up to `bytes` bytes; returns the count read (0 at the end).
    std::size_t Read(void* dest, std::size_t bytes) { return std::fread(dest, 1, bytes, m_pFile); }
    // Writes `bytes` bytes; returns false when they could not all be written.
    bool Write(const void* src, std::size_t bytes) { return std::fwrite(src, 1, bytes, m_pFile) == bytes; }

private:
    std::FILE* m_pFile;
    Mode m_mode;
};

class CDocument : public CCmdTarget {
public:
    CDocument() = default;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;
    virtual ~CDocument() = default;

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true) { m_bModified = bModified; }

    const std::string& GetPathName() const { return m_strPathName; }
    // Sets the full path and makes its last component the title.
    virtual void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::string& title) { m_strTitle = title; }

    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& GetViews() const { return m_views; }
    // Calls OnUpdate of every attached view except `sender`.
    void UpdateAllViews(CView* sender, std::intptr_t lHint = 0, void* pHint = nullptr);

    // Starts a new document: DeleteContents, no path, not modified. Returns
    // true.
    virtual bool OnNewDocument();
    // Opens `path` for reading (false with GetError set when it cannot be),
    // then DeleteContents, clears the modified flag and lets Serialize load
    // from the file. Returns true when the file could be opened.
    virtual bool OnOpenDocument(const std::string& path);
    // Lets Serialize store into a temporary file that replaces `path` only
    // when complete, then clears the modified flag. Returns false with
    // GetError set, leaving the old file as it was, on failure.
    virtual bool OnSaveDocument(const std::string& path);
    // Empties the document's data; the base does nothing.
    virtual void DeleteContents() {}
    // Loads or stores the document's data through `ar`; the base does
    // nothing.
    virtual void Serialize(CArchive& ar) { (void)ar; }

    // Why the last operation that failed did (EReason::None when it said
    // nothing, for example when the user had been told already).
    const SReason& GetError() const { return m_error; }
    void SetError(SReason reason) { m_error = std::move(reason); }

protected:

private:
    bool m_bModified = false;
    std::string m_strPathName;
    std::string m_strTitle;
    std::vector<CView*> m_views;
    SReason m_error;
};
