#include "print/PrintJob.h"

#include "platform/SafeFile.h"
#include "view/CWaveViewCore.h"

#include <QDir>
#include <QFileInfo>
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

namespace {
SPrintResult Result(EPrintResult code, unsigned page = 0, std::string path = {})
{
    return SPrintResult{code, page, std::move(path)};
}
} // namespace

SPrintResult PrintDocument(CWaveViewCore& view, QPagedPaintDevice& device, const SPrintSettings& settings,
                           const PrintProgress& progress)
{
    // Refused before anything is started: such a page would come out blank,
    // and the page count cannot be worked out for it.
    const SPageLayout first = ComputePageLayout(GeometryOf(device), settings);
    if (!PrintAreaUsable(first.width, first.height, view.m_nPixelsPerFrame))
        return Result(EPrintResult::AreaUnusable);

    QPainter painter;
    if (!painter.begin(&device))
        return Result(EPrintResult::StartFailed);
    for (unsigned n = 1;; ++n) {
        const SPageLayout layout = ComputePageLayout(GeometryOf(device), settings);
        // The count as it stands before this page, for the progress report;
        // 0 only if the device's page shrank during the job.
        const unsigned count = CountPrintPages(view, layout.width, layout.height);
        if (count == 0) {
            painter.end();
            return Result(EPrintResult::AreaUnusable);
        }
        if (progress && !progress(n, count)) {
            if (auto* printer = dynamic_cast<QPrinter*>(&device))
                printer->abort();
            painter.end();
            return Result(EPrintResult::Cancelled);
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
            return Result(EPrintResult::PageFailed, n + 1);
        }
    }
    if (!painter.end())
        return Result(EPrintResult::FinishFailed);
    return Result(EPrintResult::Done);
}

SPrintResult PrintToPdf(CWaveViewCore& view, const std::string& path, const QPageLayout& layout, int dpi,
                        const QString& docName, const SPrintSettings& settings, const PrintProgress& progress)
{
    // A printer of its own: a job that fails to start leaves its printer
    // unusable for another file, and the caller's keeps its settings.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(dpi);
    printer.setPageLayout(layout);
    printer.setDocName(docName);
    printer.setCreator(QStringLiteral("Ondrel"));
    // A page without room is refused before any file is made.
    const SPageLayout first = ComputePageLayout(GeometryOf(printer), settings);
    if (!PrintAreaUsable(first.width, first.height, view.m_nPixelsPerFrame))
        return Result(EPrintResult::AreaUnusable);

    CSafeSave save;
    if (!save.Begin(path))
        return Result(EPrintResult::FileNotCreated, 0, path);
    printer.setOutputFileName(QString::fromStdString(save.GetTempPath()));
    SPrintResult result = PrintDocument(view, printer, settings, progress);
    if (!result.Succeeded())
        return result; // the temporary file goes with `save`
    if (!save.Commit())
        return Result(EPrintResult::FileNotSaved, 0, path);
    return result;
}

bool IsPdfDestination(const QPrinter& printer) { return printer.outputFormat() == QPrinter::PdfFormat; }

void UsePdfResolution(QPrinter& printer)
{
    if (IsPdfDestination(printer) && printer.resolution() != kPdfResolution)
        printer.setResolution(kPdfResolution);
}

QString PdfPathFor(const QString& folder, const QString& docName)
{
    QString base = QFileInfo(docName).completeBaseName();
    if (base.isEmpty())
        base = docName.isEmpty() ? QStringLiteral("print") : docName;
    return QDir(folder).filePath(base + QStringLiteral(".pdf"));
}
