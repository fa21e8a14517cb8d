#include "tests/support/WaveFixtures.h"

#include <gtest/gtest.h>

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "view/CWaveViewCore.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <limits>

#include <sys/wait.h>

namespace {
struct Result {
    int exit;
    std::string out, err;
};

Result RunCli(const CTempDir& dir, const std::string& args)
{
    std::string cmd = std::string("'") + ONDREL_CLI_PATH + "' " + args + " >'" + (dir / "stdout") +
                      "' 2>'" + (dir / "stderr") + "'";
    int status = std::system(cmd.c_str());
    Bytes out = ReadAll(dir / "stdout"), err = ReadAll(dir / "stderr");
    std::filesystem::remove(dir / "stdout");
    std::filesystem::remove(dir / "stderr");
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(out.begin(), out.end()),
            std::string(err.begin(), err.end())};
}

std::string Q(const std::string& path) { return "'" + path + "'"; }

// The same audio as plain.wav (the save's layout) and as listed.wav (a LIST
// chunk before the data).
void WritePlainAndListed(const CTempDir& dir, const PcmFormat& f, const Bytes& data)
{
    WriteAll(dir / "plain.wav", SimpleWave(f, data));
    Bytes chunks;
    PutChunk(chunks, "fmt ", FmtBody(f));
    PutChunk(chunks, "LIST", OddListBody());
    PutChunk(chunks, "data", data);
    WriteAll(dir / "listed.wav", RiffWave(chunks));
}
} // namespace

TEST(Cli, InfoPrintsTheFormatOnOneLine)
{
    CTempDir dir;
    WriteAll(dir / "a.wav", SimpleWave(PcmFormat{2, 96000, 16}, Ramp(4000)));
    Result r = RunCli(dir, "info " + Q(dir / "a.wav"));
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "channels=2 bits=16 rate=96000 bytes=4000 frames=1000\n");
}

// Converted files: the line of the 16-bit document and what the file held;
// copy writes the 16-bit canonical file. sox writes the files, and sox's
// own undithered 16-bit version is the expected audio.
TEST(Cli, ConvertedFilesSayWhatTheyWereAndCopyAs16Bits)
{
    CTempDir dir;
    struct Case {
        const char* sox;
        const char* name;
    };
    const Case cases[] = {{"-b 24 -e signed-integer", "pcm24"},  {"-t wavpcm -b 32 -e signed-integer", "pcm32"},
                          {"-b 32 -e floating-point", "float32"}, {"-b 64 -e floating-point", "float64"},
                          {"-b 8 -e a-law", "alaw"},               {"-b 8 -e u-law", "mulaw"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir / "in.wav";
        ASSERT_EQ(std::system(("sox -V1 -n -r 48000 -c 2 " + std::string(c.sox) + " " + Q(in) +
                               " synth 0.1 sine 440 2>&1").c_str()),
                  0);
        ASSERT_EQ(std::system(("sox -V1 " + Q(in) + " -D -t wavpcm -b 16 -e signed-integer " + Q(dir / "ref.wav") +
                               " 2>&1").c_str()),
                  0);
        Result r = RunCli(dir, "info " + Q(in));
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(r.out, std::string("channels=2 bits=16 rate=48000 bytes=19200 frames=4800 converted=") +
                             c.name + "\n");
        r = RunCli(dir, "copy " + Q(in) + " " + Q(dir / "out.wav"));
        EXPECT_EQ(r.exit, 0) << r.err;
        const Bytes out = ReadAll(dir / "out.wav");
        ASSERT_EQ(out.size(), 44u + 19200u);
        const Bytes header = SimpleWave(PcmFormat{2, 48000, 16}, Bytes(19200));
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 44), Bytes(header.begin(), header.begin() + 44));
        const Bytes ref = ReadAll(dir / "ref.wav");
        ASSERT_GE(ref.size(), 19200u);
        EXPECT_EQ(Bytes(out.begin() + 44, out.end()), Bytes(ref.end() - 19200, ref.end()));
        // An ordinary file says nothing more.
        r = RunCli(dir, "info " + Q(dir / "out.wav"));
        EXPECT_EQ(r.out, "channels=2 bits=16 rate=48000 bytes=19200 frames=4800\n");
    }
}

