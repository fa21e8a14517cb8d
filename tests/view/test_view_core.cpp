// The waveform view without a window: layout, frame/x mapping, scrolling,
// drawing of every pane and the mouse selection, checked pixel by pixel on
// an image of the client area.

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "res/resource.h"
#include "view/CWaveViewCore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(192, 192, 192);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kMenu = RGB(192, 192, 192);
constexpr COLORREF kShadow = RGB(128, 128, 128);

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class ViewTest : public ::testing::Test {
protected:
    CCurrentFormat frame;
    COndrelDoc doc{frame};
    CWaveViewCore view{doc};
    std::vector<std::uint32_t> pixels;
    std::unique_ptr<CDrawSurface> dc;

    // Data of `bytes` bytes in the given format, filled by `fill(i)`.
    template <typename Fill>
    void SetData(unsigned channels, unsigned bits, std::uint32_t bytes, Fill fill, std::uint32_t rate = 8000)
    {
        doc.m_wave.FreeData();
        doc.m_wave.Allocate(bytes);
        std::uint8_t* p = doc.LockData();
        for (std::uint32_t i = 0; i < bytes; ++i)
            p[i] = fill(i);
        doc.UnlockData();
        doc.m_wave.m_dwDataSize = bytes;
        doc.m_wave.m_bHasData = 1;
        doc.m_wave.NoteDataChanged();
        frame.SetFormat(rate, channels, bits);
    }
    void SetData16(unsigned channels, const std::vector<std::int16_t>& samples, std::uint32_t rate = 8000)
    {
        SetData(channels, 16, static_cast<std::uint32_t>(samples.size() * 2), [&](std::uint32_t i) {
            const auto v = static_cast<std::uint16_t>(samples[i / 2]);
            return static_cast<std::uint8_t>(i % 2 ? v >> 8 : v);
        }, rate);
    }
    void Paint(int W = 640, int H = 300)
    {
        pixels.assign(static_cast<std::size_t>(W) * H, 0xFF123456);
        dc = std::make_unique<CDrawSurface>(pixels.data(), W, H, W);
        view.OnDraw(*dc);
    }
    COLORREF At(int x, int y) const { return dc->GetPixel(x, y); }
    // Rows of column x, top to bottom within [y0, y1), painted `color`.
    std::vector<int> RowsOf(int x, int y0, int y1, COLORREF color) const
    {
        std::vector<int> rows;
        for (int y = y0; y < y1; ++y)
            if (At(x, y) == color)
                rows.push_back(y);
        return rows;
    }
    int ColumnsWith(const RECT& rc, COLORREF color) const
    {
        int count = 0;
        for (int x = rc.left; x < rc.right; ++x)
            for (int y = rc.top; y < rc.bottom; ++y)
                if (At(x, y) == color) {
                    ++count;
                    break;
                }
        return count;
    }
};
} // namespace

TEST_F(ViewTest, LayoutOf640By300)
{
    view.RecalcLayout(640, 300);
    EXPECT_TRUE(SameRect(view.m_rcPosition, {0, 0, 640, 16}));
    EXPECT_TRUE(SameRect(view.m_rcOverview, {0, 17, 640, 96}));
    EXPECT_TRUE(SameRect(view.m_rcDetail, {0, 102, 640, 300}));
    EXPECT_TRUE(SameRect(view.m_rcOverviewCh1, {0, 17, 640, 54}));
    EXPECT_TRUE(SameRect(view.m_rcOverviewCh2, {0, 58, 640, 96}));
    EXPECT_TRUE(SameRect(view.m_rcDetailCh1, {0, 102, 640, 197}));
    EXPECT_TRUE(SameRect(view.m_rcDetailCh2, {0, 201, 640, 300}));
}

