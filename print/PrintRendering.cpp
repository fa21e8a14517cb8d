#include "print/PrintRendering.h"

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "platform/Profile.h"
#include "view/CWaveViewCore.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr char kSection[] = "Print Layout";
// Millimetres to inches.
constexpr double kInchPerMm = 0.03937007874015748;
// Height of one strip in drawing units.
constexpr int kStrip = 256;

int Trunc(double v) { return static_cast<int>(std::trunc(v)); }

// How one of the four page routines reads and scales its samples.
struct SFormatSpec {
    int nChannels;         // 1 or 2
    int nBytesPerSample;   // 1 (unsigned, 128 = silence) or 2 (signed)
    int nAmplitude;        // height of a full-scale sample: 127 mono, 63 stereo
    int nCentres[2];       // centre lines below the strip's top
};

constexpr SFormatSpec kMono8{1, 1, 127, {128, 0}};
constexpr SFormatSpec kMono16{1, 2, 127, {128, 0}};
constexpr SFormatSpec kStereo8{2, 1, 63, {64, 193}};
constexpr SFormatSpec kStereo16{2, 2, 63, {64, 193}};

// Height above the centre line of channel `ch` of frame `i`, in drawing
// units (integer arithmetic, truncating toward zero).
int SampleHeight(const std::uint8_t* data, std::uint64_t i, int ch, const SFormatSpec& spec)
{
    const std::uint64_t frameBytes = std::uint64_t(spec.nChannels) * spec.nBytesPerSample;
    const std::uint8_t* p = data + i * frameBytes + std::uint64_t(ch) * spec.nBytesPerSample;
    if (spec.nBytesPerSample == 1)
        return spec.nAmplitude * (int{p[0]} - 128) / 128;
    const auto s = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    return spec.nAmplitude * int{s} / 32768;
}

// By CWaveViewCore::FormatMember, the order in which PrintPage chooses.
constexpr const SFormatSpec* kSpecs[4] = {&kMono8, &kMono16, &kStereo8, &kStereo16};

// The segments a print draws, the same for every page: segment i joins
// frame i to frame i + 1, for first <= i < end.
struct SSegments {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    std::uint64_t Count() const { return end > first ? end - first : 0; }
};

// Without a selection every frame is joined to the next: frames - 1
// segments. A selection of n frames joins each of them to the next, n
// segments, the last one to the frame after the selection; when the
// selection runs to the end of the data there is no such frame and it has
// n - 1. Frames are counted in the drawing's own frame size, and never
// beyond the data, so no segment reads past it.
SSegments PrintedSegments(const CWaveViewCore& view, std::uint64_t dataSize, const SFormatSpec& spec)
{
    const std::uint64_t bytesPerFrame = std::uint64_t(spec.nChannels) * spec.nBytesPerSample;
    const std::uint64_t frames = std::min<std::uint64_t>(view.GetFrameCount(), dataSize / bytesPerFrame);
    if (frames == 0)
        return {};
    SSegments s{0, frames - 1};
    if (view.m_nSelAnchor != view.m_nSelCurrent) {
        s.first = view.GetSelectionStart() / bytesPerFrame;
        s.end = std::min(s.first + view.GetSelectionLength() / bytesPerFrame, frames - 1);
    }
    return s;
}

// Pens of one drawing unit's width, not cosmetic one-pixel pens: the
// resolution factor enlarges the whole drawing, lines included, so a
// waveform printed at factor 4 has lines 4 device pixels wide along the
// coarser axis and still looks like the one printed at factor 1. At factor 1
// on a square-pixel device both kinds are the same one pixel. Round ends and
// joins keep the joined segments of a strip free of notches.
QPen UnitPen(const QColor& color)
{
    QPen pen(color, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(false);
    return pen;
}

void PrintFormat(CWaveViewCore& view, QPainter& painter, const QRect& rect, unsigned page,
                 const SFormatSpec& spec)
{
    if (page == 0)
        return;
    COndrelDoc& doc = view.GetDocument();
    const std::uint8_t* data = doc.LockData();
    if (!data)
        return;
    struct SUnlock {
        COndrelDoc& doc;
        ~SUnlock() { doc.UnlockData(); }
    } unlock{doc};

    // Frames this routine can read whole: the view's frames for the formats
    // it is chosen for, fewer if a format mixes them up.
    if (std::min<std::uint64_t>(view.GetFrameCount(),
                                doc.GetDataSize() / (std::uint64_t(spec.nChannels) * spec.nBytesPerSample)) == 0)
        return;

    const int left = rect.x(), top = rect.y();
    const int right = rect.x() + rect.width(), bottom = rect.y() + rect.height();
    const int step = view.m_nPixelsPerFrame;
    if (step <= 0)
        return;
    const std::int64_t f = (right - left) / step;
    const std::int64_t k = (bottom - top) / kStrip;

    const SSegments segments = PrintedSegments(view, doc.GetDataSize(), spec);
    const std::uint64_t first =
        segments.first + std::uint64_t(std::max<std::int64_t>(f * k, 0)) * (page - 1);
    const std::uint64_t end = segments.end;

    const QPen grey = UnitPen(QColor(192, 192, 192));
    const QPen black = UnitPen(Qt::black);
    std::vector<QPoint> points;
    for (std::int64_t s = 0; s < k; ++s) {
        const int t = top + kStrip * static_cast<int>(s);
        painter.setPen(grey);
        for (int ch = 0; ch < spec.nChannels; ++ch) {
            const int y0 = t + spec.nCentres[ch];
            painter.drawLine(QPoint(left, y0), QPoint(right, y0));
        }
        const std::uint64_t startFrame = first + std::uint64_t(s) * std::uint64_t(f);
        if (startFrame >= end)
            continue;
        painter.setPen(black);
        // Consecutive segments of a strip share their ends: one polyline per
        // channel draws the same lines as segment after segment.
        for (int ch = 0; ch < spec.nChannels; ++ch) {
            const int y0 = t + spec.nCentres[ch];
            std::uint64_t i = startFrame;
            points.clear();
            points.emplace_back(left, y0 - SampleHeight(data, i, ch, spec));
            for (std::int64_t j = 0; j < f; ++j) {
                points.emplace_back(left + static_cast<int>(j + 1) * step,
                                    y0 - SampleHeight(data, i + 1, ch, spec));
                ++i;
                if (i >= end)
                    break;
            }
            painter.drawPolyline(points.data(), static_cast<int>(points.size()));
        }
    }
}
} // namespace

