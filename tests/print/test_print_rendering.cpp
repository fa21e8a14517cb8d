// Printed pages: the layout arithmetic, the page count, the drawing of a
// page onto an image, and whole PDF jobs through the command-line tool.

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "platform/Profile.h"
#include "print/PrintRendering.h"
#include "tests/support/WaveFixtures.h"
#include "view/CWaveViewCore.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cctype>
#include <sys/wait.h>
#include <vector>

namespace {
constexpr double c = 0.03937007874015748;
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(192, 192, 192);
const QRgb kBlack = qRgb(0, 0, 0);

struct LayoutCase {
    const char* name;
    SDeviceGeometry device;
    SPrintSettings settings;
    SPageLayout expected;
};

// Expected values worked out by hand from the layout rules.
const LayoutCase kLayouts[] = {
    // 50 px = 4.23 mm of offset: oxm 4, left 20 - 4 = 16, lx = trunc(16 x
    // 300 c) = 188, right 0 + 4; width = trunc(2550 - 47.24) - trunc(47.24)
    // - 188 = 2502 - 47 - 188.
    {"300 dpi with a 50 px offset", {300, 300, 2550, 3300, 50, 50}, {20, 0, 20, 0, 1},
     {1, 1, 4, 4, 16, 16, 4, 4, 188, 188, 2267, 3017}},
    // sx = 600 x 2 / 300; lx = trunc(20 x 600 c / 4) = trunc(118.11),
    // ty = trunc(20 x 300 c / 2); width = 5100 / 4 - 118, height 3300 / 2 - 118.
    {"600 x 300 dpi at factor 2", {600, 300, 5100, 3300, 0, 0}, {20, 0, 20, 0, 2},
     {4, 2, 0, 0, 20, 20, 0, 0, 118, 118, 1157, 1532}},
    {"300 x 600 dpi at factor 1", {300, 600, 2550, 6600, 0, 0}, {0, 0, 0, 0, 1},
     {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 2550, 3300}},
    // An offset of 25.4 mm beyond a 20 mm margin: the drawing starts at the
    // printable area's edge; the right margin takes the offset: width =
    // trunc(2550 - 295.28) - trunc(295.28), height = trunc(3300 - 94.49) -
    // trunc(94.49).
    {"offset beyond the margin", {300, 300, 2550, 3300, 300, 100}, {20, 0, 5, 0, 1},
     {1, 1, 25, 8, 0, 0, 25, 8, 0, 0, 2254 - 295, 3205 - 94}},
    // A4 at 300 dpi, whole sheet printable: lx = ty = trunc(236.22).
    {"A4 at 300 dpi, no offset", {300, 300, 2479, 3508, 0, 0}, {20, 0, 20, 0, 1},
     {1, 1, 0, 0, 20, 20, 0, 0, 236, 236, 2479 - 236, 3508 - 236}},
    // Nonsense from a broken device or profile must not divide by zero.
    {"dpi 0 and factor 0", {0, 0, 100, 100, 0, 0}, {0, 0, 0, 0, 0},
     {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 100, 100}},
};

class PageLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PageLayoutTest, MatchesHandComputation)
{
    const LayoutCase& t = GetParam();
    const SPageLayout l = ComputePageLayout(t.device, t.settings);
    const SPageLayout& e = t.expected;
    EXPECT_EQ(l.sx, e.sx);
    EXPECT_EQ(l.sy, e.sy);
    EXPECT_EQ(l.oxm, e.oxm);
    EXPECT_EQ(l.oym, e.oym);
    EXPECT_EQ(l.left, e.left);
    EXPECT_EQ(l.top, e.top);
    EXPECT_EQ(l.right, e.right);
    EXPECT_EQ(l.bottom, e.bottom);
    EXPECT_EQ(l.lx, e.lx);
    EXPECT_EQ(l.ty, e.ty);
    EXPECT_EQ(l.width, e.width);
    EXPECT_EQ(l.height, e.height);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PageLayoutTest, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

TEST(PrintSettings, ReadFromTheProfileWithDefaults)
{
    CTempDir dir;
    EXPECT_EQ(SPrintSettings::FromProfile(CProfile(dir / "none.ini")).left, 20);
    WriteAll(dir / "p.ini", std::string("[print layout]\nleft=5\nRESO=3\nDown=7\n"));
    const SPrintSettings s = SPrintSettings::FromProfile(CProfile(dir / "p.ini"));
    EXPECT_EQ(s.left, 5);
    EXPECT_EQ(s.right, 0);
    EXPECT_EQ(s.up, 20);
    EXPECT_EQ(s.down, 7);
    EXPECT_EQ(s.reso, 3);
}

// The rows of column x that hold `color`, top to bottom.
std::vector<int> Rows(const QImage& image, int x, QRgb color)
{
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == color)
            rows.push_back(y);
    return rows;
}

