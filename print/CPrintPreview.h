#pragma once
// The print preview: the printed pages of the waveform on screen, one or two
// at a time, with a bar of buttons above them: print, next page, previous
// page, one/two pages, zoom in, zoom out and close. Page Down and Page Up
// turn the pages, Escape closes.
//
// The pages are drawn as the print job draws them, for the printer the job
// would use, with the page layout settings read from the profile whenever
// the pages are drawn. Only the pages on show are drawn: page n alone, or n
// and n + 1. The choice of one or two pages is kept in the profile, section
// "Settings", key "PreviewPages" (1 or 2), and comes back the next time.
//
// The print button closes the preview and leaves PrintRequested() set; the
// caller then runs its normal print command.

#include <QDialog>

#include <cstdint>

class CProfile;
class CWaveViewCore;
class QLabel;
class QPrinter;
class QPrintPreviewWidget;
class QPushButton;

class CPrintPreview : public QDialog {
    Q_OBJECT
public:
    // Identifiers of the bar's controls, which are also their object names.
    static constexpr int AFX_ID_PREVIEW_CLOSE = 58112;
    static constexpr int AFX_ID_PREVIEW_NUMPAGE = 58113;
    static constexpr int AFX_ID_PREVIEW_NEXT = 58114;
    static constexpr int AFX_ID_PREVIEW_PREV = 58115;
    static constexpr int AFX_ID_PREVIEW_PRINT = 58116;
    static constexpr int AFX_ID_PREVIEW_ZOOMIN = 58117;
    static constexpr int AFX_ID_PREVIEW_ZOOMOUT = 58118;
    // The page label's object name.
    static constexpr int IDC_PAGE_DESC = 59136;

    // Zoom steps: the whole page(s) in the window, then twice and four
    // times that.
    static constexpr int kZoomSteps = 3;

    CPrintPreview(QPrinter& printer, CProfile& profile, CWaveViewCore& view, QWidget* parent = nullptr);

    // 1 or 2.
    int PagesShown() const { return m_nPages; }
    // The first page on show, counting from 1.
    unsigned CurrentPage() const { return m_nCurrentPage; }
    // The number of pages of the job as last worked out (0 when the page
    // leaves no room for the waveform).
    unsigned PageCount() const { return m_nPageCount; }
    int ZoomStep() const { return m_nZoom; }
    bool PrintRequested() const { return m_bPrintRequested; }
    QPrintPreviewWidget* PreviewWidget() const { return m_pPreview; }

    // The page label: "ﾍﾟｰｼﾞ n", or "ﾍﾟｰｼﾞ n-m" while two pages are on show.
    QString PageDescription() const;

    void NextPage();
    void PrevPage();
    void TogglePages();
    void ZoomIn();
    void ZoomOut();
    void Print();

private:
    // Draws the pages on show onto the preview's printer.
    void OnPaintRequested(QPrinter* printer);
    // Works out the page count again and brings the buttons and the label
    // up to date.
    void UpdateControls();
    unsigned CountPages() const;
    void ApplyZoom();
    void ShowPages();

    QPrinter& m_printer;
    CProfile& m_profile;
    CWaveViewCore& m_view;
    int m_nPages = 1;
    unsigned m_nCurrentPage = 1;
    unsigned m_nPageCount = 1;
    int m_nZoom = 0;
    double m_fitFactor = 1.0;
    bool m_bPrintRequested = false;

    QPrintPreviewWidget* m_pPreview = nullptr;
    QPushButton* m_pPrint = nullptr;
    QPushButton* m_pNext = nullptr;
    QPushButton* m_pPrev = nullptr;
    QPushButton* m_pNumPage = nullptr;
    QPushButton* m_pZoomIn = nullptr;
    QPushButton* m_pZoomOut = nullptr;
    QPushButton* m_pClose = nullptr;
    QLabel* m_pPageDesc = nullptr;
};
