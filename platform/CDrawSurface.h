#pragma once
// A small drawing surface with exact pixels, for the views that paint into
// an image of their own (the waveform view). It draws on a caller-owned
// buffer of 32-bit pixels 0xAARRGGBB: the layout of a Format_RGB32 or
// Format_ARGB32 image on a little-endian machine, alpha in the top byte.
//
// Everything is clipped to the buffer: no call writes outside it, whatever
// the coordinates (lines up to +-2^30 and beyond are clipped before they
// are walked, so a far-off line costs no more than a short one). A pixel's
// alpha byte is only ever kept as it was (InvertRect) or set to 0xFF (fills
// and lines, which write 0xFF alpha | colour).

#include <cstdint>

using COLORREF = std::uint32_t; // 0x00RRGGBB

// Each component is masked to 8 bits.
constexpr COLORREF RGB(int r, int g, int b)
{
    return (static_cast<COLORREF>(r & 0xFF) << 16) | (static_cast<COLORREF>(g & 0xFF) << 8)
        | static_cast<COLORREF>(b & 0xFF);
}

// Columns left..right-1, rows top..bottom-1.
struct RECT {
    int left, top, right, bottom;
};

class CDrawSurface {
public:
    // `stride` is the distance between rows in pixels. A null buffer or a
    // width or height below 1 gives an empty surface on which every call
    // does nothing; a stride below the width narrows the surface to the
    // stride, so that rows never overlap.
    CDrawSurface(std::uint32_t* pixels, int width, int height, int stride);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

    // Fills columns left..right-1 and rows top..bottom-1; an empty or
    // inverted rectangle fills nothing. The top byte of `color` is ignored.
    void FillRect(const RECT& rc, COLORREF color);

    // A solid line from (x0, y0) towards (x1, y1), drawn in that direction.
    // The first point is painted and the last one is not, so a zero-length
    // line paints nothing and a polyline paints each joint once.
    //
    // The path is the integer Bresenham path along the major axis (x when
    // |dx| >= |dy|): step i of n = max(|dx|, |dy|) sits i pixels along the
    // major axis and round(i * minor / major) along the minor one. When that
    // ratio lies exactly on a half (the error term on the midpoint) the
    // minor axis does not step yet: halves round towards the first point.
    // So (0,0)->(4,1) paints (0,0) (1,0) (2,0) (3,1), and the reverse
    // (4,1)->(0,0) paints (4,1) (3,1) (2,1) (1,0).
    //
    // A width w > 1 (below 1 counts as 1) paints, for every point (x, y) of
    // that path, the w x w square of columns x - w/2 .. x - w/2 + w - 1 and
    // rows y - w/2 .. y - w/2 + w - 1: a horizontal line of width 4 at y
    // covers rows y-2..y+1, of width 2 rows y-1..y.
    void Line(int x0, int y0, int x1, int y1, COLORREF color, int width = 1);

    // Complements the colour (RGB xor 0xFFFFFF) of every pixel in columns
    // left..right-1 and rows top..bottom-1, keeping its alpha: inverting
    // twice restores the pixels exactly.
    void InvertRect(const RECT& rc);

    // The colour 0x00RRGGBB at (x, y), or 0 outside the surface.
    COLORREF GetPixel(int x, int y) const;

private:
    std::uint32_t* m_pPixels;
    int m_nWidth;
    int m_nHeight;
    int m_nStride;
};
