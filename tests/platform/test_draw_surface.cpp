#include "platform/CDrawSurface.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {
constexpr std::uint32_t kPaper = 0xFF000000u; // opaque black
constexpr COLORREF kInk = RGB(0x12, 0x34, 0x56);

// A surface over its own buffer, shown as a picture: '#' for an opaque
// kInk pixel, '.' for untouched paper and '?' for anything else (a wrong
// colour or alpha byte).
struct Canvas {
    int width, height, stride;
    std::vector<std::uint32_t> pixels;
    CDrawSurface surface;

    Canvas(int w, int h, int s = 0, std::uint32_t fill = kPaper)
        : width(w), height(h), stride(s ? s : w),
          pixels(static_cast<std::size_t>(stride * h), fill),
          surface(pixels.data(), w, h, stride)
    {
    }

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * stride + x)]; }

    std::string Picture() const
    {
        std::string s;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = At(x, y);
                s += p == (0xFF000000u | kInk) ? '#' : p == kPaper ? '.' : '?';
            }
            s += '\n';
        }
        return s;
    }
};

std::string Join(const std::vector<std::string>& rows)
{
    std::string s;
    for (const std::string& row : rows)
        s += row + '\n';
    return s;
}

// A line and the picture it must leave; the picture also gives the size of
// the surface it is drawn on.
struct LineCase {
    const char* name;
    int x0, y0, x1, y1, width;
    std::vector<std::string> picture;
};

void ExpectLines(const std::vector<LineCase>& cases)
{
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(static_cast<int>(c.picture[0].size()), static_cast<int>(c.picture.size()));
        canvas.surface.Line(c.x0, c.y0, c.x1, c.y1, kInk, c.width);
        EXPECT_EQ(canvas.Picture(), Join(c.picture));
    }
}
} // namespace

TEST(DrawSurface, RgbPacksAndMasksEachComponent)
{
    static_assert(RGB(0x12, 0x34, 0x56) == 0x123456u);
    static_assert(RGB(0x1FF, -1, 0x100) == 0xFFFF00u);
}