TEST(Cli, CopyRewritesInThe44ByteLayout)
{
    CTempDir dir;
    const Bytes list = OddListBody();
    Bytes chunks;
    PutChunk(chunks, "fmt ", FmtBody(PcmFormat{1, 11025, 8}));
    PutChunk(chunks, "LIST", list);
    PutChunk(chunks, "data", Ramp(101));
    WriteAll(dir / "in.wav", RiffWave(chunks));
    Result r = RunCli(dir, "copy " + Q(dir / "in.wav") + " " + Q(dir / "out.wav"));
    EXPECT_EQ(r.exit, 0) << r.err;
    Bytes expected = SimpleWave(PcmFormat{1, 11025, 8}, Ramp(101));
    expected.pop_back(); // no pad byte follows odd-sized data in the written layout
    expected[4] -= 1;    // nor is one counted in the RIFF size
    EXPECT_EQ(ReadAll(dir / "out.wav"), expected);
}

TEST(Cli, FailuresExitWithTheirCodesAndLeaveOutAlone)
{
    CTempDir dir;
    const Bytes old = SimpleWave(PcmFormat{}, Ramp(10));
    WriteAll(dir / "out.wav", old);
    WriteAll(dir / "bad.wav", SimpleWave(PcmFormat{3, 8000, 16}, Ramp(12)));
    WriteAll(dir / "good.wav", SimpleWave(PcmFormat{}, Ramp(20)));

    struct Case {
        const char* name;
        std::string args;
        int exit;
    };
    const Case cases[] = {
        {"no command", "", 2},
        {"unknown command", "frobnicate", 2},
        {"info without file", "info", 2},
        {"copy with one file", "copy " + Q(dir / "good.wav"), 2},
        {"missing input", "info " + Q(dir / "missing.wav"), 1},
        {"unsupported input", "copy " + Q(dir / "bad.wav") + " " + Q(dir / "out.wav"), 1},
        {"unwritable output", "copy " + Q(dir / "good.wav") + " " + Q(dir / "no/dir/out.wav"), 1},
    };
    for (const Case& c : cases) {
        Result r = RunCli(dir, c.args);
        EXPECT_EQ(r.exit, c.exit) << c.name;
        EXPECT_FALSE(r.err.empty()) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        if (c.exit == 1) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": " << r.err;
        }
    }
    EXPECT_EQ(ReadAll(dir / "out.wav"), old);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"bad.wav", "good.wav", "out.wav"}));
}

TEST(Cli, DeleteRemovesTheBytesOfASelection)
{
    CTempDir dir;
    // The undo copy the document writes goes to a cache folder of the test's
    // own, and goes away when the tool ends.
    const char* oldCache = std::getenv("XDG_CACHE_HOME");
    const std::string keep = oldCache ? oldCache : "";
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);

    const PcmFormat f{2, 44100, 16}; // 4-byte frames
    const Bytes data = Ramp(40);
    WriteAll(dir / "in.wav", SimpleWave(f, data));
    Result r = RunCli(dir, "delete --start 8 --length 12 " + Q(dir / "in.wav") + " " +
                               Q(dir / "out.wav"));
    if (oldCache)
        ::setenv("XDG_CACHE_HOME", keep.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");

    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "");
    Bytes expected(data.begin(), data.begin() + 8);
    expected.insert(expected.end(), data.begin() + 20, data.end());
    EXPECT_EQ(ReadAll(dir / "out.wav"), SimpleWave(f, expected));
    EXPECT_EQ(ReadAll(dir / "in.wav"), SimpleWave(f, data));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "cache/ondrel"));
}

