#pragma once
// A whole print job of the waveform on a printer, a print preview's printer
// or any other paged device (a PDF writer): the device's geometry, then
// page after page laid out and drawn by the print rendering routines.

#include "print/PrintRendering.h"

#include <functional>
#include <string>

class CWaveViewCore;
class QPagedPaintDevice;

// The device's geometry for the page layout: its resolution (logical dots
// per inch), the paper's size and the printable area's offset from the
// paper's corner, both in device pixels, from its page layout's full and
// paint rectangles. A device in full-page mode has an offset of 0.
// Takes a QPrinter as well as any other paged device.
SDeviceGeometry GeometryOf(const QPagedPaintDevice& device);

// The message for a page too small for one strip of the waveform.
std::string UnusableAreaMessage();

// Prints the waveform of `view`'s document (or of its selection, when it
// has one) on `device`, which may be a QPrinter, the printer handed out by a
// print preview's paintRequested, or a QPdfWriter.
//
// The settings are taken once for the whole job; the caller reads them from
// the profile just before (so a change made in the page layout dialog
// applies to the next job or preview). Each page is laid out from the
// device's geometry anew, drawn in its own saved painter state, and the page
// count is worked out again after each page: the job ends after the page
// whose number reaches it.
//
// `progress(page, count)` is called before each page with the page about to
// be drawn and the count as known then; returning false cancels the job
// (a QPrinter is aborted).
//
// Returns true when every page was drawn. Otherwise false with `error` set
// to the message for the user: the page leaves no room for one strip
// (UnusableAreaMessage: nothing was started), the print job could not be
// started ("印刷ｼﾞｮﾌﾞを開始できませんでした。"), or a page or the end of the
// job failed. A cancelled job gives false with an empty `error`.
bool PrintDocument(CWaveViewCore& view, QPagedPaintDevice& device, const SPrintSettings& settings,
                   std::string& error, std::function<bool(unsigned page, unsigned count)> progress = {});
