#pragma once
// The waveform view without a window: its state, the pane layout, the
// mapping between frames and x, scrolling, the drawing of every pane onto a
// drawing surface, and the mouse selection. The window (COndrelView) and the
// command-line renderer both run this code.
//
// The view shows three strips, top to bottom: a 16-pixel position bar, the
// overview of the whole file in the upper third, and the detail pane at 2
// pixels per frame, moved by the scroll bar. Stereo panes are split into an
// upper (first channel) and a lower half. The format used is the program's
// current format (CCurrentFormat), the data the document's.

#include "platform/CDrawSurface.h"

#include <cstdint>
#include <vector>

class COndrelDoc;
class CCurrentFormat;

// The colours and frame metric the desktop supplies.
struct SSysColors {
    COLORREF menu = RGB(192, 192, 192);         // bands between strips, position bar
    COLORREF btnHighlight = RGB(255, 255, 255); // upper edge of a band
    COLORREF btnShadow = RGB(128, 128, 128);    // lower edge of a band
    int nFrameMetric = 4;                       // f: height of the band below the overview
};

// The pane in which a selection was made.
enum ESelPane {
    PaneNone = 0,
    PaneOverviewMono = 1,
    PaneOverviewCh1 = 2,
    PaneOverviewCh2 = 3,
    PaneDetailMono = 4,
    PaneDetailCh1 = 5,
    PaneDetailCh2 = 6,
};

// Scroll codes of the horizontal scroll bar.
enum EScrollCode {
    SB_LINELEFT = 0,
    SB_LINERIGHT = 1,
    SB_PAGELEFT = 2,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_LEFT = 6,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
};

class CWaveViewCore {
public:
    explicit CWaveViewCore(COndrelDoc& doc);
    virtual ~CWaveViewCore() = default;

    int m_nTransport = 0; // idle (0), recording or playing
    RECT m_rcOverview{};
    RECT m_rcPosition{};
    RECT m_rcDetail{};
    RECT m_rcOverviewCh1{};
    RECT m_rcOverviewCh2{};
    RECT m_rcDetailCh1{};
    RECT m_rcDetailCh2{};
    std::uint32_t m_nFramesPerColumn = 0; // frames per overview column, set by each overview drawing
    int m_nStartFrame = 0;                // frame at the left edge of the detail pane
    int m_nPixelsPerFrame = 2;
    int m_nSelPane = PaneNone;
    int m_nSelAnchor = 0;  // client x where the drag began
    int m_nSelCurrent = 0; // client x where the drag is or ended
    int m_bDragging = 0;
    SSysColors m_colors;

    // Lays the panes out for a client area of W x H pixels.
    void RecalcLayout(int W, int H);
    // The full paint: layout for the surface's size, separators, overview,
    // detail pane, position bar, selection highlight.
    void OnDraw(CDrawSurface& dc);

    virtual void DrawPaneBorders(CDrawSurface& dc);
    virtual void DrawOverviewMono8(CDrawSurface& dc);
    virtual void DrawOverviewMono16(CDrawSurface& dc);
    virtual void DrawOverviewStereo8(CDrawSurface& dc);
    virtual void DrawOverviewStereo16(CDrawSurface& dc);
    virtual void DrawDetailMono8(CDrawSurface& dc);
    virtual void DrawDetailMono16(CDrawSurface& dc);
    virtual void DrawDetailStereo8(CDrawSurface& dc);
    virtual void DrawDetailStereo16(CDrawSurface& dc);
    virtual void DrawPositionBar(CDrawSurface& dc);
    // The overview and detail operations for the current format.
    void DrawOverview(CDrawSurface& dc);
    void DrawDetail(CDrawSurface& dc);
    // Which of the four drawings fits the current format: 0 mono 8-bit,
    // 1 mono 16-bit, 2 stereo 8-bit, 3 stereo 16-bit.
    int FormatMember() const;

    // 1 when left < x < right and top < y < bottom, else 0.
    virtual int IsInsidePane(int x, int y, const RECT& rc) const;
    // One step of a drag: inverts the columns between the previous and the
    // new x in the highlighted panes and shows duration and frequency.
    virtual void TrackSelection(CDrawSurface& dc, int x, int y);
    // Inverts the whole selection (columns lo..hi, both included).
    virtual void DrawSelection(CDrawSurface& dc);
    // The selection in bytes of the data block, never reaching past the
    // valid data; a length of 0 means no selection.
    virtual std::uint32_t GetSelectionLength() const;
    virtual std::uint32_t GetSelectionStart() const;

    // A scroll bar message. Returns false (nothing done) when there is no
    // data; otherwise moves m_nStartFrame, stores the scroll bar position to
    // show in `nNewPos` and redraws the detail pane and position bar on `dc`.
    bool OnHScroll(int nCode, int nThumbPos, int nRangeMax, CDrawSurface& dc, int& nNewPos);
    // Left button pressed at (x, y): returns true when a selection started
    // (the caller captures the mouse, blanks nothing more and repaints all).
    bool OnLButtonDown(int x, int y);
    void OnLButtonUp();
    // The pointer moved to (x, y), with or without a button held.
    void OnMouseMove(CDrawSurface& dc, int x, int y);
    // Back to the first frame with an empty selection (delete, end of a
    // recording, a new or opened document).
    void ResetScrollAndSelection();

    // Frames N of the data in the current format (0 for a format without
    // bytes per frame).
    std::uint32_t GetFrameCount() const;
    // Frames the detail pane shows: width / pixels per frame.
    int GetVisibleFrames() const;
    // Bytes per frame of the current format.
    std::uint32_t GetBytesPerFrame() const;

    COndrelDoc& GetDocument() const { return m_doc; }

protected:
    COndrelDoc& m_doc;
    CCurrentFormat& m_frame;

private:
    struct SPaneSpec {
        int nChannels;     // 1 or 2
        int nBytes;        // bytes per sample: 1 or 2
        const RECT* panes[2];
    };
    bool PreparePanes(CDrawSurface& dc, const SPaneSpec& spec, bool bHasData, int cy[2], int half[2]);
    void DrawOverviewFamily(CDrawSurface& dc, int nMember, const SPaneSpec& spec);
    void DrawDetailFamily(CDrawSurface& dc, const SPaneSpec& spec);
    void InvertColumns(CDrawSurface& dc, int a, int b);
    bool IsOverviewKind() const { return m_nSelPane >= PaneOverviewMono && m_nSelPane <= PaneOverviewCh2; }
    bool IsDetailKind() const { return m_nSelPane >= PaneDetailMono && m_nSelPane <= PaneDetailCh2; }

    // The overview's per-column maxima and minima, kept for the data they
    // were computed from so that repeated paints do not read it again.
    struct SSummary {
        bool bValid = false;
        std::uint64_t nVersion = 0;
        std::uint32_t nLength = 0;
        int nMember = -1;
        std::uint32_t nFramesPerColumn = 0;
        std::uint32_t nLimit = 0;
        std::vector<std::int32_t> extremes; // per column: max, min of channel 1 [, max, min of channel 2]
    };
    SSummary m_summary;
};