// A document in the program's current format with its view; pages are
// drawn onto a white image, one device pixel per drawing unit unless a
// test lays the page out otherwise.
class PrintTest : public ::testing::Test {
protected:
    CCurrentFormat frame;
    COndrelDoc doc{frame};
    CWaveViewCore view{doc};

    void SetBytes(unsigned channels, unsigned bits, const Bytes& data)
    {
        doc.m_wave.FreeData();
        doc.m_wave.Allocate(static_cast<std::uint32_t>(std::max<std::size_t>(data.size(), 1)));
        std::uint8_t* p = doc.LockData();
        std::copy(data.begin(), data.end(), p);
        doc.UnlockData();
        doc.m_wave.m_dwDataSize = static_cast<std::uint32_t>(data.size());
        doc.m_wave.m_bHasData = 1;
        doc.m_wave.NoteDataChanged();
        frame.SetFormat(8000, channels, bits);
    }
    // 16-bit frames; each inner list is one frame's channels.
    void Set16(const std::vector<std::vector<int>>& frames)
    {
        Bytes b;
        for (const auto& fr : frames)
            for (int s : fr)
                Put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(s)));
        SetBytes(static_cast<unsigned>(frames.empty() ? 1 : frames[0].size()), 16, b);
    }
    // A detail-pane selection of `count` frames from frame `first`.
    void Select(int first, int count)
    {
        view.m_nSelPane = frame.m_wChannels == 1 ? PaneDetailMono : PaneDetailCh1;
        view.m_nStartFrame = first;
        view.m_nSelAnchor = 0;
        view.m_nSelCurrent = count * view.m_nPixelsPerFrame;
    }
    QImage Draw(int width, int height, unsigned page)
    {
        SPageLayout layout;
        layout.width = width;
        layout.height = height;
        return Draw(layout, width, height, page);
    }
    QImage Draw(const SPageLayout& layout, int imageWidth, int imageHeight, unsigned page)
    {
        QImage image(imageWidth, imageHeight, QImage::Format_RGB32);
        image.fill(kWhite);
        QPainter painter(&image);
        SetupPainterForPage(painter, layout);
        PrintPage(view, painter, 1, QRect(0, 0, layout.width, layout.height), page);
        return image;
    }
    // Columns of rows [y0, y1) holding any black pixel.
    static std::vector<int> BlackColumns(const QImage& image, int y0, int y1)
    {
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x)
            for (int y = y0; y < y1; ++y)
                if (image.pixel(x, y) == kBlack) {
                    columns.push_back(x);
                    break;
                }
        return columns;
    }
    static std::vector<int> Range(int from, int to)
    {
        std::vector<int> v;
        for (int i = from; i <= to; ++i)
            v.push_back(i);
        return v;
    }
};

TEST_F(PrintTest, PageCountsAndUnusableAreas)
{
    // 20 x 512 units: 10 frames per strip, 2 strips, 20 frames per page.
    struct Case {
        int frames;
        int width, height;
        std::uint32_t pages;
    };
    const Case cases[] = {
        // f x k frames need only f x k - 1 segments, and f x k + 1 frames
        // fill a page exactly: a strip ends on the frame the next starts at.
        {0, 20, 512, 1},   // nothing to print: one blank page
        {1, 20, 512, 1},
        {2, 20, 512, 1},
        {20, 20, 512, 1},
        {21, 20, 512, 1},  // 20 segments: one full page, no empty second
        {22, 20, 512, 2},
        {41, 20, 512, 2},
        {42, 20, 512, 3},
        {40, 20, 255, 0},  // lower than a strip
        {40, 1, 512, 0},   // narrower than one step
        {40, 0, 0, 0},
        {40, -5, 512, 0},
    };
    for (const Case& t : cases) {
        Set16(std::vector<std::vector<int>>(static_cast<std::size_t>(t.frames), {0}));
        EXPECT_EQ(CountPrintPages(view, t.width, t.height), t.pages) << t.frames << " frames in " << t.width << "x"
                                                                      << t.height;
        EXPECT_EQ(PrintAreaUsable(t.width, t.height, 2), t.pages != 0);
    }
    EXPECT_FALSE(PrintAreaUsable(20, 512, 0));
}

