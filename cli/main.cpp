// ondrel-cli: works on WAV files through the editor's own document code.
// Exit codes: 0 done; 1 a file could not be read, loaded or written (one
// line on stderr, the output file not created or changed); 2 usage error or
// a refused parameter.

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"
#include "platform/SafeFile.h"
#include "view/CWaveViewCore.h"

#include <QImage>
#include <QString>

#include <algorithm>
#include <map>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {
constexpr int kExitOk = 0;
constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: ondrel-cli info FILE\n"
    "       ondrel-cli copy IN OUT\n"
    "       ondrel-cli delete --start BYTES --length BYTES IN OUT\n"
    "       ondrel-cli render [--width W] [--height H] [--start-frame N]\n"
    "                         [--select PANE:ANCHOR:CURRENT] IN OUT.png\n";

int Usage(const std::string& why)
{
    if (!why.empty())
        std::fprintf(stderr, "ondrel-cli: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "ondrel-cli: %s\n", why.c_str());
    return kExitFile;
}

int Info(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return Usage("info takes one FILE");
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(args[0]))
        return Fail(doc.GetError());
    const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
    std::printf("channels=%u bits=%u rate=%u bytes=%u frames=%u\n", unsigned{f.nChannels},
                unsigned{f.wBitsPerSample}, f.nSamplesPerSec, doc.GetDataSize(),
                doc.m_wave.GetFrameCount());
    return kExitOk;
}

int Copy(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return Usage("copy takes IN and OUT");
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(args[0]))
        return Fail(doc.GetError());
    if (!doc.SaveWaveFile(args[1]))
        return Fail(doc.GetError());
    return kExitOk;
}

// A byte count: decimal digits only, within 32 bits.
std::optional<std::uint32_t> ParseBytes(const std::string& text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// A decimal integer within [lo, hi].
std::optional<long long> ParseInt(const std::string& text, long long lo, long long hi)
{
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (text[0] == '-')
        value = -value;
    if (value < lo || value > hi)
        return std::nullopt;
    return value;
}

// The "--name value" options of a subcommand (each at most once, only the
// names it knows) and its other arguments, in order.
struct SArgs {
    std::map<std::string, std::string> options;
    std::vector<std::string> files;
};

std::optional<SArgs> ParseArgs(const std::string& command, const std::vector<std::string>& args,
                               std::initializer_list<const char*> known, std::string& error)
{
    SArgs out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            if (std::find_if(known.begin(), known.end(), [&](const char* k) { return arg == k; }) == known.end()) {
                error = command + ": unknown option '" + arg + "'";
                return std::nullopt;
            }
            if (out.options.count(arg)) {
                error = command + ": " + arg + " given twice";
                return std::nullopt;
            }
            if (i + 1 == args.size()) {
                error = command + ": " + arg + " needs a value";
                return std::nullopt;
            }
            out.options[arg] = args[++i];
        } else {
            out.files.push_back(arg);
        }
    }
    return out;
}

// Removes the bytes of a selection, as the editor's Delete does: --start and
// --length are byte counts into the audio data, in whole frames.
int Delete(const std::vector<std::string>& args)
{
    std::string error;
    const std::optional<SArgs> parsed = ParseArgs("delete", args, {"--start", "--length"}, error);
    if (!parsed)
        return Usage(error);
    std::optional<std::uint32_t> start, length;
    for (const char* name : {"--start", "--length"}) {
        auto it = parsed->options.find(name);
        if (it == parsed->options.end())
            return Usage(std::string("delete: ") + name + " is missing");
        std::optional<std::uint32_t>& target = std::string(name) == "--start" ? start : length;
        target = ParseBytes(it->second);
        if (!target)
            return Usage(std::string("delete: ") + name + " '" + it->second +
                         "' is not a byte count (decimal digits, below 2^32)");
    }
    const std::vector<std::string>& files = parsed->files;
    if (files.size() != 2)
        return Usage("delete takes IN and OUT");

    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(files[0]))
        return Fail(doc.GetError());
    const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
    const std::uint32_t block = f.wBitsPerSample / 8u * f.nChannels;
    const std::uint32_t size = doc.GetDataSize();
    if (*start % block != 0 || *length % block != 0) {
        std::fprintf(stderr,
                     "ondrel-cli: delete: --start %u and --length %u must be multiples of the "
                     "%u-byte frames of %s\n",
                     *start, *length, block, files[0].c_str());
        return kExitUsage;
    }
    if (std::uint64_t{*start} + *length > size) {
        std::fprintf(stderr,
                     "ondrel-cli: delete: --start %u plus --length %u reaches past the %u bytes "
                     "of audio in %s\n",
                     *start, *length, size, files[0].c_str());
        return kExitUsage;
    }
    if (!doc.DeleteRange(*start, *length))
        return Fail(doc.GetError());
    if (!doc.SaveWaveFile(files[1]))
        return Fail(doc.GetError());
    return kExitOk;
}