TEST(Cli, DeleteRefusesWhatIsNotASelectionOfWholeFrames)
{
    CTempDir dir;
    WriteAll(dir / "in.wav", SimpleWave(PcmFormat{2, 44100, 16}, Ramp(40)));
    const Bytes old = SimpleWave(PcmFormat{}, Ramp(10));
    WriteAll(dir / "out.wav", old);
    const std::string files = " " + Q(dir / "in.wav") + " " + Q(dir / "out.wav");

    struct Case {
        const char* name;
        std::string args;
        int exit;
        bool oneLine; // a refused value, not a usage error
    };
    const Case cases[] = {
        {"start inside a frame", "--start 2 --length 4" + files, 2, true},
        {"length of half a frame", "--start 0 --length 6" + files, 2, true},
        {"past the end", "--start 36 --length 8" + files, 2, true},
        {"length alone past the end", "--start 0 --length 44" + files, 2, true},
        {"missing --length", "--start 0" + files, 2, false},
        {"missing value", files + " --start 0 --length", 2, false},
        {"not a number", "--start abc --length 4" + files, 2, false},
        {"negative", "--start -4 --length 4" + files, 2, false},
        {"beyond 32 bits", "--start 4294967296 --length 4" + files, 2, false},
        {"option given twice", "--start 0 --start 4 --length 4" + files, 2, false},
        {"times mixed with bytes", "--from 0 --length 4" + files, 2, false},
        {"unknown option", "--begin 0 --length 4" + files, 2, false},
        {"no OUT", "--start 0 --length 4 " + Q(dir / "in.wav"), 2, false},
        {"missing IN", "--start 0 --length 4 " + Q(dir / "no.wav") + " " + Q(dir / "out.wav"), 1,
         true},
    };
    for (const Case& c : cases) {
        Result r = RunCli(dir, "delete " + c.args);
        EXPECT_EQ(r.exit, c.exit) << c.name << ": " << r.err;
        EXPECT_FALSE(r.err.empty()) << c.name;
        if (c.oneLine) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": " << r.err;
        }
    }
    EXPECT_EQ(ReadAll(dir / "out.wav"), old);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST(Cli, RenderWritesTheViewsFullPaint)
{
    CTempDir dir;
    WriteAll(dir / "in.wav", SimpleWave(PcmFormat{2, 8000, 16}, Ramp(8000)));
    Result r = RunCli(dir, "render --width 320 --height 200 --start-frame 100 --select 5:10:30 " +
                               Q(dir / "in.wav") + " " + Q(dir / "out.png"));
    ASSERT_EQ(r.exit, 0) << r.err;
    QImage png(QString::fromStdString(dir / "out.png"));
    ASSERT_EQ(png.size(), QSize(320, 200));

    // The same drawing made here through the view's code, pixel for pixel.
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    ASSERT_EQ(doc.LoadWaveFile(dir / "in.wav"), 1);
    CWaveViewCore view(doc);
    view.m_nStartFrame = 100;
    view.m_nSelPane = PaneDetailCh1;
    view.m_nSelAnchor = 10;
    view.m_nSelCurrent = 30;
    std::vector<std::uint32_t> pixels(320 * 200);
    CDrawSurface dc(pixels.data(), 320, 200, 320);
    view.OnDraw(dc);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(png.pixel(x, y) & 0xFFFFFF, dc.GetPixel(x, y)) << x << "," << y;

    // And what the options stand for: the fixed desktop colours, the marker
    // at start / n, the selection inverted in both detail halves.
    EXPECT_EQ(png.pixel(300, 8) & 0xFFFFFF, 0xC0C0C0u); // COLOR_MENU
    EXPECT_EQ(png.pixel(300, 16) & 0xFFFFFF, 0xFFFFFFu); // COLOR_BTNHIGHLIGHT
    EXPECT_EQ(png.pixel(100 / 7, 5) & 0xFFFFFF, 0x000080u); // n = 2000 / 320 + 1 = 7
    const int firstHalfRow = 200 / 3 + 4 - 2 + 1; // detail top + 1
    EXPECT_NE(png.pixel(20, firstHalfRow + 5) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(png.pixel(40, firstHalfRow + 5) & 0xFFFFFF, 0xFFFFFFu);
}

// The tool starts with Qt's core alone; render and print run the drawing
// tool beside it (as in the build folder) or in ../libexec/ondrel (as
// installed), and without it say so in one line.
TEST(Cli, DrawingGoesToTheDrawingToolAndTheRestNeedsNoDrawingLibraries)
{
    CTempDir dir;
    const std::string cli = ONDREL_CLI_PATH;
    std::string cmd = "ldd '" + cli + "' >'" + (dir / "ldd") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const Bytes ldd = ReadAll(dir / "ldd");
    const std::string libs(ldd.begin(), ldd.end());
    EXPECT_NE(libs.find("libQt6Core"), std::string::npos) << libs;
    for (const char* lib : {"libQt6Gui", "libQt6Widgets", "libQt6PrintSupport", "libQt6Svg"})
        EXPECT_EQ(libs.find(lib), std::string::npos) << lib << " in\n" << libs;

    WriteAll(dir / "in.wav", SimpleWave(PcmFormat{}, Ramp(100)));
    const std::string draw = cli.substr(0, cli.find_last_of('/')) + "/ondrel-cli-draw";
    // Installed: bin/ondrel-cli and libexec/ondrel/ondrel-cli-draw.
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::create_directories(dir / "libexec/ondrel");
    std::filesystem::copy_file(cli, dir / "bin/ondrel-cli");
    std::filesystem::copy_file(draw, dir / "libexec/ondrel/ondrel-cli-draw");
    cmd = "'" + (dir / "bin/ondrel-cli") + "' print " + Q(dir / "in.wav") + " " + Q(dir / "out.pdf") + " 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "out.pdf"));

    // Without it: exit 1, one line naming it, nothing written.
    std::filesystem::remove(dir / "libexec/ondrel/ondrel-cli-draw");
    for (const char* command : {"render", "print"}) {
        cmd = "'" + (dir / "bin/ondrel-cli") + "' " + command + " " + Q(dir / "in.wav") + " " + Q(dir / "out.png") +
              " 2>'" + (dir / "stderr") + "'";
        const int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << command;
        const Bytes err = ReadAll(dir / "stderr");
        const std::string text(err.begin(), err.end());
        EXPECT_EQ(text.rfind(std::string("ondrel-cli: ") + command + ": cannot run ondrel-cli-draw", 0), 0u) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
    }
}

TEST(Cli, RenderRefusesBadOptions)
{
    CTempDir dir;
    WriteAll(dir / "in.wav", SimpleWave(PcmFormat{}, Ramp(100)));
    const std::string io = Q(dir / "in.wav") + " " + Q(dir / "out.png");
    struct Case {
        const char* name;
        std::string args;
        int exit;
    };
    const Case cases[] = {
        {"zero width", "render --width 0 " + io, 2},
        {"not a number", "render --height tall " + io, 2},
        {"negative start", "render --start-frame -5 " + io, 2},
        {"pane 7", "render --select 7:1:2 " + io, 2},
        {"select without current", "render --select 4:1 " + io, 2},
        {"unknown option", "render --zoom 2 " + io, 2},
        {"one file", "render " + Q(dir / "in.wav"), 2},
        {"missing input", "render " + Q(dir / "none.wav") + " " + Q(dir / "out.png"), 1},
    };
    for (const Case& c : cases) {
        Result r = RunCli(dir, c.args);
        EXPECT_EQ(r.exit, c.exit) << c.name << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
}

TEST(Cli, ApplyRunsTheMenusCommands)
{
    CTempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    // Reverse of a selection of 8-bit mono bytes 2..5.
    WriteAll(dir / "in.wav", SimpleWave(PcmFormat{1, 8000, 8}, Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    Result r = RunCli(dir, "apply reverse --start 2 --length 4 " + Q(dir / "in.wav") + " " + Q(dir / "out.wav"));
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(ReadAll(dir / "out.wav"), SimpleWave(PcmFormat{1, 8000, 8}, Bytes{1, 2, 6, 5, 4, 3, 7, 8}));

    // A sine of a quarter of the rate over the whole file.
    WriteAll(dir / "in16.wav", SimpleWave(PcmFormat{1, 8000, 16}, Bytes(8, 0x55)));
    r = RunCli(dir, "apply sine --freq 2000 --amplitude 16384 " + Q(dir / "in16.wav") + " " + Q(dir / "sine.wav"));
    ASSERT_EQ(r.exit, 0) << r.err;
    Bytes expected;
    for (std::int16_t v : {0, 16384, 0, -16384})
        Put16(expected, static_cast<std::uint16_t>(v));
    EXPECT_EQ(ReadAll(dir / "sine.wav"), SimpleWave(PcmFormat{1, 8000, 16}, expected));

    // In place, IN as OUT: the effect reads the audio as it was.
    r = RunCli(dir, "apply reverse " + Q(dir / "in.wav") + " " + Q(dir / "in.wav"));
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(ReadAll(dir / "in.wav"), SimpleWave(PcmFormat{1, 8000, 8}, Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    // The tool keeps no undo copy: no cache folder, no temporary left.
    EXPECT_FALSE(std::filesystem::exists(dir / "cache/ondrel"));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.wav", "in16.wav", "out.wav", "sine.wav"}));
}

TEST(Cli, ApplyRefusesWhatTheDialogsRefuse)
{
    CTempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    WriteAll(dir / "in.wav", SimpleWave(PcmFormat{1, 22050, 16}, Ramp(400)));
    const std::string io = Q(dir / "in.wav") + " " + Q(dir / "out.wav");
    struct Case {
        const char* name;
        std::string args;
        const char* message; // the dialog's own text, or null for a usage error
    };
    const Case cases[] = {
        {"voice ratio", "apply voice --ratio 2.5 " + io, "0.5 から 2 までの数字を入力してください。"},
        {"tremolo frequency first", "apply tremolo --freq 0.5 --level 5 " + io, "1 から 100 までの数字を入力してください。"},
        {"tremolo level", "apply tremolo --level 1.5 " + io, "0 から 1 までの数字を入力してください。"},
        {"echo count", "apply echo --count 2.5 " + io, "整数を入力してください。"},
        {"chorus ratio", "apply chorus --ratio x " + io, "数字を入力してください。"},
        {"sine text", "apply sine --freq abc " + io, "周波数に適切な数値を入力してください。"},
        {"sine above half the rate", "apply sine --freq 11025.5 " + io, "周波数を11025以下の数値にしてください"},
        {"sine amplitude", "apply sine --amplitude 40000 " + io, "0 から 32512 までの数字を入力してください。"},
        // Words and hexadecimal that the C library would read as numbers.
        {"voice ratio nan", "apply voice --ratio nan " + io, "数字を入力してください。"},
        {"tremolo level nan", "apply tremolo --level nan " + io, "数字を入力してください。"},
        {"tremolo frequency inf", "apply tremolo --freq inf " + io, "数字を入力してください。"},
        {"echo mix hex", "apply echo --mix 0x1 " + io, "数字を入力してください。"},
        {"echo count hex", "apply echo --count 0x5 " + io, "整数を入力してください。"},
        {"vibrato frequency too large", "apply vibrato --freq 1e999 " + io, "数字を入力してください。"},
        {"sine nan", "apply sine --freq nan " + io, "周波数に適切な数値を入力してください。"},
        {"sine minus inf", "apply sine --freq -inf " + io, "周波数に適切な数値を入力してください。"},
        {"sine number and more", "apply sine --freq 440abc " + io, "周波数に適切な数値を入力してください。"},
        {"half a frame", "apply reverse --start 1 --length 2 " + io, nullptr},
        {"past the data", "apply reverse --start 398 --length 4 " + io, nullptr},
        {"unknown effect", "apply flanger " + io, nullptr},
        {"option of another effect", "apply echo --ratio 2 " + io, nullptr},
    };
    for (const Case& c : cases) {
        Result r = RunCli(dir, c.args);
        EXPECT_EQ(r.exit, 2) << c.name << ": " << r.err;
        if (c.message) {
            EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    // Accepted at the edge: 11025 at 22050 Hz.
    EXPECT_EQ(RunCli(dir, "apply sine --freq 11025 " + io).exit, 0);
}

namespace {
// Audio whose frames all differ: frame i holds i in its first sample (and
// i >> 16 in the second of a stereo frame), 16 bits each.
Bytes FrameNumbers(std::uint32_t frames, unsigned channels)
{
    Bytes b;
    for (std::uint32_t i = 0; i < frames; ++i) {
        Put16(b, static_cast<std::uint16_t>(i));
        if (channels == 2)
            Put16(b, static_cast<std::uint16_t>(i >> 16));
    }
    return b;
}

constexpr double kEnd = std::numeric_limits<double>::infinity();

// The PDF with its creation time blanked (same length, so the offsets in
// it stay right): two prints of the same pages compare equal.
Bytes WithoutCreationDate(Bytes pdf)
{
    const std::string key = "/CreationDate (";
    auto it = std::search(pdf.begin(), pdf.end(), key.begin(), key.end());
    for (it += it == pdf.end() ? 0 : key.size(); it != pdf.end() && *it != ')'; ++it)
        *it = '0';
    return pdf;
}
} // namespace

// Each TIME becomes the nearest frame, round(seconds x rate), worked out here
// from the seconds each row stands for; --to past the end stops at the end.
TEST(Cli, DeleteTakesTimes)
{
    CTempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    struct SFile {
        PcmFormat format;
        std::uint32_t frames;
    };
    const SFile cd{{2, 44100, 16}, 66150}; // 1.5 s
    const SFile slow{{1, 3, 16}, 11700};   // 1 h 5 min at 3 Hz
    struct Case {
        const char* name;
        const SFile& file;
        const char* options;
        double from;        // seconds
        double to;          // seconds, kEnd for the end
        bool toIsDuration;  // `to` counts from the frame of `from`
    };
    const Case cases[] = {
        {"seconds", cd, "--from 0.5 --to 1", 0.5, 1, false},
        {"from alone runs to the end", cd, "--from 0.25", 0.25, kEnd, false},
        {"to alone starts at 0", cd, "--to .1", 0, 0.1, false},
        {"minutes", cd, "--from 0:00.5 --to 00:01.25", 0.5, 1.25, false},
        {"frame counts", cd, "--from 22050s --to 44101s", 22050.0 / 44100, 44101.0 / 44100, false},
        {"one frame", cd, "--from 10s --to 11s", 10.0 / 44100, 11.0 / 44100, false},
        {"nearest frame down", cd, "--from 0.00001 --to 0.00003", 0.00001, 0.00003, false}, // 0.441, 1.323
        {"nearest frame up", cd, "--from 0.0000115 --to 0.0000341", 0.0000115, 0.0000341, false}, // 0.507, 1.504
        {"duration", cd, "--from 1 --duration 0.2", 1, 0.2, true},
        {"duration in frames", cd, "--from 0.3 --duration 7s", 0.3, 7.0 / 44100, true},
        {"to past the end", cd, "--from 1 --to 5", 1, kEnd, false},
        {"duration past the end", cd, "--from 1 --duration 1:00", 1, kEnd, false},
        {"to far past the end", cd, "--to 99999999999999999999", 0, kEnd, false},
        {"frames far past the end", cd, "--from 1s --to 99999999999999999999s", 1.0 / 44100, kEnd, false},
        {"whole file", cd, "--from 0", 0, kEnd, false},
        {"hours", slow, "--from 1:02:03.4 --to 1:04:59", 3723.4, 3899, false},
        {"across the hour", slow, "--from 59:59 --to 1:00:00.2", 3599, 3600.2, false},
        {"leading zeros", slow, "--from 00:00:01 --to 0:2", 1, 2, false},
        {"seconds beyond a minute alone", slow, "--from 90 --to 3000.5", 90, 3000.5, false},
    };
    for (const Case& c : cases) {
        const PcmFormat& f = c.file.format;
        const unsigned block = f.channels * 2u;
        const Bytes data = FrameNumbers(c.file.frames, f.channels);
        WriteAll(dir / "in.wav", SimpleWave(f, data));
        std::filesystem::remove(dir / "out.wav");

        const long long frames = c.file.frames;
        const long long from = std::llround(c.from * f.rate);
        long long to = c.to == kEnd ? frames : std::llround(c.to * f.rate);
        if (c.toIsDuration && c.to != kEnd)
            to += from;
        to = std::min(to, frames);
        ASSERT_LT(from, to) << c.name;

        Result r = RunCli(dir, std::string("delete ") + c.options + " " + Q(dir / "in.wav") + " " +
                                   Q(dir / "out.wav"));
        ASSERT_EQ(r.exit, 0) << c.name << ": " << r.err;
        Bytes expected(data.begin(), data.begin() + from * block);
        expected.insert(expected.end(), data.begin() + to * block, data.end());
        const Bytes out = ReadAll(dir / "out.wav");
        EXPECT_EQ(out, SimpleWave(f, expected))
            << c.name << ": expected frames " << from << ".." << to << " gone, kept "
            << (out.size() > 44 ? (out.size() - 44) / block : 0) << " frames";
    }
}

TEST(Cli, TimesThatSelectNothingOrAreNoTimesAreRefused)
{
    CTempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    WriteAll(dir / "in.wav", SimpleWave(PcmFormat{2, 44100, 16}, FrameNumbers(66150, 2))); // 1.5 s
    const std::string io = " " + Q(dir / "in.wav") + " " + Q(dir / "out.wav");
    struct Case {
        const char* name;
        const char* options;
        bool usage; // a usage error (with the usage text), else a refused range (one line)
    };
    const Case cases[] = {
        {"reversed", "--from 1 --to 0.5", false},
        {"empty", "--from 1 --to 1", false},
        {"empty after rounding", "--from 0.0000001 --to 0.0000002", false},
        {"zero duration", "--from 0.5 --duration 0", false},
        {"from at the end", "--from 1.5", false},
        {"from past the end", "--from 66151s --to 70000s", false},
        {"negative", "--from -1", true},
        {"signed", "--from +1", true},
        {"exponent", "--to 1e0", true},
        {"nan", "--from nan", true},
        {"inf", "--to inf", true},
        {"hexadecimal", "--from 0x10", true},
        {"decimal comma", "--from 1,5", true},
        {"blank", "--from ' 1'", true},
        {"empty text", "--from ''", true},
        {"two points", "--from 1.2.3", true},
        {"only a point", "--from .", true},
        {"seconds of 60 after a colon", "--from 1:60", true},
        {"minutes of 60 after the hours", "--from 1:60:00", true},
        {"four parts", "--from 1:0:0:0", true},
        {"empty part", "--from 1::5", true},
        {"fraction of a frame count", "--from 1.5s", true},
        {"s alone", "--from s", true},
        {"capital S", "--from 5S", true},
        {"with --start", "--from 1 --start 0 --length 4", true},
        {"with --length", "--to 1 --length 4", true},
        {"to with duration", "--to 1 --duration 1", true},
        {"missing value", "--from", true},
    };
    for (const Case& c : cases) {
        Result r = RunCli(dir, std::string("delete ") + c.options + io);
        EXPECT_EQ(r.exit, 2) << c.name << ": " << r.err;
        EXPECT_EQ(r.err.find("usage:") != std::string::npos, c.usage) << c.name << ": " << r.err;
        if (!c.usage) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": " << r.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
}

// apply and print take the same times and select the same frames as the
// bytes they stand for.
// A plain file is the effect's own source; any other layout is first
// written out as the save would write it. Both give the same bytes, IN as
// OUT included, for every effect and a window inside the file.
TEST(Cli, ApplyGivesTheSameBytesFromAPlainFileAndAStagedOne)
{
    CTempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    const PcmFormat f{2, 22050, 16};
    const Bytes data = Ramp(4 * 300000); // past two ring refills
    WritePlainAndListed(dir, f, data);
    // The same audio with bytes after its data.
    Bytes trailing = SimpleWave(f, data);
    trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});
    WriteAll(dir / "trailing.wav", trailing);

    // A stretch inside; the first frame; the last.
    for (const char* window : {" --start 40000 --length 800000 ", " --start 0 --length 4 ",
                               " --start 1199996 --length 4 "})
    for (const char* effect : {"reverse", "echo", "chorus", "voice", "vibrato", "tremolo", "sine"}) {
        SCOPED_TRACE(std::string(effect) + window);
        const std::string apply = std::string("apply ") + effect + window;
        ASSERT_EQ(RunCli(dir, apply + Q(dir / "plain.wav") + " " + Q(dir / "a.wav")).exit, 0);
        const Bytes fromPlain = ReadAll(dir / "a.wav");
        EXPECT_EQ(fromPlain.size(), 44 + data.size());
        for (const char* other : {"listed.wav", "trailing.wav"}) {
            ASSERT_EQ(RunCli(dir, apply + Q(dir / other) + " " + Q(dir / "b.wav")).exit, 0);
            EXPECT_EQ(ReadAll(dir / "b.wav"), fromPlain) << other;
        }
        for (const char* in : {"plain.wav", "listed.wav"}) {
            std::filesystem::copy_file(dir / in, dir / "self.wav", std::filesystem::copy_options::overwrite_existing);
            ASSERT_EQ(RunCli(dir, apply + Q(dir / "self.wav") + " " + Q(dir / "self.wav")).exit, 0);
            EXPECT_EQ(ReadAll(dir / "self.wav"), fromPlain) << in << " as OUT";
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "cache/ondrel"));
}

// From a plain file the output's finished bytes are written while the
// effect runs, a few MiB at a time: the same bytes as from a staged source,
// the window anywhere; a write that fails stops the run and leaves OUT.
TEST(Cli, ApplyWritesItsOutputWhileItRuns)
{
    CTempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    const PcmFormat f{2, 44100, 16};
    const Bytes data = Ramp(4 * 6000000); // 24 MB
    WritePlainAndListed(dir, f, data);
    for (const char* apply : {"apply echo", "apply sine --start 8000000 --length 12000000",
                              "apply chorus --start 8 --length 23000000",
                              "apply tremolo --start 40 --length 4000000", "apply reverse --start 4 --length 20000000"}) {
        SCOPED_TRACE(apply);
        ASSERT_EQ(RunCli(dir, std::string(apply) + " " + Q(dir / "plain.wav") + " " + Q(dir / "a.wav")).exit, 0);
        ASSERT_EQ(RunCli(dir, std::string(apply) + " " + Q(dir / "listed.wav") + " " + Q(dir / "b.wav")).exit, 0);
        EXPECT_TRUE(ReadAll(dir / "a.wav") == ReadAll(dir / "b.wav"));
    }

    // At most 10 MiB a file: the second piece cannot be written.
    const Bytes old = ReadAll(dir / "a.wav");
    const std::string cmd = "trap '' XFSZ; ulimit -f 10240; '" + std::string(ONDREL_CLI_PATH) + "' apply echo " +
                            Q(dir / "plain.wav") + " " + Q(dir / "a.wav") + " 2>'" + (dir / "err") + "'";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const Bytes err = ReadAll(dir / "err");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << std::string(err.begin(), err.end());
    std::filesystem::remove(dir / "err");
    EXPECT_TRUE(ReadAll(dir / "a.wav") == old);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.wav", "b.wav", "listed.wav", "plain.wav"}));
}

TEST(Cli, ApplyAndPrintTakeTimes)
{
    CTempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    const PcmFormat f{1, 8000, 16};
    WriteAll(dir / "in.wav", SimpleWave(f, FrameNumbers(16000, 1))); // 2 s
    const std::string in = " " + Q(dir / "in.wav") + " ";
    // 0.25 s to 1.5 s: frames 2000 to 12000, bytes 4000 to 24000.
    const std::string bytes = "--start 4000 --length 20000";
    for (const char* times : {"--from 0.25 --to 1.5", "--from 2000s --duration 1.25", "--from 0:00.25 --to 12000s"}) {
        Result r = RunCli(dir, "apply reverse " + std::string(times) + in + Q(dir / "t.wav"));
        ASSERT_EQ(r.exit, 0) << times << ": " << r.err;
        r = RunCli(dir, "apply reverse " + bytes + in + Q(dir / "b.wav"));
        ASSERT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(ReadAll(dir / "t.wav"), ReadAll(dir / "b.wav")) << times;

        r = RunCli(dir, "print --dpi 72 " + std::string(times) + in + Q(dir / "t.pdf"));
        ASSERT_EQ(r.exit, 0) << times << ": " << r.err;
        r = RunCli(dir, "print --dpi 72 " + bytes + in + Q(dir / "b.pdf"));
        ASSERT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(WithoutCreationDate(ReadAll(dir / "t.pdf")), WithoutCreationDate(ReadAll(dir / "b.pdf")))
            << times;
    }
    // The whole file printed is not the selection printed.
    ASSERT_EQ(RunCli(dir, "print --dpi 72" + in + Q(dir / "all.pdf")).exit, 0);
    EXPECT_NE(WithoutCreationDate(ReadAll(dir / "all.pdf")), WithoutCreationDate(ReadAll(dir / "b.pdf")));

    for (const char* bad : {"apply echo --from 2 --to 3", "apply reverse --from 1 --start 0", "print --from 1 --to 0.5",
                            "print --to 1 --length 4"}) {
        EXPECT_EQ(RunCli(dir, std::string(bad) + in + Q(dir / "bad.out")).exit, 2) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.out"));
}