TEST_F(PrintTest, PageCountFollowsTheSelection)
{
    Set16(std::vector<std::vector<int>>(100, {0}));
    Select(30, 25);
    EXPECT_EQ(CountPrintPages(view, 20, 512), 2u);
    Select(30, 20);
    EXPECT_EQ(CountPrintPages(view, 20, 512), 1u);
    // n frames inside the data draw n segments, the last to the next frame.
    Select(30, 21);
    EXPECT_EQ(CountPrintPages(view, 20, 512), 2u);
    // Up to the last frame there is no next frame: 21 frames, 20 segments.
    Select(79, 21);
    EXPECT_EQ(CountPrintPages(view, 20, 512), 1u);
    // The last frame alone has no segment: one page of centre lines.
    Select(99, 1);
    EXPECT_EQ(CountPrintPages(view, 20, 512), 1u);
    // A selection of under one frame selects nothing: one blank page.
    view.m_nSelAnchor = 0;
    view.m_nSelCurrent = 1;
    EXPECT_EQ(CountPrintPages(view, 20, 512), 1u);
}

// What the count promises, checked against the drawing: every counted page
// draws at least one segment and the page after the last draws none, for
// every length around the page boundaries, with and without a selection.
TEST_F(PrintTest, EveryCountedPageDrawsAndTheNextDoesNot)
{
    // 20 x 512 units: 20 segments a page.
    auto check = [this](const std::string& what) {
        const std::uint32_t pages = CountPrintPages(view, 20, 512);
        for (std::uint32_t p = 1; p <= pages; ++p)
            EXPECT_FALSE(BlackColumns(Draw(20, 512, p), 0, 512).empty()) << what << ", page " << p << " of " << pages;
        EXPECT_TRUE(BlackColumns(Draw(20, 512, pages + 1), 0, 512).empty()) << what << ", " << pages << " pages";
    };
    for (int frames = 2; frames <= 62; ++frames) {
        Set16(std::vector<std::vector<int>>(static_cast<std::size_t>(frames), {16384}));
        view.m_nSelAnchor = view.m_nSelCurrent = 0;
        check(std::to_string(frames) + " frames");
    }
    // 62 frames; selections from the start, inside, and up to the end.
    for (int first : {0, 7, 22, 41})
        for (int count : {1, 2, 19, 20, 21, 22, 40, 41}) {
            if (first + count > 62 || (first + count == 62 && count == 1))
                continue;
            Select(first, count);
            check(std::to_string(count) + " frames from " + std::to_string(first));
        }
}

