#include "platform/CDrawSurface.h"

#include <algorithm>
#include <cstddef>

namespace {
constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kColourBits = 0x00FFFFFFu;

// The rectangle's columns [left, right) and rows [top, bottom) cut to a
// width x height surface; false when nothing is left.
bool ClipRect(const RECT& rc, int width, int height, int& left, int& top, int& right, int& bottom)
{
    left = std::max(rc.left, 0);
    top = std::max(rc.top, 0);
    right = std::min(rc.right, width);
    bottom = std::min(rc.bottom, height);
    return left < right && top < bottom;
}

// A line seen along its major axis. Step i (0 <= i < nSteps) sits at
// major coordinate nMajor0 + nMajorSign * i and minor coordinate
// nMinor0 + nMinorSign * MinorAt(i). Coordinates are 64-bit so that the
// ends may be anywhere an int reaches; the deltas then fit in 32 bits
// unsigned, and every product below in 64 bits unsigned.
struct LinePath {
    std::int64_t nMajor0 = 0;
    std::int64_t nMinor0 = 0;
    int nMajorSign = 0;
    int nMinorSign = 0;
    std::uint64_t nMajorLen = 0; // |major delta|, > 0 for a line that paints
    std::uint64_t nMinorLen = 0; // |minor delta|, <= nMajorLen
    std::int64_t nSteps = 0;     // points painted: the last point is left out

    // How far step i has moved along the minor axis: i * minor / major
    // rounded to the nearest integer, with an exact half rounded down. That
    // is the Bresenham tie rule used here: when the error term sits exactly
    // on the midpoint the minor axis does not step yet.
    std::int64_t MinorAt(std::int64_t i) const
    {
        const std::uint64_t product = static_cast<std::uint64_t>(i) * nMinorLen;
        const std::uint64_t whole = product / nMajorLen;
        const std::uint64_t rest = product % nMajorLen;
        return static_cast<std::int64_t>(whole + (2 * rest > nMajorLen ? 1 : 0));
    }

    // The steps [first, last] whose major coordinate lies in [lo, hi];
    // first > last when there are none.
    void StepsWithMajorIn(std::int64_t lo, std::int64_t hi, std::int64_t& first,
                          std::int64_t& last) const
    {
        if (nMajorSign > 0) {
            first = lo - nMajor0;
            last = hi - nMajor0;
        } else {
            first = nMajor0 - hi;
            last = nMajor0 - lo;
        }
        first = std::max<std::int64_t>(first, 0);
        last = std::min<std::int64_t>(last, nSteps - 1);
    }

    // Narrows the steps [first, last] to those whose minor coordinate lies
    // in [lo, hi]. MinorAt never decreases with i, so both ends are found
    // by bisection.
    void NarrowToMinorIn(std::int64_t lo, std::int64_t hi, std::int64_t& first,
                         std::int64_t& last) const
    {
        if (first > last)
            return;
        // The range of MinorAt values that land inside [lo, hi]. A line
        // without minor movement stays at MinorAt == 0 and needs no sign.
        std::int64_t fromMinor = lo - nMinor0;
        std::int64_t toMinor = hi - nMinor0;
        if (nMinorSign < 0) {
            fromMinor = nMinor0 - hi;
            toMinor = nMinor0 - lo;
        }
        // First step with MinorAt >= fromMinor.
        std::int64_t a = first, b = last + 1;
        while (a < b) {
            const std::int64_t mid = a + (b - a) / 2;
            if (MinorAt(mid) >= fromMinor)
                b = mid;
            else
                a = mid + 1;
        }
        const std::int64_t newFirst = a;
        // Last step with MinorAt <= toMinor (first one beyond it, minus one).
        a = newFirst;
        b = last + 1;
        while (a < b) {
            const std::int64_t mid = a + (b - a) / 2;
            if (MinorAt(mid) > toMinor)
                b = mid;
            else
                a = mid + 1;
        }
        first = newFirst;
        last = a - 1;
    }
};
} // namespace

CDrawSurface::CDrawSurface(std::uint32_t* pixels, int width, int height, int stride)
    : m_pPixels(pixels), m_nWidth(std::min(width, stride)), m_nHeight(height), m_nStride(stride)
{
    if (!m_pPixels || m_nWidth < 1 || m_nHeight < 1) {
        m_pPixels = nullptr;
        m_nWidth = m_nHeight = 0;
        m_nStride = 0;
    }
}

void CDrawSurface::FillRect(const RECT& rc, COLORREF color)
{
    int left, top, right, bottom;
    if (!ClipRect(rc, m_nWidth, m_nHeight, left, top, right, bottom))
        return;
    const std::uint32_t value = kOpaque | (color & kColourBits);
    std::uint32_t* row = m_pPixels + static_cast<std::ptrdiff_t>(top) * m_nStride + left;
    for (int y = top; y < bottom; ++y, row += m_nStride)
        std::fill_n(row, right - left, value);
}

void CDrawSurface::InvertRect(const RECT& rc)
{
    int left, top, right, bottom;
    if (!ClipRect(rc, m_nWidth, m_nHeight, left, top, right, bottom))
        return;
    std::uint32_t* row = m_pPixels + static_cast<std::ptrdiff_t>(top) * m_nStride + left;
    for (int y = top; y < bottom; ++y, row += m_nStride) {
        std::uint32_t* const end = row + (right - left);
        for (std::uint32_t* p = row; p != end; ++p)
            *p ^= kColourBits;
    }
}

COLORREF CDrawSurface::GetPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return 0;
    return m_pPixels[static_cast<std::ptrdiff_t>(y) * m_nStride + x] & kColourBits;
}

