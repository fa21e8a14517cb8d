#include "print/PrintJob.h"

#include "res/Strings.h"
#include "res/resource.h"
#include "view/CWaveViewCore.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QRect>

SDeviceGeometry GeometryOf(const QPagedPaintDevice& device)
{
    SDeviceGeometry g;
    g.dpiX = device.logicalDpiX();
    g.dpiY = device.logicalDpiY();
    // The page layout gives its rectangles at one resolution; printers and
    // PDF writers have square pixels, so the horizontal one serves.
    const QPageLayout layout = device.pageLayout();
    const QRect full = layout.fullRectPixels(g.dpiX);
    const QRect paint = layout.paintRectPixels(g.dpiX);
    g.pageWidth = full.width();
    g.pageHeight = full.height();
    g.offsetX = paint.x() - full.x();
    g.offsetY = paint.y() - full.y();
    return g;
}

std::string UnusableAreaMessage()
{
    return "The page leaves no room for a strip of the waveform: lower the margins or the "
           "resolution factor in the page layout settings.";
}

bool PrintDocument(CWaveViewCore& view, QPagedPaintDevice& device, const SPrintSettings& settings,
                   std::string& error, std::function<bool(unsigned page, unsigned count)> progress)
{
    error.clear();
    // Refused before anything is started: such a page would come out blank,
    // and the page count cannot be worked out for it.
    const SPageLayout first = ComputePageLayout(GeometryOf(device), settings);
    if (!PrintAreaUsable(first.width, first.height, view.m_nPixelsPerFrame)) {
        error = UnusableAreaMessage();
        return false;
    }

    QPainter painter;
    if (!painter.begin(&device)) {
        error = AfxLoadString(AFX_IDP_FAILED_TO_START_PRINT).toStdString();
        return false;
    }
    for (unsigned n = 1;; ++n) {
        const SPageLayout layout = ComputePageLayout(GeometryOf(device), settings);
        // The count as it stands before this page, for the progress report;
        // 0 only if the device's page shrank during the job.
        const unsigned count = CountPrintPages(view, layout.width, layout.height);
        if (count == 0) {
            painter.end();
            error = UnusableAreaMessage();
            return false;
        }
        if (progress && !progress(n, count)) {
            if (auto* printer = dynamic_cast<QPrinter*>(&device))
                printer->abort();
            painter.end();
            return false;
        }
        painter.save();
        SetupPainterForPage(painter, layout);
        PrintPage(view, painter, settings.reso, QRect(0, 0, layout.width, layout.height), n);
        painter.restore();

        // The job ends after the page whose number reaches the count.
        if (n >= CountPrintPages(view, layout.width, layout.height))
            break;
        if (!device.newPage()) {
            painter.end();
            error = "The printer refused page " + std::to_string(n + 1) + ".";
            return false;
        }
    }
    if (!painter.end()) {
        error = "The print job could not be finished.";
        return false;
    }
    return true;
}