TEST_F(ViewTest, SeparatorsBetweenStripsAndHalves)
{
    SetData(2, 8, 64, [](std::uint32_t) { return 128; });
    view.m_colors = SSysColors{};
    Paint();
    // Below the overview: highlight, four menu rows, shadow; then the detail.
    EXPECT_EQ(RowsOf(5, 96, 102, kWhite), std::vector<int>{96});
    EXPECT_EQ(RowsOf(5, 96, 102, kMenu), (std::vector<int>{97, 98, 99, 100}));
    EXPECT_EQ(RowsOf(5, 96, 102, kShadow), std::vector<int>{101});
    // Between the overview halves (54..57) and the detail halves (197..200).
    for (int top : {54, 197}) {
        EXPECT_EQ(At(5, top), kWhite);
        EXPECT_EQ(At(5, top + 1), kMenu);
        EXPECT_EQ(At(5, top + 2), kMenu);
        EXPECT_EQ(At(5, top + 3), kShadow);
    }
    EXPECT_EQ(At(639, 16), kWhite); // under the position bar
}

TEST_F(ViewTest, OverviewScaleAndColumnsDrawn)
{
    struct Case {
        std::uint32_t frames;
        std::uint32_t n;
        int columns;
    };
    // An overview 300 pixels wide: 8-bit mono, loud data in every frame.
    for (Case c : {Case{1000, 4, 249}, Case{600, 2, 300}, Case{100, 1, 99}, Case{1, 1, 0}}) {
        SetData(1, 8, c.frames, [](std::uint32_t i) { return i % 2 ? 255 : 0; });
        Paint(300, 300);
        EXPECT_EQ(view.m_nFramesPerColumn, c.n) << c.frames;
        EXPECT_EQ(ColumnsWith(view.m_rcOverview, kBlack), c.columns) << c.frames;
    }
}

TEST_F(ViewTest, OverviewColumnsReachTheScaledExtremes)
{
    // Overview (0, 17, 640, 96): cy 56, half 38. 255 and 0 in one column:
    // rows 19..93 (the last point, 94, is not painted).
    SetData(1, 8, 1280, [](std::uint32_t i) { return i % 2 ? 255 : 0; });
    Paint();
    std::vector<int> expected;
    for (int y = 19; y < 94; ++y)
        expected.push_back(y);
    EXPECT_EQ(RowsOf(10, 17, 96, kBlack), expected);

    // Silence: one pixel on the centre line per column.
    SetData(1, 8, 1280, [](std::uint32_t) { return 128; });
    Paint();
    EXPECT_EQ(RowsOf(10, 17, 96, kBlack), std::vector<int>{56});
    EXPECT_EQ(At(10, 55), kWhite);
}

TEST_F(ViewTest, EmptyDocumentShowsWhitePanesOnly)
{
    Paint();
    EXPECT_EQ(At(10, 56), kWhite); // no centre line
    EXPECT_EQ(At(10, 200), kWhite);
    EXPECT_EQ(At(3, 5), kMenu);    // bar without marker
    EXPECT_EQ(RowsOf(3, 0, 16, kNavy), std::vector<int>{});
}

TEST_F(ViewTest, DetailIsAPolylineTwoPixelsPerFrame)
{
    // 16-bit mono, detail (0, 102, 640, 300): cy 201, half 98.
    SetData16(1, {-32768, -32768, 32767, 32767, 0, 0});
    Paint();
    EXPECT_EQ(At(0, 201 + 98), kBlack);     // -32768 at cy + half
    EXPECT_EQ(At(4, 201 - 98 + 1), kBlack); // 32767 at cy - half + 1
    EXPECT_EQ(RowsOf(11, 102, 300, kBlack), std::vector<int>{}); // after the last frame: nothing
    EXPECT_EQ(At(11, 201), kGrey);

    // Starting at or beyond the last frame draws background and centre only.
    view.m_nStartFrame = 5;
    Paint();
    EXPECT_EQ(ColumnsWith(view.m_rcDetail, kBlack), 0);
    EXPECT_EQ(At(0, 201), kGrey);
}