void CDrawSurface::Line(int x0, int y0, int x1, int y1, COLORREF color, int width)
{
    if (!m_pPixels)
        return;
    const std::int64_t dx = static_cast<std::int64_t>(x1) - x0;
    const std::int64_t dy = static_cast<std::int64_t>(y1) - y0;
    const bool bMajorX = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    const std::int64_t dMajor = bMajorX ? dx : dy;
    const std::int64_t dMinor = bMajorX ? dy : dx;
    if (dMajor == 0)
        return; // zero length: the only point is the excluded last one

    LinePath path;
    path.nMajor0 = bMajorX ? x0 : y0;
    path.nMinor0 = bMajorX ? y0 : x0;
    path.nMajorSign = dMajor > 0 ? 1 : -1;
    path.nMinorSign = dMinor > 0 ? 1 : (dMinor < 0 ? -1 : 0);
    path.nMajorLen = static_cast<std::uint64_t>(dMajor > 0 ? dMajor : -dMajor);
    path.nMinorLen = static_cast<std::uint64_t>(dMinor > 0 ? dMinor : -dMinor);
    path.nSteps = static_cast<std::int64_t>(path.nMajorLen);

    // The surface seen along the same axes: a step on the major axis moves
    // majorPitch pixels in the buffer, one on the minor axis minorPitch.
    const std::int64_t majorSize = bMajorX ? m_nWidth : m_nHeight;
    const std::int64_t minorSize = bMajorX ? m_nHeight : m_nWidth;
    const std::ptrdiff_t majorPitch = bMajorX ? 1 : m_nStride;
    const std::ptrdiff_t minorPitch = bMajorX ? m_nStride : 1;
    const std::uint32_t value = kOpaque | (color & kColourBits);

    if (width <= 1) {
        // Only the steps that land inside the surface are walked: the ones
        // inside on the major axis, then those also inside on the minor.
        std::int64_t first, last;
        path.StepsWithMajorIn(0, majorSize - 1, first, last);
        path.NarrowToMinorIn(0, minorSize - 1, first, last);
        if (first > last)
            return;

        // Bresenham from step `first`. With m = MinorAt(i), the error term
        // at step i is 2(i+1)*minor - (2m+1)*major, and the minor axis steps
        // after this point when it is > 0 (a tie, == 0, does not step). It
        // is started as 2(i*minor - m*major) + 2*minor - major, where the
        // bracket is the small remainder of the division, so it stays well
        // inside 64 bits wherever the line starts.
        const std::int64_t major = static_cast<std::int64_t>(path.nMajorLen);
        const std::int64_t minor = static_cast<std::int64_t>(path.nMinorLen);
        const std::uint64_t product = static_cast<std::uint64_t>(first) * path.nMinorLen;
        std::int64_t m = static_cast<std::int64_t>(product / path.nMajorLen);
        std::int64_t rest = static_cast<std::int64_t>(product % path.nMajorLen);
        if (2 * rest > major) {
            ++m;
            rest -= major;
        }
        std::int64_t error = 2 * rest + 2 * minor - major;

        const std::int64_t majorAt = path.nMajor0 + path.nMajorSign * first;
        const std::int64_t minorAt = path.nMinor0 + path.nMinorSign * m;
        std::uint32_t* p = m_pPixels + majorAt * majorPitch + minorAt * minorPitch;
        const std::ptrdiff_t majorStep = path.nMajorSign * majorPitch;
        const std::ptrdiff_t minorStep = path.nMinorSign * minorPitch;
        for (std::int64_t i = first;; ++i) {
            *p = value;
            if (i == last)
                break; // no step past the last pixel: p stays inside the buffer
            if (error > 0) {
                p += minorStep;
                error -= 2 * major;
            }
            error += 2 * minor;
            p += majorStep;
        }
        return;
    }

    // A wide line is the union of w x w squares, one on every point of the
    // path, spanning lo..hi on both axes around the point. Along a line of
    // the major axis, the squares that cross it belong to a run of
    // consecutive steps, and their spans on the minor axis shift by at most
    // one pixel from step to step: their union is the single span from the
    // first step's square to the last one's. So each line of the major
    // axis inside the surface is painted as one span.
    const std::int64_t lo = width / 2;
    const std::int64_t hi = width - 1 - lo;
    const std::int64_t majorEnd = path.nMajor0 + path.nMajorSign * (path.nSteps - 1);
    const std::int64_t cFirst = std::max<std::int64_t>(std::min(path.nMajor0, majorEnd) - lo, 0);
    const std::int64_t cLast = std::min(std::max(path.nMajor0, majorEnd) + hi, majorSize - 1);
    for (std::int64_t c = cFirst; c <= cLast; ++c) {
        // The steps whose square covers c: major coordinate in [c-hi, c+lo].
        std::int64_t first, last;
        path.StepsWithMajorIn(c - hi, c + lo, first, last);
        if (first > last)
            continue;
        const std::int64_t mFirst = path.nMinor0 + path.nMinorSign * path.MinorAt(first);
        const std::int64_t mLast = path.nMinor0 + path.nMinorSign * path.MinorAt(last);
        const std::int64_t from = std::max<std::int64_t>(std::min(mFirst, mLast) - lo, 0);
        const std::int64_t to = std::min(std::max(mFirst, mLast) + hi, minorSize - 1);
        if (from > to)
            continue;
        std::uint32_t* p = m_pPixels + c * majorPitch + from * minorPitch;
        const std::int64_t count = to - from + 1;
        if (minorPitch == 1) {
            std::fill_n(p, count, value);
        } else {
            for (std::int64_t k = 0; k < count; ++k)
                p[k * minorPitch] = value;
        }
    }
}
