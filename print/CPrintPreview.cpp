#include "print/CPrintPreview.h"

#include "framework/DialogUnits.h"
#include "platform/Profile.h"
#include "print/PrintJob.h"
#include "print/PrintRendering.h"
#include "res/Strings.h"
#include "res/resource.h"
#include "view/CWaveViewCore.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>

namespace {

const char kSection[] = "Settings";
const char kPagesKey[] = "PreviewPages";

} // namespace

CPrintPreview::CPrintPreview(QPrinter& printer, CProfile& profile, CWaveViewCore& view, QWidget* parent)
    : QDialog(parent), m_printer(printer), m_profile(profile), m_view(view)
{
    setFont(DialogFont());
    setWindowTitle(CommandTip(ID_FILE_PRINT_PREVIEW));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(parent ? parent->size().expandedTo(QSize(640, 480)) : QSize(800, 600));

    m_nPages = m_profile.GetProfileInt(kSection, kPagesKey, 1) == 2 ? 2 : 1;

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QWidget(this);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(4, 4, 4, 4);
    auto addButton = [this, bar, barLayout](int id, const QString& text, void (CPrintPreview::*slot)()) {
        auto* button = new QPushButton(text, bar);
        button->setObjectName(QString::number(id));
        // The buttons act only when clicked: Enter must not print.
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this, slot);
        barLayout->addWidget(button);
        return button;
    };
    m_pPrint = addButton(AFX_ID_PREVIEW_PRINT, QStringLiteral("印刷(&P)..."), &CPrintPreview::Print);
    m_pNext = addButton(AFX_ID_PREVIEW_NEXT, QStringLiteral("次ﾍﾟｰｼﾞ(&N)"), &CPrintPreview::NextPage);
    m_pPrev = addButton(AFX_ID_PREVIEW_PREV, QStringLiteral("前ﾍﾟｰｼﾞ(&V)"), &CPrintPreview::PrevPage);
    m_pNumPage = addButton(AFX_ID_PREVIEW_NUMPAGE, QString(), &CPrintPreview::TogglePages);
    m_pZoomIn = addButton(AFX_ID_PREVIEW_ZOOMIN, QStringLiteral("拡大(&I)"), &CPrintPreview::ZoomIn);
    m_pZoomOut = addButton(AFX_ID_PREVIEW_ZOOMOUT, QStringLiteral("縮小(&O)"), &CPrintPreview::ZoomOut);
    m_pClose = addButton(AFX_ID_PREVIEW_CLOSE, QStringLiteral("閉じる(&C)"), &CPrintPreview::reject);
    barLayout->addStretch(1);
    m_pPageDesc = new QLabel(bar);
    m_pPageDesc->setObjectName(QString::number(IDC_PAGE_DESC));
    m_pPageDesc->setTextFormat(Qt::PlainText);
    barLayout->addWidget(m_pPageDesc);
    layout->addWidget(bar);

    m_pPreview = new QPrintPreviewWidget(&m_printer, this);
    // The pages on show are the only pages generated, so "all pages" lays
    // out exactly one or two side by side.
    m_pPreview->setViewMode(QPrintPreviewWidget::AllPagesView);
    m_pPreview->setZoomMode(QPrintPreviewWidget::FitInView);
    connect(m_pPreview, &QPrintPreviewWidget::paintRequested, this, &CPrintPreview::OnPaintRequested);
    layout->addWidget(m_pPreview, 1);

    // The preview's keys, wherever the focus is inside the window.
    auto addKey = [this](QKeySequence key, void (CPrintPreview::*slot)()) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    addKey(QKeySequence(Qt::Key_PageDown), &CPrintPreview::NextPage);
    addKey(QKeySequence(Qt::Key_PageUp), &CPrintPreview::PrevPage);
    addKey(QKeySequence(Qt::Key_Escape), &CPrintPreview::reject);

    UpdateControls();
}

unsigned CPrintPreview::CountPages() const
{
    const SPrintSettings settings = SPrintSettings::FromProfile(m_profile);
    const SPageLayout page = ComputePageLayout(GeometryOf(m_printer), settings);
    return CountPrintPages(m_view, page.width, page.height);
}

