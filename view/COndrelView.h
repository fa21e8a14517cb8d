#pragma once
// The one view of the document: the central widget of the main window.
// It learns of changes through OnUpdate and OnInitialUpdate and handles the
// view's commands.

#include "platform/CCmdTarget.h"
#include "platform/Document.h"

#include <QWidget>

class COndrelDoc;

class COndrelView : public QWidget, public CView, public CCmdTarget {
    Q_OBJECT
public:
    explicit COndrelView(COndrelDoc& doc, QWidget* parent = nullptr);
    ~COndrelView() override;

    COndrelDoc& GetDocument() const { return m_doc; }

    // Repaints.
    void OnUpdate(CView* sender, std::intptr_t lHint, void* pHint) override;
    // Repaints and blanks the selection readouts of the status bar.
    void OnInitialUpdate() override;

    // The view first, then its document: the view's commands win.
    bool OnCmdMsg(unsigned nID, CCmdUI* pCmdUI) override;
    bool HasCommand(unsigned nID) const override;

private:
    COndrelDoc& m_doc;
};