SPrintSettings SPrintSettings::FromProfile(const CProfile& profile)
{
    SPrintSettings s;
    s.left = profile.GetProfileInt(kSection, "Left", s.left);
    s.right = profile.GetProfileInt(kSection, "Right", s.right);
    s.up = profile.GetProfileInt(kSection, "Up", s.up);
    s.down = profile.GetProfileInt(kSection, "Down", s.down);
    s.reso = profile.GetProfileInt(kSection, "Reso", s.reso);
    return s;
}

SPageLayout ComputePageLayout(const SDeviceGeometry& device, const SPrintSettings& settings)
{
    const int dpiX = device.dpiX > 0 ? device.dpiX : 1;
    const int dpiY = device.dpiY > 0 ? device.dpiY : 1;
    const int R = settings.reso;
    SPageLayout l;

    l.oxm = Trunc(device.offsetX * 25.4 / dpiX);
    l.oym = Trunc(device.offsetY * 25.4 / dpiY);

    l.left = l.oxm > settings.left ? 0 : settings.left - l.oxm;
    l.top = l.oym > settings.up ? 0 : settings.up - l.oym;
    l.right = settings.right + l.oxm;
    l.bottom = settings.down + l.oym;

    // 64-bit products: a large dpi times a large factor must not wrap.
    if (dpiX > dpiY) {
        l.sx = static_cast<int>(std::int64_t{dpiX} * R / dpiY);
        l.sy = R;
    } else {
        l.sx = R;
        l.sy = static_cast<int>(std::int64_t{dpiY} * R / dpiX);
    }
    l.sx = std::max(l.sx, 1);
    l.sy = std::max(l.sy, 1);

    l.lx = Trunc(double(std::int64_t{l.left} * dpiX) * kInchPerMm / l.sx);
    l.ty = Trunc(double(std::int64_t{l.top} * dpiY) * kInchPerMm / l.sy);

    l.width = Trunc(double(device.pageWidth / l.sx) - double(std::int64_t{l.oxm} * dpiX) * kInchPerMm / l.sx) -
              Trunc(double(std::int64_t{l.right} * dpiX) * kInchPerMm / l.sx) - l.lx;
    l.height = Trunc(double(device.pageHeight / l.sy) - double(std::int64_t{l.oym} * dpiY) * kInchPerMm / l.sy) -
               Trunc(double(std::int64_t{l.bottom} * dpiY) * kInchPerMm / l.sy) - l.ty;
    return l;
}

bool PrintAreaUsable(int width, int height, int step)
{
    return step > 0 && width / step >= 1 && height / kStrip >= 1;
}

std::uint32_t CountPrintPages(const CWaveViewCore& view, int width, int height)
{
    const int step = view.m_nPixelsPerFrame;
    if (!PrintAreaUsable(width, height, step))
        return 0;
    // A page holds f x k segments; the pages are those that get one.
    const std::uint64_t perPage = std::uint64_t(width / step) * std::uint64_t(height / kStrip);
    const std::uint64_t segments =
        PrintedSegments(view, view.GetDocument().GetDataSize(), *kSpecs[view.FormatMember()]).Count();
    const std::uint64_t pages = (segments + perPage - 1) / perPage;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(pages, 1, UINT32_MAX));
}

void PrintMono8(CWaveViewCore& view, QPainter& painter, int, const QRect& rect, unsigned page)
{
    PrintFormat(view, painter, rect, page, kMono8);
}

void PrintMono16(CWaveViewCore& view, QPainter& painter, int, const QRect& rect, unsigned page)
{
    PrintFormat(view, painter, rect, page, kMono16);
}

void PrintStereo8(CWaveViewCore& view, QPainter& painter, int, const QRect& rect, unsigned page)
{
    PrintFormat(view, painter, rect, page, kStereo8);
}

void PrintStereo16(CWaveViewCore& view, QPainter& painter, int, const QRect& rect, unsigned page)
{
    PrintFormat(view, painter, rect, page, kStereo16);
}

void PrintPage(CWaveViewCore& view, QPainter& painter, int reso, const QRect& rect, unsigned page)
{
    // The same choice of drawing as the screen's, by the current format.
    using PrintFn = void (*)(CWaveViewCore&, QPainter&, int, const QRect&, unsigned);
    static constexpr PrintFn kPrint[4] = {PrintMono8, PrintMono16, PrintStereo8, PrintStereo16};
    kPrint[view.FormatMember()](view, painter, reso, rect, page);
}

void SetupPainterForPage(QPainter& painter, const SPageLayout& layout)
{
    // Device = (unit + (lx, ty)) x (sx, sy): the margin corner is unit (0, 0).
    painter.setWorldTransform(QTransform(layout.sx, 0, 0, layout.sy, double(layout.lx) * layout.sx,
                                         double(layout.ty) * layout.sy));
    painter.setClipRect(QRect(0, 0, std::max(layout.width, 0), std::max(layout.height, 0)));
}