QString CPrintPreview::PageDescription() const
{
    // First line: one page; second line: two pages.
    const QStringList formats = AfxLoadString(AFX_IDS_PREVIEWPAGEDESC).split(u'\n');
    const unsigned second = m_nCurrentPage + 1;
    if (m_nPages == 2 && second <= m_nPageCount && formats.size() > 1)
        return QString::asprintf(formats[1].toUtf8().constData(), m_nCurrentPage, second);
    return QString::asprintf(formats[0].toUtf8().constData(), m_nCurrentPage);
}

void CPrintPreview::UpdateControls()
{
    m_nPageCount = CountPages();
    // A page too small for the waveform still shows as one blank page.
    const unsigned last = std::max(m_nPageCount, 1u);
    m_nCurrentPage = std::clamp(m_nCurrentPage, 1u, last);

    const bool bFit = m_nZoom == 0;
    m_pNext->setEnabled(m_nCurrentPage + static_cast<unsigned>(m_nPages) - 1 < last);
    m_pPrev->setEnabled(m_nCurrentPage > 1);
    m_pNumPage->setText(AfxLoadString(m_nPages == 2 ? AFX_IDS_ONEPAGE : AFX_IDS_TWOPAGE));
    // Going back to one page is always possible; two pages need a second.
    m_pNumPage->setEnabled(bFit && (m_nPages == 2 || last > 1));
    m_pZoomIn->setEnabled(m_nZoom < kZoomSteps - 1);
    m_pZoomOut->setEnabled(m_nZoom > 0);
    m_pPageDesc->setText(PageDescription());
}

void CPrintPreview::ShowPages()
{
    UpdateControls();
    m_pPreview->updatePreview();
}

void CPrintPreview::NextPage()
{
    if (!m_pNext->isEnabled())
        return;
    ++m_nCurrentPage;
    ShowPages();
}

void CPrintPreview::PrevPage()
{
    if (!m_pPrev->isEnabled())
        return;
    --m_nCurrentPage;
    ShowPages();
}

void CPrintPreview::TogglePages()
{
    if (!m_pNumPage->isEnabled())
        return;
    m_nPages = m_nPages == 2 ? 1 : 2;
    m_profile.WriteProfileInt(kSection, kPagesKey, m_nPages);
    ShowPages();
}

void CPrintPreview::ApplyZoom()
{
    if (m_nZoom == 0)
        m_pPreview->setZoomMode(QPrintPreviewWidget::FitInView);
    else
        m_pPreview->setZoomFactor(m_fitFactor * (1 << m_nZoom));
    UpdateControls();
}

void CPrintPreview::ZoomIn()
{
    if (m_nZoom >= kZoomSteps - 1)
        return;
    if (m_nZoom == 0)
        m_fitFactor = m_pPreview->zoomFactor();
    ++m_nZoom;
    ApplyZoom();
}

void CPrintPreview::ZoomOut()
{
    if (m_nZoom == 0)
        return;
    --m_nZoom;
    ApplyZoom();
}

void CPrintPreview::Print()
{
    m_bPrintRequested = true;
    accept();
}

void CPrintPreview::OnPaintRequested(QPrinter* printer)
{
    // The settings and the device's geometry are read anew at every
    // drawing, as for every page of a print job.
    const SPrintSettings settings = SPrintSettings::FromProfile(m_profile);
    QPainter painter(printer);
    if (!painter.isActive())
        return;
    const SPageLayout first = ComputePageLayout(GeometryOf(*printer), settings);
    m_nPageCount = CountPrintPages(m_view, first.width, first.height);
    if (m_nPageCount == 0)
        return; // one blank page: there is no room for the waveform
    const unsigned last = std::min(m_nCurrentPage + static_cast<unsigned>(m_nPages) - 1, m_nPageCount);
    for (unsigned n = m_nCurrentPage; n <= last; ++n) {
        if (n > m_nCurrentPage)
            printer->newPage();
        const SPageLayout page = ComputePageLayout(GeometryOf(*printer), settings);
        painter.save();
        SetupPainterForPage(painter, page);
        PrintPage(m_view, painter, settings.reso, QRect(0, 0, page.width, page.height), n);
        painter.restore();
    }
}
