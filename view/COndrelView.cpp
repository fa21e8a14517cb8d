#include "view/COndrelView.h"

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"

COndrelView::COndrelView(COndrelDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    setAutoFillBackground(true);
    m_doc.AddView(this);
}

COndrelView::~COndrelView() { m_doc.RemoveView(this); }

void COndrelView::OnUpdate(CView*, std::intptr_t, void*) { update(); }

void COndrelView::OnInitialUpdate()
{
    update();
    m_doc.GetFrame().SetSelInfo(0.0, 0.0);
}

bool COndrelView::OnCmdMsg(unsigned nID, CCmdUI* pCmdUI)
{
    return CCmdTarget::OnCmdMsg(nID, pCmdUI) || m_doc.OnCmdMsg(nID, pCmdUI);
}

bool COndrelView::HasCommand(unsigned nID) const
{
    return CCmdTarget::HasCommand(nID) || m_doc.HasCommand(nID);
}
