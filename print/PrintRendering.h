#pragma once
// Printed pages of the waveform, without a printer: the page layout worked
// out from the device's geometry and the page layout settings, the page
// count, and the drawing of one page onto any QPainter. The print job, the
// print preview and the command-line PDF writer share this code, and the
// tests draw pages onto images with it.
//
// A page is filled with horizontal strips 256 drawing units high. Mono data
// is drawn about a centre line 128 units below a strip's top, stereo data
// about two centre lines 64 and 193 units below it. Consecutive frames are
// joined by line segments `m_nPixelsPerFrame` drawing units apart, strip
// after strip and page after page, until the data or the selection is used
// up.

#include <cstdint>

class CProfile;
class CWaveViewCore;
class QPainter;
class QRect;

// The page layout settings: margins in millimetres and the resolution
// factor (device pixels per drawing unit along the coarser axis).
struct SPrintSettings {
    int left = 20;
    int right = 0;
    int up = 20;
    int down = 0;
    int reso = 1;

    // Section "Print Layout", keys "Left", "Right", "Up", "Down", "Reso";
    // a missing key keeps its default above. Values are taken as stored.
    static SPrintSettings FromProfile(const CProfile& profile);
};

// What a page layout needs to know about the output device.
struct SDeviceGeometry {
    int dpiX = 0;
    int dpiY = 0;
    int pageWidth = 0;  // the physical page, device pixels
    int pageHeight = 0;
    int offsetX = 0;    // the printable area's offset from the paper's corner, device pixels
    int offsetY = 0;
};

// One page's layout. The painter's origin is the printable area's corner;
// a drawing unit is sx by sy device pixels, and drawing unit (0, 0) lies at
// (lx, ty) drawing units from that corner.
struct SPageLayout {
    int sx = 1, sy = 1;        // device pixels per drawing unit
    int oxm = 0, oym = 0;      // printable area's offset, whole millimetres
    int left = 0, top = 0;     // effective margins, millimetres from the printable area
    int right = 0, bottom = 0;
    int lx = 0, ty = 0;        // left and top margins, drawing units
    int width = 0, height = 0; // drawing area, drawing units (may be 0 or less on a tiny page)
};

// Works out the layout of a page:
// - offset in whole millimetres, truncated: oxm = OX x 25.4 / dpiX;
// - margins from the printable area: left = L - oxm (0 when oxm > L), top
//   likewise, right = R + oxm, bottom = D + oym;
// - scale: along the coarser axis `reso`, along the finer one dpi x reso /
//   coarser dpi (integer division), so that a unit is square on paper;
// - lx = trunc(left x dpiX x c / sx) with c = 1 / 25.4 as 0.03937007874015748,
//   ty likewise;
// - width = trunc(PW / sx - oxm x dpiX x c / sx) - trunc(right x dpiX x c /
//   sx) - lx (PW / sx in integers, the rest in doubles), height likewise.
// A dpi of 0 counts as 1, and a scale below 1 (a resolution factor of 0 or
// less) becomes 1, so nothing here divides by zero.
SPageLayout ComputePageLayout(const SDeviceGeometry& device, const SPrintSettings& settings);

// Whether a drawing area of `width` x `height` units holds at least one
// strip (256 units high) of at least one step of `step` units. A page that
// does not would print nothing at all, however many pages were produced:
// callers refuse to print it.
bool PrintAreaUsable(int width, int height, int step);

// The number of pages the document, or the view's selection when it has one
// (anchor != current), needs on drawing areas of `width` x `height` units:
// the pages that get at least one of the segments the routines below draw,
// ceil(segments / (f x k)) with f segments a strip and k strips a page.
// Without a selection the segments are frames - 1; a selection of n frames
// has n (n - 1 when it runs to the last frame). At least 1: no data, a
// single frame or an empty selection prints one page of centre lines.
// 0 when the area is not usable (see PrintAreaUsable).
std::uint32_t CountPrintPages(const CWaveViewCore& view, int width, int height);

// Draw page `page` (counting from 1) of the waveform in the drawing area
// `rect` (drawing units; its right edge is x + width, its bottom y + height),
// in the current format of the view's frame. The caller has set the
// painter's transform and clip (SetupPainterForPage). `reso` is not used:
// the painter's transform already carries it.
//
// The printed range is every frame of the data, or with a non-empty
// selection only the selected frames, from the first selected frame to the
// frame after the last selected one (a selection joins its last frame to
// the next), else from the first to the last frame. Frames beyond the data
// are never read: without a following frame the drawing ends at the last
// frame. Without data (or without whole frames) nothing is drawn; a page
// past the end of the range gets its centre lines only. Page 0 draws
// nothing.
void PrintMono8(CWaveViewCore& view, QPainter& painter, int reso, const QRect& rect, unsigned page);
void PrintMono16(CWaveViewCore& view, QPainter& painter, int reso, const QRect& rect, unsigned page);
void PrintStereo8(CWaveViewCore& view, QPainter& painter, int reso, const QRect& rect, unsigned page);
void PrintStereo16(CWaveViewCore& view, QPainter& painter, int reso, const QRect& rect, unsigned page);

// The routine for the frame's current format: 1 channel and 8 bits
// PrintMono8, 1 channel and other bits PrintMono16, other channel counts
// with 8 bits PrintStereo8, otherwise PrintStereo16.
void PrintPage(CWaveViewCore& view, QPainter& painter, int reso, const QRect& rect, unsigned page);

// Replaces the painter's world transform so that a drawing unit is sx by sy
// device pixels and drawing unit (0, 0) is at the margin corner, and clips
// to the drawing area (0, 0)-(width, height). Call between save() and
// restore() when the painter is used for anything else afterwards.
void SetupPainterForPage(QPainter& painter, const SPageLayout& layout);