TEST(DrawSurface, FillCoversLeftToRightMinusOneAndClips)
{
    struct Case {
        const char* name;
        RECT rc;
        std::vector<std::string> picture;
    };
    const std::vector<Case> cases = {
        {"inside", {1, 1, 4, 3}, {"......", ".###..", ".###..", "......"}},
        {"over the top left", {-5, -5, 2, 10}, {"##....", "##....", "##....", "##...."}},
        {"over the bottom right", {5, 3, 100, 100}, {"......", "......", "......", ".....#"}},
        {"whole surface from far off", {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
         {"######", "######", "######", "######"}},
        {"empty", {3, 1, 3, 3}, {"......", "......", "......", "......"}},
        {"inverted columns", {4, 1, 2, 3}, {"......", "......", "......", "......"}},
        {"inverted rows", {0, 3, 6, 1}, {"......", "......", "......", "......"}},
        {"entirely outside", {6, 0, 9, 4}, {"......", "......", "......", "......"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(6, 4);
        // Junk in the top byte of the colour must not reach the alpha byte.
        canvas.surface.FillRect(c.rc, 0xAB000000u | kInk);
        EXPECT_EQ(canvas.Picture(), Join(c.picture));
    }
}

TEST(DrawSurface, ThinLinesPaintTheFirstPointAndNotTheLast)
{
    ExpectLines({
        {"horizontal", 1, 1, 5, 1, 1, {"......", ".####.", "......"}},
        {"horizontal reversed", 5, 0, 0, 0, 1, {".#####", "......", "......"}},
        {"vertical", 2, 0, 2, 3, 1, {"..#...", "..#...", "..#...", "......"}},
        {"vertical upwards", 2, 3, 2, 0, 1, {"......", "..#...", "..#...", "..#..."}},
        {"diagonal", 0, 0, 4, 4, 1, {"#.....", ".#....", "..#...", "...#..", "......"}},
        {"anti-diagonal", 4, 0, 0, 4, 1, {"....#.", "...#..", "..#...", ".#....", "......"}},
        {"zero length", 3, 1, 3, 1, 1, {"......", "......", "......"}},
        {"zero length wide", 3, 1, 3, 1, 4, {"......", "......", "......"}},
        {"width 0 counts as 1", 1, 1, 5, 1, 0, {"......", ".####.", "......"}},
        {"negative width counts as 1", 1, 1, 5, 1, -7, {"......", ".####.", "......"}},
    });
}

// Steps i of n sit round(i * minor / major) along the minor axis, with an
// exact half rounded towards the first point (the minor axis does not step
// on a tie), so a line and its reverse are not mirror images.
TEST(DrawSurface, SlopedLinesFollowBresenhamWithTiesHeldBack)
{
    ExpectLines({
        // 2i/5: 0 .4 .8 1.2 1.6 -> 0 0 1 1 2 (no ties)
        {"shallow", 0, 0, 5, 2, 1, {"##.....", "..##...", "....#..", "......."}},
        // i/2: 0 .5 1 1.5 -> 0 0 1 1
        {"shallow with ties", 0, 0, 4, 2, 1, {"##....", "..##..", "......"}},
        // from the other end the ties are held back towards (4,2)
        {"shallow with ties reversed", 4, 2, 0, 0, 1, {"......", ".##...", "...##."}},
        // i/4: 0 .25 .5 .75 -> 0 0 0 1
        {"one tie at the midpoint", 0, 0, 4, 1, 1, {"###...", "...#..", "......"}},
        {"one tie reversed", 4, 1, 0, 0, 1, {".#....", "..###.", "......"}},
        // steep, y major: 2i/5 -> 0 0 1 1 2
        {"steep", 0, 0, 2, 5, 1, {"#...", "#...", ".#..", ".#..", "..#.", "...."}},
        // steep with a tie: i/4 -> 0 0 0 1
        {"steep with a tie", 1, 0, 2, 4, 1, {".#..", ".#..", ".#..", "..#.", "...."}},
        // steep, going up and left: 2i/5 -> 0 0 1 1 2
        {"steep up-left", 3, 5, 1, 0, 1, {"....", ".#..", "..#.", "..#.", "...#", "...#"}},
    });
}

// Every point of the path paints the w x w square from (x - w/2, y - w/2).
TEST(DrawSurface, WideLinesPaintASquareOnEveryPoint)
{
    ExpectLines({
        {"width 4 covers rows y-2..y+1", 0, 10, 8, 10, 4,
         {"..........", "..........", "..........", "..........", "..........",
          "..........", "..........", "..........", "#########.", "#########.",
          "#########.", "#########.", ".........."}},
        {"width 2 covers rows y-1..y", 0, 10, 8, 10, 2,
         {"..........", "..........", "..........", "..........", "..........",
          "..........", "..........", "..........", "..........", "########..",
          "########..", "..........", ".........."}},
        {"width 3 is centred", 1, 2, 5, 2, 3, {".......", "######.", "######.", "######.", "......."}},
        // points y = 1..5, columns 3..6, rows -1..6 cut at the top
        {"vertical width 4", 5, 1, 5, 6, 4,
         {"...####...", "...####...", "...####...", "...####...", "...####...", "...####...",
          "...####...", ".........."}},
        // points (2,2) (3,3) (4,4)
        {"diagonal width 2", 2, 2, 5, 5, 2, {"......", ".##...", ".###..", "..###.", "...##.", "......"}},
        // points (1,1) (2,1) (3,2) (4,2) (5,3), squares of 3
        {"shallow width 3", 1, 1, 6, 3, 3,
         {"####....", "######..", "#######.", "..#####.", "....###.", "........"}},
        // points (0,1) (1,1) (2,1) (3,2): the tie at (2,1) holds the square up
        {"width 2 with a tie", 0, 1, 4, 2, 2, {"###..", "####.", "..##.", "....."}},
        // points (-3,-3) .. (2,2): only the last three squares reach the surface
        {"width 3 across the corner", -3, -3, 3, 3, 3, {"###...", "####..", "####..", ".###..", "......"}},
    });
}

// Lines are cut to the surface before they are walked, keeping exactly the
// pixels the whole line would paint there.
TEST(DrawSurface, FarLinesAreClippedExactly)
{
    const std::string empty(16, '.');
    const std::string full(16, '#');
    ExpectLines({
        {"horizontal across", -1000000000, 3, 1000000000, 3, 1,
         {empty, empty, empty, full, empty, empty, empty, empty}},
        {"horizontal across reversed", 1000000000, 5, -1000000000, 5, 1,
         {empty, empty, empty, empty, empty, full, empty, empty}},
        {"vertical across", 3, -1000000000, 3, 1000000000, 1,
         {"...#............", "...#............", "...#............", "...#............",
          "...#............", "...#............", "...#............", "...#............"}},
        {"wide across", -1000000000, 3, 1000000000, 3, 4,
         {empty, full, full, full, full, empty, empty, empty}},
        {"from far off to inside, last point kept out", -1000000000, 4, 5, 4, 1,
         {empty, empty, empty, empty, "#####...........", empty, empty, empty}},
        {"from inside to far off", 10, 1, 1000000000, 1, 1,
         {empty, "..........######", empty, empty, empty, empty, empty, empty}},
        {"entirely above", -1000000000, -5, 1000000000, -5, 1,
         {empty, empty, empty, empty, empty, empty, empty, empty}},
        {"wide, passing just above", -1000000000, -3, 1000000000, -3, 4,
         {empty, empty, empty, empty, empty, empty, empty, empty}},
        {"wide, grazing the top row", 1000000000, -1, -1000000000, -1, 4,
         {full, empty, empty, empty, empty, empty, empty, empty}},
        {"corner to corner of the int range", INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1,
         {"#...............", ".#..............", "..#.............", "...#............",
          "....#...........", ".....#..........", "......#.........", ".......#........"}},
        // slope 1/2 through the origin: at x the exact y is x/2, a tie on
        // every odd x, held back towards the first point
        {"half slope entering on a tie", -(1 << 30), -(1 << 29), 1 << 30, 1 << 29, 1,
         {"##..............", "..##............", "....##..........", "......##........",
          "........##......", "..........##....", "............##..", "..............##"}},
        // the same line moved 6 to the right: (5,-1) is a tie held back
        // above the surface, so it comes in at (6,0)
        {"half slope entering through the top", -(1 << 30) + 6, -(1 << 29), (1 << 30) + 6, 1 << 29, 1,
         {"......##........", "........##......", "..........##....", "............##..",
          "..............##", empty, empty, empty}},
        // and on a shorter surface it leaves through the bottom after (11,5),
        // a tie held back inside
        {"half slope leaving through the bottom", -(1 << 30), -(1 << 29), 1 << 30, 1 << 29, 1,
         {"##..............", "..##............", "....##..........", "......##........",
          "........##......", "..........##...."}},
        {"half slope reversed", 1 << 30, 1 << 29, -(1 << 30), -(1 << 29), 1,
         {"#...............", ".##.............", "...##...........", ".....##.........",
          ".......##.......", ".........##.....", "...........##...", ".............##."}},
    });
}

TEST(DrawSurface, FarLinesTakeNoTimeProportionalToTheirLength)
{
    Canvas canvas(1280, 800);
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 50; ++k) {
        canvas.surface.Line(INT_MIN, k, INT_MAX, k + 3, kInk, 1);
        canvas.surface.Line(k, INT_MIN, k + 3, INT_MAX, kInk, 1);
        canvas.surface.Line(INT_MAX, INT_MIN + k, INT_MIN, INT_MAX - k, kInk, 5);
        canvas.surface.Line(-(1 << 30), -5, 1 << 30, -5, kInk, 1);       // misses the surface
        canvas.surface.Line(-(1 << 30), -(1 << 30), 1 << 30, -7, kInk, 3); // misses the surface
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Walking the lines whole would take billions of steps each.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 1000);
}

// The clipped walk must start with the same error term as the whole one: a
// window on a larger drawing shows the same pixels as the same lines drawn
// directly on a surface of the window's size, shifted.
TEST(DrawSurface, ClippingMatchesAWindowOnTheWholeLine)
{
    constexpr int kBig = 48, kLeft = 17, kTop = 19, kW = 9, kH = 7;
    unsigned seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 8) % static_cast<unsigned>(range));
    };
    for (int k = 0; k < 400; ++k) {
        // Ends anywhere within the big surface, keeping the wide squares in.
        const int x0 = 4 + next(kBig - 8), y0 = 4 + next(kBig - 8);
        const int x1 = 4 + next(kBig - 8), y1 = 4 + next(kBig - 8);
        const int width = 1 + next(6);
        Canvas big(kBig, kBig);
        Canvas small(kW, kH);
        big.surface.Line(x0, y0, x1, y1, kInk, width);
        small.surface.Line(x0 - kLeft, y0 - kTop, x1 - kLeft, y1 - kTop, kInk, width);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(small.At(x, y), big.At(x + kLeft, y + kTop))
                    << "line (" << x0 << "," << y0 << ")->(" << x1 << "," << y1 << ") width "
                    << width << " at " << x << "," << y;
    }
}

