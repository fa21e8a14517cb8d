#pragma once
// The one view of the document: the central widget of the main window. It
// keeps its client area (the widget above its horizontal scroll bar) in an
// image of its own and draws into it exactly as CWaveViewCore says: the full
// paint when invalidated, the detail pane and position bar on a scroll, the
// inverted columns during a drag. Painting the widget only shows the image.

#include "framework/CCmdTarget.h"
#include "framework/Document.h"
#include "platform/WaveAudio.h"
#include "view/CWaveViewCore.h"

#include <QImage>
#include <QWidget>

#include <functional>

class COndrelDoc;
class QScrollBar;

class COndrelView : public QWidget, public CWaveViewCore, public CView, public CCmdTarget, public IWaveNotify {
    Q_OBJECT
public:
    explicit COndrelView(COndrelDoc& doc, QWidget* parent = nullptr);
    ~COndrelView() override;

    // Repaints everything.
    void OnUpdate(CView* sender, std::intptr_t lHint, void* pHint) override;
    // A new or opened document: first frame, no selection, scroll bar at 0
    // (range 0..1000) and shown, selection readouts blank, full repaint.
    void OnInitialUpdate() override;

    // The view first, then its document: the view's commands win.
    bool OnCmdMsg(unsigned nID, CCmdUI* pCmdUI) override;
    bool HasCommand(unsigned nID) const override;

    // Delete: removes the selected bytes (refused with a message when the
    // undo copy cannot be written), then back to the first frame with an
    // empty selection.
    void OnEditDelete();

    QScrollBar* GetScrollBar() const { return m_pScroll; }
    // The client area's pixels as last drawn.
    const QImage& GetImage() const { return m_image; }
    // Marks the whole client area for the full paint sequence.
    void Invalidate();
    // Runs a pending full paint now (tests and the grab of the window).
    void PaintNow();
    // Sends a scroll code as the scroll bar does.
    void HScroll(int nCode, int nThumbPos);

    // Transport: record, play (the selection or everything), stop.
    void OnPcmRecord();
    void OnPcmPlay();
    void OnPcmStop();
    // The devices' end notices: close the device; after a recording, adopt
    // the recorded data, show its size, back to the first frame with no
    // selection, repaint. The transport returns to idle.
    void OnWomDone(WAVEHDR* pHdr) override;
    void OnWimData(WAVEHDR* pHdr) override;
    // True when no sound device holds the data block (nothing is being
    // recorded or played, and no device is waiting to be closed).
    bool IsDataFree() const;
    // Asked before a recording replaces a modified document (the save
    // question); false keeps the document and records nothing.
    void SetReplaceHandler(std::function<bool()> handler) { m_replaceHandler = std::move(handler); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    QSize ClientSize() const;
    // A surface on the client image, made to the client's size first when
    // it has none yet (then a full paint follows anyway).
    bool EnsureImage();
    void ReadSystemColors();
    void LayoutScrollBar();
    void OnScrollAction(int action);
    // Puts the scroll bar's thumb at `position` without the bar reporting
    // it back as a scroll of the user's.
    void SetScrollPos(int position);

    COndrelDoc& m_doc;
    QScrollBar* m_pScroll;
    QImage m_image;
    bool m_bFullPaintPending = true;
    int m_nScrollPos = 0;        // the thumb position last set from the start frame
    int m_nTrackPos = -1;        // where the user's drag put the thumb, -1 when not dragging
    bool m_bSettingScroll = false;
    std::function<bool()> m_replaceHandler;
};
