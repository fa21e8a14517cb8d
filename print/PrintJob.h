#pragma once
// A whole print job of the waveform on a printer, a print preview's printer
// or any other paged device (a PDF writer): the device's geometry, then
// page after page laid out and drawn by the print rendering routines. Also
// the destination of a job: a printer, or a PDF file when no printer is
// installed or PDF was chosen in the printer setup.
//
// Nothing here shows a message: a job that fails returns its reason and the
// caller says it in its own words.

#include "print/PrintRendering.h"

#include <QString>

#include <functional>
#include <string>

class CWaveViewCore;
class QPageLayout;
class QPagedPaintDevice;
class QPrinter;

// The resolution of a PDF destination, in dots per inch: that of an
// ordinary office printer, so that a strip of 256 drawing units is about
// 22 mm high at resolution factor 1.
constexpr int kPdfResolution = 300;

// The device's geometry for the page layout: its resolution (logical dots
// per inch), the paper's size and the printable area's offset from the
// paper's corner, both in device pixels, from its page layout's full and
// paint rectangles. A device in full-page mode has an offset of 0.
// Takes a QPrinter as well as any other paged device.
SDeviceGeometry GeometryOf(const QPagedPaintDevice& device);

// How a print job ended.
enum class EPrintResult {
    Done,           // every page was drawn (and a PDF file is in place)
    Cancelled,      // the progress callback stopped the job: nothing to report
    AreaUnusable,   // the page leaves no room for one strip: nothing was started
    StartFailed,    // the device would not start the job
    PageFailed,     // the device refused to begin page `page`
    FinishFailed,   // the end of the job failed
    FileNotCreated, // PDF: no new file could be made beside `path`
    FileNotSaved,   // PDF: the finished job could not be moved over `path`
    kEnd            // one past the last reason
};

struct SPrintResult {
    EPrintResult code = EPrintResult::Done;
    unsigned page = 0; // PageFailed: the page that could not begin
    std::string path;  // FileNotCreated, FileNotSaved: the PDF file asked for

    bool Succeeded() const { return code == EPrintResult::Done; }
};

// `progress(page, count)` is called before each page with the page about to
// be drawn and the count as known then; returning false cancels the job.
using PrintProgress = std::function<bool(unsigned page, unsigned count)>;

// Prints the waveform of `view`'s document (or of its selection, when it
// has one) on `device`, which may be a QPrinter, the printer handed out by a
// print preview's paintRequested, or a QPdfWriter.
//
// The settings are taken once for the whole job; the caller reads them from
// the profile just before (so a change made in the page layout dialog
// applies to the next job or preview). Each page is laid out from the
// device's geometry anew, drawn in its own saved painter state, and the page
// count is worked out again after each page: the job ends after the page
// whose number reaches it. A cancelled QPrinter is aborted.
//
// Returns Done, Cancelled, AreaUnusable (checked before the device is
// opened), StartFailed, PageFailed or FinishFailed.
SPrintResult PrintDocument(CWaveViewCore& view, QPagedPaintDevice& device, const SPrintSettings& settings,
                           const PrintProgress& progress = {});

// Prints as PrintDocument does into the PDF file `path`, on paper of
// `layout` at `dpi` dots per inch, with `docName` as the document's title.
// The pages go to a new file beside `path` that replaces it only when the
// job is complete: a failed or cancelled job leaves a file of that name as
// it was, and no partial file behind. Returns PrintDocument's results, and
// FileNotCreated or FileNotSaved with `path` when the file cannot be
// written. Needs a Qt application object (a core one serves).
SPrintResult PrintToPdf(CWaveViewCore& view, const std::string& path, const QPageLayout& layout, int dpi,
                        const QString& docName, const SPrintSettings& settings,
                        const PrintProgress& progress = {});

// Whether a job on `printer` writes a PDF file: Qt falls back to PDF when
// no printer is installed, and the printer setup offers PDF beside the
// printers.
bool IsPdfDestination(const QPrinter& printer);

// Makes a PDF destination a kPdfResolution device (Qt's high-resolution PDF
// is 1200 dpi, at which the waveform's lines come out hair-thin). A real
// printer keeps its own resolution.
void UsePdfResolution(QPrinter& printer);

// The PDF file for a document named `docName` (a file name such as
// "a.wav", or "無題"): its base name with ".pdf", in `folder`.
QString PdfPathFor(const QString& folder, const QString& docName);