// Constant data in each of the four formats: black rows where the samples
// put them, grey centre lines, positive samples above the centre.
TEST_F(PrintTest, EachFormatDrawsAtItsHeights)
{
    struct Case {
        const char* name;
        unsigned channels, bits;
        Bytes frame;
        std::vector<int> black; // rows in column 7 of a 20 x 256 area
        std::vector<int> grey;
    };
    Bytes m16a, m16b, s16;
    Put16(m16a, 32767);            // 127 x 32767 / 32768 = 126.99 -> 126
    Put16(m16b, 0x8000);           // -127
    Put16(s16, 16384);             // 63 x 16384 / 32768 = 31.5 -> 31
    Put16(s16, 0xC000);            // -16384 -> -31
    const Case cases[] = {
        {"mono 8, 255", 1, 8, {255}, {128 - 126}, {128}},   // 127 x 127 / 128 = 126
        {"mono 8, 0", 1, 8, {0}, {128 + 127}, {128}},
        {"mono 8, 192", 1, 8, {192}, {128 - 63}, {128}},
        {"mono 16, 32767", 1, 16, m16a, {128 - 126}, {128}},
        {"mono 16, -32768", 1, 16, m16b, {128 + 127}, {128}},
        {"stereo 8, 192 and 64", 2, 8, {192, 64}, {64 - 31, 193 + 31}, {64, 193}},
        {"stereo 16, 16384 and -16384", 2, 16, s16, {64 - 31, 193 + 31}, {64, 193}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        Bytes data;
        for (int i = 0; i < 11; ++i)
            data.insert(data.end(), t.frame.begin(), t.frame.end());
        SetBytes(t.channels, t.bits, data);
        const QImage image = Draw(20, 256, 1);
        EXPECT_EQ(Rows(image, 7, kBlack), t.black);
        EXPECT_EQ(Rows(image, 7, kGrey), t.grey);
    }
}

// Strips run on from each other and pages from each other: strip s of page
// n starts at frame f x k x (n - 1) + s x f, and a strip ends with its
// segment to the first frame of the next.
TEST_F(PrintTest, StripsAndPagesContinueTheData)
{
    // 20 x 512: f = 10, k = 2. Frames 0..9 high, 10..19 low, 20..30 middle.
    std::vector<std::vector<int>> frames;
    for (int i = 0; i < 31; ++i)
        frames.push_back({i < 10 ? 32767 : i < 20 ? -32768 : 16384});
    Set16(frames);
    const QImage page1 = Draw(20, 512, 1);
    // Column 5: strip 0 (frames 0..10) high, strip 1 (frames 10..20) low.
    EXPECT_EQ(Rows(page1, 5, kBlack), (std::vector<int>{128 - 126, 384 + 127}));
    EXPECT_EQ(Rows(page1, 5, kGrey), (std::vector<int>{128, 384}));
    const QImage page2 = Draw(20, 512, 2);
    EXPECT_EQ(Rows(page2, 5, kBlack), std::vector<int>{128 - 63});   // frame 20 on
    // Frame 30 is the last: its strip ends there, the next strip is empty.
    EXPECT_TRUE(BlackColumns(page2, 256, 512).empty());
    EXPECT_EQ(Rows(page2, 5, kGrey), (std::vector<int>{128, 384}));
    // Past the data: centre lines only.
    const QImage page3 = Draw(20, 512, 3);
    EXPECT_TRUE(BlackColumns(page3, 0, 512).empty());
    EXPECT_EQ(Rows(page3, 5, kGrey), (std::vector<int>{128, 384}));
}

TEST_F(PrintTest, DrawingStopsAtTheLastFrame)
{
    // 25 frames on pages of 20: page 2 joins frames 20..24, four segments.
    Set16(std::vector<std::vector<int>>(25, {16384}));
    const QImage page2 = Draw(20, 512, 2);
    EXPECT_EQ(BlackColumns(page2, 0, 256), Range(0, 8));
}

TEST_F(PrintTest, SelectionPrintsOnlyItsFrames)
{
    // Frames 0..4 low, 5..11 high, 12.. middle; frames 5..10 selected. The
    // drawing joins frame 5 to 11, the frame after the selection.
    std::vector<std::vector<int>> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back({i < 5 ? -32768 : i < 12 ? 32767 : 16384});
    Set16(frames);
    Select(5, 6);
    const QImage image = Draw(40, 256, 1);
    EXPECT_EQ(BlackColumns(image, 0, 256), Range(0, 12));
    EXPECT_EQ(Rows(image, 6, kBlack), std::vector<int>{2});
    // Page 2 of a one-page selection: centre line only.
    EXPECT_TRUE(BlackColumns(Draw(40, 256, 2), 0, 256).empty());
}

TEST_F(PrintTest, SelectionAtTheEndReadsNothingPastTheData)
{
    // Frames 6..11 of 12 selected: there is no frame after the selection to
    // join, so the drawing ends at frame 11 (x = 10).
    Set16(std::vector<std::vector<int>>(12, {16384}));
    Select(6, 6);
    EXPECT_EQ(BlackColumns(Draw(40, 256, 1), 0, 256), Range(0, 10));
}

TEST_F(PrintTest, NoDataDrawsNothing)
{
    const QImage empty = Draw(20, 256, 1); // no block at all
    EXPECT_TRUE(Rows(empty, 5, kGrey).empty());
    SetBytes(1, 16, Bytes{});
    EXPECT_TRUE(Rows(Draw(20, 256, 1), 5, kGrey).empty());
    EXPECT_EQ(CountPrintPages(view, 20, 256), 1u);
}

TEST_F(PrintTest, PainterMapsUnitsToTheMarginCornerAndClips)
{
    // Two device pixels per unit across, one down; the margin corner at
    // units (3, 4), i.e. pixel (6, 4); 10 x 256 units of drawing area.
    Set16(std::vector<std::vector<int>>(20, {16384}));
    SPageLayout layout;
    layout.sx = 2;
    layout.sy = 1;
    layout.lx = 3;
    layout.ty = 4;
    layout.width = 10;
    layout.height = 256;
    const QImage image = Draw(layout, 40, 270, 1);
    const int centre = 4 + 128;
    EXPECT_EQ(image.pixel(5, centre), kWhite);
    EXPECT_EQ(image.pixel(6, centre), kGrey);
    EXPECT_EQ(image.pixel(25, centre), kGrey);
    EXPECT_EQ(image.pixel(26, centre), kWhite); // clipped at unit 10
    EXPECT_EQ(BlackColumns(image, 0, 270), Range(6, 25));
    EXPECT_EQ(Rows(image, 10, kBlack), std::vector<int>{centre - 63});
}

// Whole jobs through the command-line tool, read back with poppler.
class PrintCliTest : public ::testing::Test {
protected:
    CTempDir dir;

    int Run(const std::string& args)
    {
        const std::string cmd = "XDG_CONFIG_HOME='" + dir / "config" + "' '" + ONDREL_CLI_PATH + "' " + args +
                                " >'" + dir / "out.txt" + "' 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output() const
    {
        const Bytes b = ReadAll(dir / "out.txt");
        return std::string(b.begin(), b.end());
    }
    int Pages(const std::string& pdf)
    {
        const std::string cmd = "pdfinfo '" + pdf + "' >'" + dir / "info.txt" + "' 2>&1";
        if (std::system(cmd.c_str()) != 0)
            return -1;
        const Bytes b = ReadAll(dir / "info.txt");
        const std::string text(b.begin(), b.end());
        const auto at = text.find("Pages:");
        return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 6);
    }
    QImage Page(const std::string& pdf, int page)
    {
        // Without anti-aliasing: a line one point wide fills one row exactly.
        const std::string cmd = "pdftoppm -r 72 -aa no -aaVector no -png -singlefile -f " + std::to_string(page) + " -l " +
                                std::to_string(page) + " '" + pdf + "' '" + dir / "page" + "'";
        if (std::system(cmd.c_str()) != 0)
            return {};
        return QImage(QString::fromStdString(dir / "page.png")).convertToFormat(QImage::Format_RGB32);
    }
    // Mono 16-bit file of `frames` frames of `value`, then `tail` of `tailValue`.
    std::string Wave(int frames, int value, int tail = 0, int tailValue = 0)
    {
        Bytes data;
        for (int i = 0; i < frames + tail; ++i)
            Put16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(i < frames ? value : tailValue)));
        WriteAll(dir / "in.wav", SimpleWave(PcmFormat{1, 8000, 16}, data));
        return dir / "in.wav";
    }
};