// Draws the editor's full view of IN for a client area of W x H pixels, as
// the window shows it, into OUT.png.
int Render(const std::vector<std::string>& args)
{
    std::string error;
    const std::optional<SArgs> parsed =
        ParseArgs("render", args, {"--width", "--height", "--start-frame", "--select"}, error);
    if (!parsed)
        return Usage(error);
    auto option = [&](const char* name, long long fallback, long long lo, long long hi) -> std::optional<long long> {
        auto it = parsed->options.find(name);
        return it == parsed->options.end() ? std::optional<long long>(fallback) : ParseInt(it->second, lo, hi);
    };
    const auto width = option("--width", 640, 1, 16384);
    const auto height = option("--height", 300, 1, 16384);
    const auto startFrame = option("--start-frame", 0, 0, INT32_MAX);
    if (!width || !height)
        return Usage("render: --width and --height take whole numbers from 1 to 16384");
    if (!startFrame)
        return Usage("render: --start-frame takes a frame number from 0");
    long long pane = PaneNone, anchor = 0, current = 0;
    if (auto it = parsed->options.find("--select"); it != parsed->options.end()) {
        const std::string& sel = it->second;
        const auto c1 = sel.find(':'), c2 = sel.find(':', c1 == std::string::npos ? c1 : c1 + 1);
        std::optional<long long> p, a, c;
        if (c1 != std::string::npos && c2 != std::string::npos) {
            p = ParseInt(sel.substr(0, c1), PaneNone, PaneDetailCh2);
            a = ParseInt(sel.substr(c1 + 1, c2 - c1 - 1), 0, INT32_MAX);
            c = ParseInt(sel.substr(c2 + 1), 0, INT32_MAX);
        }
        if (!p || !a || !c)
            return Usage("render: --select takes PANE:ANCHOR:CURRENT (pane 0..6, x positions from 0)");
        pane = *p;
        anchor = *a;
        current = *c;
    }
    if (parsed->files.size() != 2)
        return Usage("render takes IN and OUT.png");

    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(parsed->files[0]))
        return Fail(doc.GetError());
    CWaveViewCore view(doc);
    view.m_nStartFrame = static_cast<int>(*startFrame);
    view.m_nSelPane = static_cast<int>(pane);
    view.m_nSelAnchor = static_cast<int>(anchor);
    view.m_nSelCurrent = static_cast<int>(current);
    QImage image(static_cast<int>(*width), static_cast<int>(*height), QImage::Format_RGB32);
    CDrawSurface dc(reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
                    static_cast<int>(image.bytesPerLine() / 4));
    view.OnDraw(dc);

    // Written beside OUT first and moved over it when complete.
    CSafeSave save;
    if (!save.Begin(parsed->files[1]))
        return Fail(save.GetError());
    if (!image.save(QString::fromStdString(save.GetTempPath()), "PNG"))
        return Fail("cannot write " + parsed->files[1]);
    if (!save.Commit())
        return Fail(save.GetError());
    return kExitOk;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage("");
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "info")
        return Info(args);
    if (command == "copy")
        return Copy(args);
    if (command == "delete")
        return Delete(args);
    if (command == "render")
        return Render(args);
    if (command == "-h" || command == "--help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    return Usage("unknown command '" + command + "'");
}