TEST_F(ViewTest, StereoHalvesHaveTheirOwnCentreAndScale)
{
    // Channel 1 loud positive, channel 2 loud negative.
    std::vector<std::int16_t> s;
    for (int i = 0; i < 8; ++i) {
        s.push_back(32767);
        s.push_back(-32768);
    }
    SetData16(2, s);
    Paint();
    // Detail halves (0,102,640,197): cy 149, half 46; (0,201,640,300): cy 250, half 48.
    EXPECT_EQ(At(1, 149 - 46 + 1), kBlack);
    EXPECT_EQ(At(1, 250 + 48), kBlack);
    EXPECT_EQ(At(1, 149), kGrey);
    EXPECT_EQ(At(1, 250), kGrey);
}

TEST_F(ViewTest, PositionMarkerShowsTheDetailWindow)
{
    SetData(1, 8, 6400, [](std::uint32_t) { return 128; }); // n = 10 at width 640
    view.m_nStartFrame = 200;
    Paint();
    ASSERT_EQ(view.m_nFramesPerColumn, 10u);
    // x = 200 / 10 = 20, width max(320 / 10, 2) = 32, rows 2..13.
    EXPECT_EQ(RowsOf(20, 0, 16, kNavy), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(At(51, 5), kNavy);
    EXPECT_EQ(At(52, 5), kMenu);
    EXPECT_EQ(At(19, 5), kMenu);
}

TEST_F(ViewTest, ScrollCodesMoveTheStartFrame)
{
    SetData(1, 8, 100000, [](std::uint32_t) { return 128; });
    Paint(); // V = 320, M = 99680, P = 1000
    struct Case {
        const char* name;
        int startBefore, code, thumb, startAfter, position;
    };
    const Case cases[] = {
        {"thumb track", 0, SB_THUMBTRACK, 500, 49840, 500},
        {"thumb position", 0, SB_THUMBPOSITION, 1000, 99680, 1000},
        {"line right at the end", 99680, SB_LINERIGHT, 0, 99680, 1000},
        {"line left at 0", 0, SB_LINELEFT, 0, 0, 0},
        {"line right", 10, SB_LINERIGHT, 0, 11, 0},
        {"page left below P", 500, SB_PAGELEFT, 0, 0, 0},
        {"page right near the end", 99000, SB_PAGERIGHT, 0, 99680, 1000},
        {"left edge code", 49840, SB_LEFT, 0, 49840, 500},
        {"end scroll", 49840, SB_ENDSCROLL, 0, 49840, 500},
    };
    for (const Case& c : cases) {
        view.m_nStartFrame = c.startBefore;
        int pos = -1;
        ASSERT_TRUE(view.OnHScroll(c.code, c.thumb, 1000, *dc, pos)) << c.name;
        EXPECT_EQ(view.m_nStartFrame, c.startAfter) << c.name;
        EXPECT_EQ(pos, c.position) << c.name;
    }
}

TEST_F(ViewTest, ScrollingHandlesShortFilesLongFilesAndNoData)
{
    int pos = -1;
    Paint();
    EXPECT_FALSE(view.OnHScroll(SB_LINERIGHT, 0, 1000, *dc, pos)); // no data: ignored

    SetData(1, 8, 100, [](std::uint32_t) { return 128; }); // fewer frames than shown: M < 0
    Paint();
    for (int code : {SB_LINERIGHT, SB_PAGERIGHT, SB_THUMBTRACK}) {
        ASSERT_TRUE(view.OnHScroll(code, 700, 1000, *dc, pos));
        EXPECT_EQ(view.m_nStartFrame, 0);
        EXPECT_EQ(pos, 0);
    }

    // Hours of audio: the thumb maps without 32-bit overflow.
    doc.m_wave.m_dwDataSize = 100000;
    frame.SetFormat(8000, 1, 8);
    SetData(1, 8, 200000000, [](std::uint32_t) { return 128; });
    Paint();
    ASSERT_TRUE(view.OnHScroll(SB_THUMBTRACK, 500, 1000, *dc, pos));
    EXPECT_EQ(view.m_nStartFrame, (200000000 - 320) / 2);
    EXPECT_EQ(pos, 500);
}

TEST_F(ViewTest, PressesStartSelectionsOnlyStrictlyInsideAPane)
{
    SetData(1, 8, 1000, [](std::uint32_t) { return 128; });
    Paint();
    struct Case {
        int x, y;
        bool starts;
        int pane;
    };
    const Case cases[] = {{0, 50, false, 0},   {10, 17, false, 0},  {639, 95, true, PaneOverviewMono},
                          {10, 101, false, 0}, {10, 102, false, 0}, {10, 103, true, PaneDetailMono},
                          {10, 8, false, 0}};
    for (const Case& c : cases) {
        view.m_nSelPane = PaneNone;
        EXPECT_EQ(view.OnLButtonDown(c.x, c.y), c.starts) << c.x << "," << c.y;
        EXPECT_EQ(view.m_nSelPane, c.pane) << c.x << "," << c.y;
    }
    CCurrentFormat other;
    COndrelDoc empty(other);
    CWaveViewCore none(empty);
    none.RecalcLayout(640, 300);
    EXPECT_FALSE(none.OnLButtonDown(10, 50));
}

TEST_F(ViewTest, SelectionInBytesForEveryPaneKind)
{
    struct Case {
        const char* name;
        unsigned channels, bits;
        int pane, start, anchor, current;
        std::uint32_t n, wantStart, wantLength;
    };
    const Case cases[] = {
        {"overview stereo 16", 2, 16, PaneOverviewCh2, 0, 100, 50, 4, 800, 800},
        {"detail mono 8", 1, 8, PaneDetailMono, 1000, 11, 40, 1, 1005, 14},
        {"detail stereo 16", 2, 16, PaneDetailCh1, 10, 40, 11, 1, (10 + 5) * 4, 14 * 4},
        {"overview mono 8", 1, 8, PaneOverviewMono, 0, 3, 7, 10, 30, 40},
        {"none", 1, 8, PaneNone, 0, 5, 5, 1, 5, 0},
    };
    for (const Case& c : cases) {
        SetData(c.channels, c.bits, 1000000, [](std::uint32_t) { return 0; });
        view.m_nSelPane = c.pane;
        view.m_nStartFrame = c.start;
        view.m_nSelAnchor = c.anchor;
        view.m_nSelCurrent = c.current;
        view.m_nFramesPerColumn = c.n;
        EXPECT_EQ(view.GetSelectionStart(), c.wantStart) << c.name;
        EXPECT_EQ(view.GetSelectionLength(), c.wantLength) << c.name;
    }
    // Never past the data, whatever the pixels say.
    SetData(1, 8, 100, [](std::uint32_t) { return 0; });
    view.m_nSelPane = PaneOverviewMono;
    view.m_nFramesPerColumn = 10;
    view.m_nSelAnchor = 5;
    view.m_nSelCurrent = 50;
    EXPECT_EQ(view.GetSelectionStart(), 50u);
    EXPECT_EQ(view.GetSelectionLength(), 50u);
}

TEST_F(ViewTest, DragBoundsAndReadouts)
{
    // Overview, N = 1000 and n = 4 (width 250): x = 250 accepted, 251 not.
    SetData(1, 8, 1000, [](std::uint32_t) { return 128; }, 44100);
    Paint(250, 300);
    ASSERT_EQ(view.m_nFramesPerColumn, 4u);
    ASSERT_TRUE(view.OnLButtonDown(10, 50));
    view.TrackSelection(*dc, 250, 50);
    EXPECT_EQ(view.m_nSelCurrent, 250);
    view.TrackSelection(*dc, 251, 50);
    EXPECT_EQ(view.m_nSelCurrent, 250);
    view.TrackSelection(*dc, -1, 50);
    EXPECT_EQ(view.m_nSelCurrent, 250);

    // Detail, 16-bit stereo, start 900 of 1000: x = 198 is frame 999, 200 is past.
    SetData(2, 16, 4000, [](std::uint32_t) { return 0; });
    Paint();
    ASSERT_TRUE(view.OnLButtonDown(10, 150));
    view.m_nStartFrame = 900;
    view.TrackSelection(*dc, 198, 150);
    EXPECT_EQ(view.m_nSelCurrent, 198);
    view.TrackSelection(*dc, 200, 150);
    EXPECT_EQ(view.m_nSelCurrent, 198);

    // Readouts: 100 overview columns of 441 frames at 44100 Hz; 20 detail
    // pixels at 8000 Hz.
    SetData(1, 16, 441 * 640 * 2, [](std::uint32_t) { return 0; }, 44100);
    Paint();
    ASSERT_EQ(view.m_nFramesPerColumn, 441u);
    ASSERT_TRUE(view.OnLButtonDown(10, 50));
    view.TrackSelection(*dc, 110, 50);
    EXPECT_EQ(frame.GetText(ID_INDICATOR_SELTIME), "1.000S");
    EXPECT_EQ(frame.GetText(ID_INDICATOR_SELFREQ), "1.000Hz");
    frame.SetFormat(8000, 1, 16);
    ASSERT_TRUE(view.OnLButtonDown(10, 150));
    view.TrackSelection(*dc, 30, 150);
    EXPECT_EQ(frame.GetText(ID_INDICATOR_SELTIME), "1.250mS");
    EXPECT_EQ(frame.GetText(ID_INDICATOR_SELFREQ), "800.0Hz");

    // Moves without the button do nothing.
    view.OnLButtonUp();
    view.TrackSelection(*dc, 60, 150);
    EXPECT_EQ(view.m_nSelCurrent, 30);
}

TEST_F(ViewTest, DragInvertsColumnsAndAFullPaintOneMore)
{
    SetData(2, 8, 2000, [](std::uint32_t) { return 128; });
    Paint();
    const std::vector<std::uint32_t> before = pixels;
    ASSERT_TRUE(view.OnLButtonDown(20, 230)); // lower detail half: both halves highlight
    view.TrackSelection(*dc, 30, 230);
    view.TrackSelection(*dc, 25, 230); // back left: 25..29 restored
    // Columns 20..24 inverted in rows top+1..bottom-2 of both halves.
    EXPECT_EQ(At(20, 103), ((before[103 * 640 + 20] ^ 0xFFFFFF) & 0xFFFFFF));
    EXPECT_EQ(At(24, 195), ((before[195 * 640 + 24] ^ 0xFFFFFF) & 0xFFFFFF));
    EXPECT_EQ(At(24, 202), ((before[202 * 640 + 24] ^ 0xFFFFFF) & 0xFFFFFF));
    EXPECT_EQ(At(20, 102), before[102 * 640 + 20] & 0xFFFFFF); // top row never
    EXPECT_EQ(At(20, 196), before[196 * 640 + 20] & 0xFFFFFF); // bottom - 1 never
    EXPECT_EQ(At(25, 150), before[150 * 640 + 25] & 0xFFFFFF);
    EXPECT_EQ(At(19, 150), before[150 * 640 + 19] & 0xFFFFFF);
    // A full paint shows columns 20..25.
    view.OnLButtonUp();
    Paint();
    EXPECT_EQ(At(25, 150), ((before[150 * 640 + 25] ^ 0xFFFFFF) & 0xFFFFFF));
    EXPECT_EQ(At(26, 150), before[150 * 640 + 26] & 0xFFFFFF);
}

TEST_F(ViewTest, RepeatedPaintsFollowChangesOfTheData)
{
    SetData(1, 8, 1280, [](std::uint32_t) { return 128; });
    Paint();
    EXPECT_EQ(RowsOf(10, 17, 96, kBlack), std::vector<int>{56});
    std::uint8_t* p = doc.LockData();
    std::memset(p, 255, 1280);
    doc.UnlockData();
    doc.m_wave.NoteDataChanged();
    Paint();
    EXPECT_EQ(RowsOf(10, 17, 96, kBlack).front(), 19);
}