// A4 at 72 dpi is 595 x 842 points; margins 20 mm left and top are
// trunc(20 x 72 c) = 56 units. Width 595 - 56 = 539: 269 frames a strip;
// height 842 - 56 = 786: 3 strips; 807 frames a page.
TEST_F(PrintCliTest, PdfPagesAndStripPositions)
{
    ASSERT_EQ(static_cast<int>(20 * 72 * c), 56);
    const std::string in = Wave(2 * 807, 16384);
    ASSERT_EQ(Run("print --dpi 72 '" + in + "' '" + dir / "out.pdf" + "'"), 0) << Output();
    EXPECT_EQ(Pages(dir / "out.pdf"), 2);
    const QImage page = Page(dir / "out.pdf", 1);
    ASSERT_EQ(page.size(), QSize(595, 842));
    // Strips at 56, 312, 568: centre lines 128 below, the samples 63 above.
    EXPECT_EQ(Rows(page, 300, kGrey), (std::vector<int>{184, 440, 696}));
    EXPECT_EQ(Rows(page, 300, kBlack), (std::vector<int>{121, 377, 633}));
    EXPECT_EQ(page.pixel(55, 184), kWhite); // left of the margin
    EXPECT_EQ(page.pixel(56, 184), kGrey);

    // A strip ends on the frame the next one starts at: one frame more
    // still fits two pages, two more take a third, which draws.
    ASSERT_EQ(Run("print --dpi 72 '" + Wave(2 * 807 + 1, 16384) + "' '" + dir / "out.pdf" + "'"), 0) << Output();
    EXPECT_EQ(Pages(dir / "out.pdf"), 2);
    EXPECT_EQ(Rows(Page(dir / "out.pdf", 2), 595 - 2, kBlack), (std::vector<int>{121, 377, 633}));
    ASSERT_EQ(Run("print --dpi 72 '" + Wave(2 * 807 + 2, 16384) + "' '" + dir / "out.pdf" + "'"), 0) << Output();
    EXPECT_EQ(Pages(dir / "out.pdf"), 3);
    EXPECT_EQ(Rows(Page(dir / "out.pdf", 3), 57, kBlack), std::vector<int>{121});
}

