#pragma once
// The single-document template: one document, one frame window and its
// views, created once and reused by every new and opened file. It carries
// the framework's file flows: new, open, save, save as, and the question
// whether to save a modified document before it is replaced or closed.

#include <QString>

#include <functional>

class CDocument;
class CRecentFileList;
class QWidget;

class CSingleDocTemplate {
public:
    // `frame` shows the caption "<application> - <document name>"; `mru`
    // (may be null) records opened and saved files.
    CSingleDocTemplate(CDocument& doc, QWidget& frame, CRecentFileList* mru);

    CDocument& GetDocument() const { return m_doc; }

    // Opens `path` into the document, or starts a new document when `path`
    // is empty, after asking to save a modified document. A file that fails
    // to open is reported ("ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。") and leaves the
    // document, its name and the readouts as they were. Returns true when
    // the document now holds the file (or the new document).
    bool OpenDocumentFile(const QString& path);

    bool OnFileNew() { return OpenDocumentFile(QString()); }
    // Asks for a file with the open dialog and opens it.
    void OnFileOpen();
    // Saves under the document's path, or asks for a name when it has none.
    // When the overwrite question (SetOverwriteQuestion) has a text, asks it
    // first: はい saves under the path, いいえ goes on as OnFileSaveAs,
    // ｷｬﾝｾﾙ saves nothing. False when the save was refused, cancelled or
    // failed.
    bool OnFileSave();
    // Asks for a name and saves under it; the document takes the new name.
    bool OnFileSaveAs();

    // When the document is modified, asks "%1 への変更を保存しますか?":
    // はい saves (false when the save fails), いいえ goes on without saving,
    // キャンセル stops. Returns true when the caller may go on.
    bool SaveModified();

    // Asked before the document is replaced (new, open, a dropped file): a
    // non-empty answer means the audio must stay (a sound device or a run
    // holds it) and is shown to the user as the reason.
    void SetBusyHandler(std::function<QString()> handler) { m_busyHandler = std::move(handler); }
    // Asked before every save: a non-empty answer refuses the save and is
    // shown to the user as the reason (nothing is written).
    void SetSaveRefusalHandler(std::function<QString()> handler) { m_saveRefusal = std::move(handler); }

    // Asked before 上書き保存 writes over the document's own file: a
    // non-empty answer is a question put to the user with はい, いいえ and
    // ｷｬﾝｾﾙ (see OnFileSave). 名前を付けて保存 never asks it.
    void SetOverwriteQuestion(std::function<QString()> handler) { m_overwriteQuestion = std::move(handler); }
    // Asked after a file has opened: a non-empty answer is shown to the user
    // (what had to be done to open it).
    void SetOpenNotice(std::function<QString()> handler) { m_openNotice = std::move(handler); }

    // The document's name as shown: its title, or "無題" for a new one.
    QString GetDocumentName() const;
    void UpdateFrameTitle();
    // The document has taken other audio, a name and a modified flag
    // outside the file flows (recovered work): the views start over and the
    // caption shows the name.
    void OnDocumentReplaced() { InitialUpdateViews(); }

private:
    // Saves to `path`, or asks for a name when it is empty. A name without
    // an extension gets ".wav"; another extension is refused with a
    // message. With `bReplace` the document takes the name.
    bool DoSave(QString path, bool bReplace, bool bAskOverwrite = false);
    void InitialUpdateViews();

    CDocument& m_doc;
    QWidget& m_frame;
    CRecentFileList* m_pMru;
    std::function<QString()> m_busyHandler;
    std::function<QString()> m_saveRefusal;
    std::function<QString()> m_overwriteQuestion;
    std::function<QString()> m_openNotice;
};