TEST(DrawSurface, InvertComplementsColourKeepsAlphaAndUndoesItself)
{
    Canvas canvas(4, 2);
    canvas.pixels = {0x00123456u, 0x7F000000u, 0xFFFFFFFFu, 0x80ABCDEFu,
                     0x01010203u, 0xC0FF00FFu, 0x00000000u, 0xFF654321u};
    const std::vector<std::uint32_t> original = canvas.pixels;

    canvas.surface.InvertRect({1, 0, 3, 5}); // columns 1..2, rows cut at 2
    EXPECT_EQ(canvas.pixels, (std::vector<std::uint32_t>{0x00123456u, 0x7FFFFFFFu, 0xFF000000u,
                                                         0x80ABCDEFu, 0x01010203u, 0xC000FF00u,
                                                         0x00FFFFFFu, 0xFF654321u}));
    canvas.surface.InvertRect({1, 0, 3, 5});
    EXPECT_EQ(canvas.pixels, original);

    canvas.surface.InvertRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    canvas.surface.InvertRect({-1, -1, 5, 3});
    EXPECT_EQ(canvas.pixels, original);

    canvas.surface.InvertRect({3, 0, 1, 2}); // inverted: nothing
    canvas.surface.InvertRect({4, 0, 9, 2}); // outside: nothing
    EXPECT_EQ(canvas.pixels, original);
}