// Without --dpi the PDF is a 300-dpi device: strips 256 units = 61.44
// points apart, from 20 mm = trunc(236.2) units down; 12 strips a page.
TEST_F(PrintCliTest, DefaultResolutionIs300Dpi)
{
    ASSERT_EQ(Run("print '" + Wave(100, 16384) + "' '" + dir / "out.pdf" + "'"), 0) << Output();
    const std::vector<int> rows = Rows(Page(dir / "out.pdf", 1), 300, kGrey);
    ASSERT_EQ(rows.size(), 12u);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_NEAR(rows[i], (236 + 128 + 256.0 * static_cast<double>(i)) * 72 / 300, 1.0) << i;
}

TEST_F(PrintCliTest, MarginsFromOptionsAndProfile)
{
    const std::string in = Wave(100, 16384);
    std::filesystem::create_directories(dir / "config/ondrel");
    WriteAll(dir / "config/ondrel/ondrel.ini", std::string("[Print Layout]\nUp=0\nLeft=0\n"));
    ASSERT_EQ(Run("print --dpi 72 '" + in + "' '" + dir / "out.pdf" + "'"), 0) << Output();
    QImage page = Page(dir / "out.pdf", 1);
    EXPECT_EQ(Rows(page, 100, kGrey), (std::vector<int>{128, 384, 640}));
    EXPECT_EQ(page.pixel(0, 128), kGrey);

    // The options win. Factor 2: a unit is 2 x 2 points and the lines are a
    // unit wide. Top 10 mm = trunc(10 x 72 c / 2) = 14 units; the page's
    // trunc(842 / 2) - 14 = 407 units hold one strip, centred at unit 142.
    ASSERT_EQ(Run("print --dpi 72 --reso 2 --margins 0,0,10,0 '" + in + "' '" + dir / "out.pdf" + "'"), 0)
        << Output();
    page = Page(dir / "out.pdf", 1);
    EXPECT_EQ(Rows(page, 100, kGrey), (std::vector<int>{283, 284}));
}

TEST_F(PrintCliTest, SelectionPrintsFromItsFirstFrame)
{
    // Frames 0..999 low, then high; bytes 2000.. select 900 frames from frame 1000.
    const std::string in = Wave(1000, -16384, 1000, 16384);
    ASSERT_EQ(Run("print --dpi 72 --start 2000 --length 1800 '" + in + "' '" + dir / "out.pdf" + "'"), 0)
        << Output();
    EXPECT_EQ(Pages(dir / "out.pdf"), 2); // 900 frames at 807 a page
    const QImage page = Page(dir / "out.pdf", 1);
    EXPECT_EQ(Rows(page, 60, kBlack), (std::vector<int>{121, 377, 633}));
}

TEST_F(PrintCliTest, RefusalsLeaveNoOutput)
{
    const std::string in = Wave(100, 0);
    const std::string out = dir / "out.pdf";
    const char* refused[] = {
        "--dpi 71", "--dpi 2401", "--reso 0", "--reso 11", "--margins 0,0,0,51", "--margins 1,2,3",
        "--margins 1,2,3,4,5", "--start 2", "--start 1 --length 2", "--start 100 --length 102",
        "--start 0 --length 0",
        "--dpi 72 --reso 10", // 84 units high: no room for a strip
    };
    for (const char* options : refused) {
        EXPECT_EQ(Run(std::string("print ") + options + " '" + in + "' '" + out + "'"), 2) << options;
        EXPECT_FALSE(std::filesystem::exists(out)) << options;
    }
    EXPECT_EQ(Run("print '" + dir / "missing.wav" + "' '" + out + "'"), 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.wav", "out.txt"}));
}
} // namespace