TEST(DrawSurface, GetPixelDropsAlphaAndIsZeroOutside)
{
    Canvas canvas(3, 2, 0, 0x7FABCDEFu);
    canvas.pixels[5] = 0x00112233u;
    EXPECT_EQ(canvas.surface.GetPixel(0, 0), 0xABCDEFu);
    EXPECT_EQ(canvas.surface.GetPixel(2, 1), 0x112233u);
    const int outside[][2] = {{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {INT_MIN, INT_MAX}, {INT_MAX, 0}};
    for (const auto& p : outside)
        EXPECT_EQ(canvas.surface.GetPixel(p[0], p[1]), 0u) << p[0] << "," << p[1];
}

TEST(DrawSurface, StrideAddressesRowsAndLeavesThePaddingAlone)
{
    constexpr std::uint32_t kPad = 0x5A5A5A5Au;
    Canvas canvas(5, 3, 8, kPad);
    canvas.surface.FillRect({0, 0, 5, 3}, RGB(0, 0, 0));
    canvas.surface.Line(-1000, 1, 1000, 1, kInk, 1);
    canvas.surface.FillRect({2, 2, 3, 3}, kInk);
    EXPECT_EQ(canvas.Picture(), Join({".....", "#####", "..#.."}));
    EXPECT_EQ(canvas.surface.GetPixel(2, 2), kInk);
    EXPECT_EQ(canvas.surface.GetPixel(2, 1), kInk);

    canvas.surface.FillRect({-9, -9, 99, 99}, kInk);
    canvas.surface.Line(-1000, -1000, 1000, 1000, kInk, 9);
    canvas.surface.Line(1000, -1000, -1000, 1000, kInk, 1);
    canvas.surface.InvertRect({-9, -9, 99, 99});
    for (int y = 0; y < 3; ++y)
        for (int x = 5; x < 8; ++x)
            EXPECT_EQ(canvas.At(x, y), kPad) << x << "," << y;
}

TEST(DrawSurface, DegenerateSurfacesDrawNothing)
{
    CDrawSurface none(nullptr, 10, 10, 10);
    EXPECT_EQ(none.Width(), 0);
    EXPECT_EQ(none.Height(), 0);
    none.FillRect({0, 0, 10, 10}, kInk);
    none.Line(0, 0, 9, 9, kInk, 3);
    none.InvertRect({0, 0, 10, 10});
    EXPECT_EQ(none.GetPixel(0, 0), 0u);

    std::uint32_t pixel = kPaper;
    CDrawSurface flat(&pixel, 1, 0, 1);
    flat.FillRect({0, 0, 1, 1}, kInk);
    flat.Line(0, 0, 1, 0, kInk, 1);
    EXPECT_EQ(pixel, kPaper);

    // A stride below the width narrows the surface so rows cannot overlap.
    std::vector<std::uint32_t> buffer(6, kPaper);
    CDrawSurface narrow(buffer.data(), 5, 2, 3);
    EXPECT_EQ(narrow.Width(), 3);
    narrow.FillRect({0, 0, 9, 9}, kInk);
    narrow.Line(-50, 1, 50, 1, kInk, 6);
    EXPECT_EQ(buffer, std::vector<std::uint32_t>(6, 0xFF000000u | kInk));
}
