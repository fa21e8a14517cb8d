// ondrel-cli: works on WAV files through the editor's own document code.
// Exit codes: 0 done; 1 a file could not be read, loaded or written (one
// line on stderr, the output file not created or changed); 2 usage error or
// a refused parameter.

#include "doc/COndrelDoc.h"
#include "effects/DataExchange.h"
#include "effects/EffectCommands.h"
#include "effects/EffectDialogs.h"
#include "frame/CCurrentFormat.h"
#include "res/Strings.h"
#include "res/resource.h"
#include "framework/DecimalNumber.h"
#include "platform/Profile.h"
#include "platform/Reason.h"
#include "platform/SafeFile.h"
#ifndef ONDREL_CLI_CORE
#include "print/PrintJob.h"
#include "view/CWaveViewCore.h"
#endif

#include <QCoreApplication>
#include <QString>
#ifndef ONDREL_CLI_CORE
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>

#include <cstdint>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>
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
    "       ondrel-cli delete SELECTION IN OUT\n"
    "       ondrel-cli render [--width W] [--height H] [--start-frame N]\n"
    "                         [--select PANE:ANCHOR:CURRENT] IN OUT.png\n"
    "       ondrel-cli apply EFFECT [SELECTION] [options] IN OUT\n"
    "           reverse | echo [--mix X] [--count N] | chorus [--ratio X] [--mix X]\n"
    "           | voice [--ratio X] | vibrato [--depth N] [--freq X]\n"
    "           | tremolo [--freq X] [--level X] | sine [--freq X] [--amplitude N]\n"
    "           (no selection: the whole file)\n"
    "       ondrel-cli print [--dpi D] [--reso R] [--margins L,R,U,D]\n"
    "                        [SELECTION] IN OUT.pdf\n"
    "           A4 portrait PDF at D dpi (72..2400, default 300); resolution factor\n"
    "           1..10 and margins in mm 0..50 default to the page layout settings\n"
    "\n"
    "SELECTION is either of\n"
    "  --from TIME --to TIME   from TIME up to (not including) TIME; --from alone\n"
    "                          runs to the end, --to alone starts at the beginning\n"
    "  --from TIME --duration TIME\n"
    "  --start BYTES --length BYTES   byte offsets into the audio data, whole frames\n"
    "                          (apply takes either alone)\n"
    "TIME is seconds, [[hh:]mm:]ss[.frac] (\"90\", \"1:30\", \"0:01:30.25\"; minutes\n"
    "and seconds after a colon below 60), or a count of frames with the suffix s\n"
    "(\"44100s\"). Each TIME becomes the nearest frame (--duration counts from the\n"
    "frame of --from); --to or --duration past the end stops at the end. A range\n"
    "of no frames (empty, reversed, --from at the end) is refused (exit 2).\n"
    "\n"
    "Exit codes: 0 done, 1 a file could not be read, loaded or written,\n"
    "2 usage error or refused parameter.\n";

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

// The same for a failure of the document code, in the tool's English.
int Fail(const SReason& why) { return Fail(ReasonTextEnglish(why)); }

int Info(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return Usage("info takes one FILE");
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(args[0]))
        return Fail(doc.GetError());
    const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
    std::printf("channels=%u bits=%u rate=%u bytes=%u frames=%u", unsigned{f.nChannels},
                unsigned{f.wBitsPerSample}, f.nSamplesPerSec, doc.GetDataSize(),
                doc.m_wave.GetFrameCount());
    // A file loaded through a conversion says what it held.
    if (doc.GetLoadedEncoding() != EWaveEncoding::Pcm)
        std::printf(" converted=%s", WaveEncodingName(doc.GetLoadedEncoding()));
    std::printf("\n");
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

#ifndef ONDREL_CLI_CORE
// A whole number within [lo, hi], read as the dialogs read theirs
// (ParseDecimalInt: blanks, an optional sign, decimal digits). Only the
// drawing commands take such options.
std::optional<long long> ParseInt(const std::string& text, long long lo, long long hi)
{
    int value = 0;
    if (!ParseDecimalInt(text, value) || value < lo || value > hi)
        return std::nullopt;
    return value;
}
#endif

// The "--name value" options of a subcommand (each at most once, only the
// names it knows) and its other arguments, in order.
struct SArgs {
    std::map<std::string, std::string> options;
    std::vector<std::string> files;
};

std::optional<SArgs> ParseArgs(const std::string& command, const std::vector<std::string>& args,
                               const std::vector<std::string>& known, std::string& error)
{
    SArgs out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            if (std::find(known.begin(), known.end(), arg) == known.end()) {
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

// Checks --start and --length against the loaded data: whole frames inside
// it. Returns an empty text when they are good.
std::string CheckRange(const COndrelDoc& doc, std::uint32_t start, std::uint32_t length, const std::string& file)
{
    const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
    const std::uint32_t block = f.wBitsPerSample / 8u * f.nChannels;
    if (block == 0 || start % block != 0 || length % block != 0)
        return "--start " + std::to_string(start) + " and --length " + std::to_string(length) +
               " must be multiples of the " + std::to_string(block) + "-byte frames of " + file;
    if (std::uint64_t{start} + length > doc.GetDataSize())
        return "--start " + std::to_string(start) + " plus --length " + std::to_string(length) +
               " reaches past the " + std::to_string(doc.GetDataSize()) + " bytes of audio in " + file;
    return {};
}

// Beyond the last frame of any file: the data holds fewer than 2^32 bytes.
constexpr std::uint64_t kBeyondAnyFile = std::uint64_t{1} << 32;

// A point in time or a duration, as given on the command line: a count of
// frames ("44100s") or seconds ("[[hh:]mm:]ss[.frac]").
struct STime {
    bool bFrames = false;
    std::uint64_t nFrames = 0; // with bFrames, at most kBeyondAnyFile
    double dSeconds = 0;       // otherwise, finite and not negative
};

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads a TIME: digits followed by "s" count frames; otherwise up to three
// parts separated by colons, hours, minutes and seconds, the last with an
// optional decimal fraction. Minutes and seconds that follow a colon are
// below 60. No sign, blanks, exponent or other text; the numbers are read by
// the program's one decimal rule (ParseDecimal). Nothing for anything else.
std::optional<STime> ParseTime(const std::string& text)
{
    STime time;
    if (text.size() > 1 && text.back() == 's') {
        const std::string digits = text.substr(0, text.size() - 1);
        if (!AllDigits(digits))
            return std::nullopt;
        time.bFrames = true;
        for (char c : digits) {
            time.nFrames = time.nFrames * 10 + static_cast<unsigned>(c - '0');
            if (time.nFrames >= kBeyondAnyFile) {
                time.nFrames = kBeyondAnyFile;
                break;
            }
        }
        return time;
    }
    std::vector<std::string> parts;
    for (std::size_t from = 0;;) {
        const std::size_t colon = text.find(':', from);
        parts.push_back(text.substr(from, colon == std::string::npos ? colon : colon - from));
        if (colon == std::string::npos)
            break;
        from = colon + 1;
    }
    if (parts.size() > 3)
        return std::nullopt;
    // The seconds: digits with at most one point, at least one digit.
    const std::string& last = parts.back();
    const auto points = std::count(last.begin(), last.end(), '.');
    std::string digitsOnly = last;
    digitsOnly.erase(std::remove(digitsOnly.begin(), digitsOnly.end(), '.'), digitsOnly.end());
    double seconds = 0;
    if (points > 1 || !AllDigits(digitsOnly) || !ParseDecimal(last, seconds))
        return std::nullopt;
    double total = 0;
    for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
        double value = 0;
        if (!AllDigits(parts[k]) || !ParseDecimal(parts[k], value))
            return std::nullopt;
        if (k > 0 && value >= 60) // minutes after the hours
            return std::nullopt;
        total = total * 60 + value;
    }
    if (parts.size() > 1 && seconds >= 60)
        return std::nullopt;
    time.dSeconds = total * 60 + seconds;
    if (!std::isfinite(time.dSeconds))
        return std::nullopt;
    return time;
}

// The frame nearest to `time` at `rate` frames per second; kBeyondAnyFile
// for anything from there on.
std::uint64_t FrameOf(const STime& time, std::uint32_t rate)
{
    if (time.bFrames)
        return time.nFrames;
    const double frames = time.dSeconds * rate;
    if (!(frames < static_cast<double>(kBeyondAnyFile)))
        return kBeyondAnyFile;
    return static_cast<std::uint64_t>(std::llround(frames));
}

// The selection options of a command, read before its file is loaded:
// bytes (--start, --length) or times (--from with --to or --duration),
// never both kinds.
struct SSelectionArgs {
    std::optional<std::uint32_t> start, length;
    std::optional<STime> from, to, duration;
    std::string fromText, toText, durationText;

    bool HasBytes() const { return start || length; }
    bool HasTimes() const { return from || to || duration; }
};

const std::vector<std::string> kSelectionOptions = {"--start", "--length", "--from", "--to", "--duration"};

// Reads the selection options of `parsed`. Returns nothing and an error for
// a usage error: a value that is not a byte count or a TIME, bytes and times
// mixed, --to with --duration.
std::optional<SSelectionArgs> ParseSelection(const std::string& command, const SArgs& parsed, std::string& error)
{
    SSelectionArgs sel;
    const auto& options = parsed.options;
    for (const char* name : {"--start", "--length"}) {
        auto it = options.find(name);
        if (it == options.end())
            continue;
        const std::optional<std::uint32_t> v = ParseBytes(it->second);
        if (!v) {
            error = command + ": " + name + " '" + it->second + "' is not a byte count (decimal digits, below 2^32)";
            return std::nullopt;
        }
        (std::string(name) == "--start" ? sel.start : sel.length) = v;
    }
    struct STimeOption {
        const char* name;
        std::optional<STime>* target;
        std::string* text;
    };
    for (const STimeOption& o : {STimeOption{"--from", &sel.from, &sel.fromText},
                                 STimeOption{"--to", &sel.to, &sel.toText},
                                 STimeOption{"--duration", &sel.duration, &sel.durationText}}) {
        auto it = options.find(o.name);
        if (it == options.end())
            continue;
        *o.target = ParseTime(it->second);
        if (!*o.target) {
            error = command + ": " + o.name + " '" + it->second +
                    "' is not a TIME ([[hh:]mm:]ss[.frac] seconds, or frames as 44100s)";
            return std::nullopt;
        }
        *o.text = it->second;
    }
    if (sel.HasBytes() && sel.HasTimes()) {
        error = command + ": --from, --to and --duration do not go with --start and --length";
        return std::nullopt;
    }
    if (sel.to && sel.duration) {
        error = command + ": --to and --duration do not go together";
        return std::nullopt;
    }
    return sel;
}

// A selection in bytes of the audio data; length 0 for none.
struct SByteRange {
    std::uint32_t start = 0, length = 0;
};

// Turns the selection options into bytes of `doc`'s data: times become the
// nearest frames, --to and --duration stop at the end, and the range must
// hold at least one frame; bytes must be whole frames inside the data.
// Returns an empty text when the range is good, else why not.
std::string ResolveSelection(const SSelectionArgs& sel, const COndrelDoc& doc, const std::string& file,
                             SByteRange& range)
{
    const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
    const std::uint32_t block = f.wBitsPerSample / 8u * f.nChannels;
    if (!sel.HasTimes()) {
        range.start = sel.start.value_or(0);
        range.length = sel.length.value_or(0);
        return CheckRange(doc, range.start, range.length, file);
    }
    if (block == 0)
        return file + " has no whole frames";
    const std::uint64_t frames = doc.GetDataSize() / block;
    const std::uint64_t from = sel.from ? FrameOf(*sel.from, f.nSamplesPerSec) : 0;
    std::uint64_t to = frames;
    if (sel.to)
        to = FrameOf(*sel.to, f.nSamplesPerSec);
    else if (sel.duration)
        to = from + FrameOf(*sel.duration, f.nSamplesPerSec);
    to = std::min(to, frames);
    const std::string end = " (" + file + " has " + std::to_string(frames) + " frames at " +
                            std::to_string(f.nSamplesPerSec) + " Hz)";
    if (from >= frames)
        return "--from " + sel.fromText + " is at or past the end" + end;
    if (to <= from) {
        const std::string what = sel.to ? "--to " + sel.toText : "--duration " + sel.durationText;
        return "--from " + sel.fromText + " (frame " + std::to_string(from) + ") and " + what + " (frame " +
               std::to_string(to) + ") select no frames" + end;
    }
    range.start = static_cast<std::uint32_t>(from * block);
    range.length = static_cast<std::uint32_t>((to - from) * block);
    return {};
}

// Removes the bytes of a selection, as the editor's Delete does.
int Delete(const std::vector<std::string>& args)
{
    std::string error;
    const std::optional<SArgs> parsed = ParseArgs("delete", args, kSelectionOptions, error);
    if (!parsed)
        return Usage(error);
    const std::optional<SSelectionArgs> sel = ParseSelection("delete", *parsed, error);
    if (!sel)
        return Usage(error);
    if (!sel->HasTimes()) {
        for (const char* name : {"--start", "--length"})
            if (!parsed->options.count(name))
                return Usage(std::string("delete: ") + name + " is missing (or give --from, --to)");
    }
    const std::vector<std::string>& files = parsed->files;
    if (files.size() != 2)
        return Usage("delete takes IN and OUT");

    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(files[0]))
        return Fail(doc.GetError());
    SByteRange range;
    if (const std::string bad = ResolveSelection(*sel, doc, files[0], range); !bad.empty()) {
        std::fprintf(stderr, "ondrel-cli: delete: %s\n", bad.c_str());
        return kExitUsage;
    }
    if (!doc.DeleteRange(range.start, range.length))
        return Fail(doc.GetError());
    if (!doc.SaveWaveFile(files[1]))
        return Fail(doc.GetError());
    return kExitOk;
}

// Reads data bytes [from, to) of the file at `path`, whose data starts at
// `dataAt`, into the same bytes of the document's block. False with
// `error` set (DataUnreadable with the path) when they cannot be read.
bool ReadDataRange(const std::string& path, std::uint64_t dataAt, COndrelDoc& doc, std::uint64_t from,
                   std::uint64_t to, SReason& error)
{
    if (from >= to)
        return true;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::uint8_t* p = doc.LockData();
    bool ok = fd >= 0 && p;
    int err = fd < 0 ? errno : 0;
    for (std::uint64_t at = from; ok && at < to;) {
        const ssize_t n = ::pread(fd, p + at, to - at, static_cast<off_t>(dataAt + at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            err = n < 0 ? errno : 0;
        }
        at += n > 0 ? static_cast<std::uint64_t>(n) : 0;
    }
    if (p)
        doc.UnlockData();
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        error = FileReason(EReason::DataUnreadable, path, err);
    return ok;
}

// Holds the document's block locked (so its address stays) until Release.
class CDataLock {
public:
    explicit CDataLock(COndrelDoc& doc) : m_doc(doc), m_p(doc.LockData()) {}
    ~CDataLock() { Release(); }
    CDataLock(const CDataLock&) = delete;
    CDataLock& operator=(const CDataLock&) = delete;
    const std::uint8_t* Get() const { return m_p; }
    void Release()
    {
        if (m_p)
            m_doc.UnlockData();
        m_p = nullptr;
    }

private:
    COndrelDoc& m_doc;
    const std::uint8_t* m_p;
};

// Runs an effect at once and, at each of its progress reports, has the
// data bytes it has finished (`finished(done)` of them from the start)
// written into the output's temporary file, a few MiB at a time, by a
// thread of its own, which hands them to the disk: the writing overlaps the
// computing. A failed write stops the run; Ok and GetError tell.
class CWritingRunner : public CEffectRunner, private CEffectProgress {
public:
    CWritingRunner(CStagedWaveSave& out, const std::uint8_t* data,
                   std::function<std::uint64_t(std::uint32_t)> finished)
        : m_out(out), m_data(data), m_finished(std::move(finished))
    {
    }

    int Run(const std::function<int(CEffectProgress*)>& work, std::uint32_t) override
    {
        std::thread writer([this] { Write(); });
        const int result = work(this);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bDone = true;
        }
        m_wake.notify_one();
        writer.join();
        return result;
    }

    bool Ok() const { return m_ok; }
    const SReason& GetError() const { return m_error; }
    // The data bytes from the start that are in the file (once Run has
    // returned).
    std::uint64_t Written() const { return m_written; }

private:
    static constexpr std::uint64_t kStepBytes = 8u << 20;

    bool Continue(std::uint32_t done, std::uint32_t) override
    {
        const std::uint64_t upTo = std::min<std::uint64_t>(m_finished(done), UINT32_MAX);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_data && upTo >= m_posted + kStepBytes) {
            m_posted = upTo;
            m_wake.notify_one();
        }
        return m_ok;
    }

    // The writer: writes what is posted until the run is over.
    void Write()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_bDone || m_posted > m_written; });
            if (m_posted <= m_written || !m_ok)
                return;
            const std::uint64_t from = m_written, to = m_posted;
            lock.unlock();
            SReason error;
            const bool ok = m_out.WriteData(m_data, static_cast<std::uint32_t>(from),
                                            static_cast<std::uint32_t>(to - from), error);
            lock.lock();
            if (!ok) {
                m_error = error;
                m_ok = false;
                return;
            }
            m_written = to;
        }
    }

    CStagedWaveSave& m_out;
    const std::uint8_t* m_data;
    std::function<std::uint64_t(std::uint32_t)> m_finished;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::uint64_t m_posted = 0;  // finished bytes handed to the writer
    std::uint64_t m_written = 0; // bytes in the file
    bool m_bDone = false;
    std::atomic<bool> m_ok{true};
    SReason m_error;
};

// Runs one of the effect commands as the menu does, with the dialog's values
// taken from the options and checked by the dialog's own rules.
int Apply(const std::vector<std::string>& args)
{
    if (args.empty())
        return Usage("apply needs an effect: reverse, echo, chorus, voice, vibrato, tremolo or sine");
    const std::string effect = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    std::vector<std::string> known = kSelectionOptions;
    if (effect == "echo")
        known.insert(known.end(), {"--mix", "--count"});
    else if (effect == "chorus")
        known.insert(known.end(), {"--ratio", "--mix"});
    else if (effect == "voice")
        known.insert(known.end(), {"--ratio"});
    else if (effect == "vibrato")
        known.insert(known.end(), {"--depth", "--freq"});
    else if (effect == "tremolo")
        known.insert(known.end(), {"--freq", "--level"});
    else if (effect == "sine")
        known.insert(known.end(), {"--freq", "--amplitude"});
    else if (effect != "reverse")
        return Usage("apply: unknown effect '" + effect + "'");
    std::string error;
    const std::optional<SArgs> parsed = ParseArgs("apply " + effect, rest, known, error);
    if (!parsed)
        return Usage(error);
    if (parsed->files.size() != 2)
        return Usage("apply " + effect + " takes IN and OUT");
    auto has = [&](const char* name) { return parsed->options.count(name) != 0; };
    auto text = [&](const char* name) { return QString::fromStdString(parsed->options.at(name)); };
    // A value the dialog would refuse: its own message, exit 2.
    auto refuse = [](const QString& message) {
        std::fprintf(stderr, "ondrel-cli: %s\n", message.toStdString().c_str());
        return kExitUsage;
    };
    auto real = [&](const char* name, double& value) {
        return !has(name) || ParseReal(text(name), value);
    };
    auto integer = [&](const char* name, int& value) {
        return !has(name) || ParseInt(text(name), value);
    };
    const QString notReal = AfxLoadString(AFX_IDP_PARSE_REAL), notInt = AfxLoadString(AFX_IDP_PARSE_INT);

    const std::optional<SSelectionArgs> sel = ParseSelection("apply", *parsed, error);
    if (!sel)
        return Usage(error);

    CCurrentFormat frame;
    COndrelDoc doc(frame);
    // The data is read below, only where the effect does not overwrite it.
    std::uint64_t dataAt = 0;
    if (!doc.LoadWaveFileLeavingData(parsed->files[0], &dataAt))
        return Fail(doc.GetError());
    SByteRange range;
    if (const std::string bad = ResolveSelection(*sel, doc, parsed->files[0], range); !bad.empty()) {
        std::fprintf(stderr, "ondrel-cli: apply: %s\n", bad.c_str());
        return kExitUsage;
    }
    const std::uint32_t start = range.start, length = range.length;

    // The tool keeps no undo copy, so the effect's source is a file that
    // holds the audio as it is, in the save's layout: IN itself when it is
    // already laid out so (a plain 8/16-bit file with nothing else in it),
    // the output is then written once, as the run finishes its bytes;
    // otherwise the output's temporary file, written first with the audio
    // as it is, of which only the window's bytes are written again after
    // the run.
    const bool inIsTheSource = dataAt != 0 && IsInSavedLayout(parsed->files[0], doc.m_wave);
    const SEffectWindow window = EffectWindow(doc, start, length);
    const WAVEFORMATEX& shape = *doc.m_wave.m_pFormat;
    const std::uint32_t bpf = (shape.wBitsPerSample / 8u) * shape.nChannels;
    if (dataAt != 0) {
        // The data bytes the effect is sure to overwrite are not read: the
        // engine's effects store the frames whose first byte lies in the
        // window, the sine writes the window's bytes, reverse reads them
        // all. (A staged source is written from the whole data.)
        std::uint64_t skipFrom = 0, skipTo = 0;
        const std::uint64_t windowEnd = window.start + std::uint64_t{window.frames} * bpf;
        if (inIsTheSource && effect == "sine") {
            skipFrom = window.start;
            skipTo = windowEnd;
        } else if (inIsTheSource && effect != "reverse" && bpf > 0) {
            skipFrom = (window.start + bpf - 1) / bpf * std::uint64_t{bpf};
            skipTo = (windowEnd + bpf - 1) / bpf * std::uint64_t{bpf};
        }
        const std::uint64_t size = doc.GetDataSize();
        skipTo = std::min(skipTo, size);
        skipFrom = std::min(skipFrom, skipTo);
        SReason readError;
        if (!ReadDataRange(parsed->files[0], dataAt, doc, 0, skipFrom, readError) ||
            !ReadDataRange(parsed->files[0], dataAt, doc, skipTo, size, readError))
            return Fail(readError);
    }
    CStagedWaveSave out;
    SReason saveError;
    if (!out.Begin(parsed->files[1], doc.m_wave, saveError, !inIsTheSource))
        return Fail(saveError);
    doc.UseStagedSource(inIsTheSource ? parsed->files[0] : out.GetStagedPath());

    // With IN as the source, the output's bytes that are final go out while
    // the effect still runs, so that the disk writes them meanwhile: the
    // engine's effects finish the file's frames in order, the sine the
    // window's; reverse finishes its frames only at its end.
    std::function<std::uint64_t(std::uint32_t)> finished = [](std::uint32_t) { return std::uint64_t{0}; };
    if (inIsTheSource && effect == "sine")
        finished = [&](std::uint32_t done) { return window.start + std::uint64_t{done} * bpf; };
    else if (inIsTheSource && effect != "reverse")
        finished = [&](std::uint32_t done) { return std::uint64_t{done} * bpf; };
    CDataLock data(doc);
    CWritingRunner runner(out, data.Get(), finished);
    EApplyResult result;
    if (effect == "reverse") {
        result = ReverseSelection(doc, start, length, runner);
    } else if (effect == "echo") {
        SEchoParams p;
        if (!real("--mix", p.mixLevel))
            return refuse(notReal);
        if (!integer("--count", p.echoCount))
            return refuse(notInt);
        result = ApplyEcho(doc, start, length, p, runner);
    } else if (effect == "chorus") {
        SChorusParams p;
        if (!real("--ratio", p.ratio) || !real("--mix", p.mixLevel))
            return refuse(notReal);
        result = ApplyChorus(doc, start, length, p, runner);
    } else if (effect == "voice") {
        SVoiceParams p;
        if (!real("--ratio", p.ratio))
            return refuse(notReal);
        if (p.ratio < 0.5 || p.ratio > 2)
            return refuse(RangeMessage(0.5, 2));
        result = ApplyVoiceChanger(doc, start, length, p, runner);
    } else if (effect == "vibrato") {
        SVibratoParams p;
        if (!integer("--depth", p.depth))
            return refuse(notInt);
        if (!real("--freq", p.frequency))
            return refuse(notReal);
        result = ApplyVibrato(doc, start, length, p, runner);
    } else if (effect == "tremolo") {
        STremoloParams p;
        if (!real("--freq", p.frequency))
            return refuse(notReal);
        if (p.frequency < 1 || p.frequency > 100)
            return refuse(RangeMessage(1, 100));
        if (!real("--level", p.level))
            return refuse(notReal);
        if (p.level < 0 || p.level > 1)
            return refuse(RangeMessage(0, 1));
        result = ApplyTremolo(doc, start, length, p, runner);
    } else {
        const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
        SSineParams p;
        if (has("--freq")) {
            QString message;
            if (!CheckSineFrequency(text("--freq"), static_cast<int>(f.nSamplesPerSec), p.frequency, message))
                return refuse(message);
        }
        const bool sixteen = f.wBitsPerSample == 16;
        const int maxAmplitude = sixteen ? 127 * 256 : 127;
        p.amplitude = sixteen ? 64 * 256 : 64;
        if (!integer("--amplitude", p.amplitude))
            return refuse(notInt);
        if (p.amplitude < 0 || p.amplitude > maxAmplitude)
            return refuse(RangeMessage(0, maxAmplitude));
        result = GenerateSineWave(doc, start, length, p, runner);
    }
    // A write that failed stopped the run.
    if (!runner.Ok())
        return Fail(runner.GetError());
    if (result != EApplyResult::Applied)
        return Fail(doc.GetError());
    data.Release();
    std::uint64_t from, to;
    if (inIsTheSource) {
        // What did not go out during the run.
        from = runner.Written();
        to = doc.GetDataSize();
    } else {
        // The frames stored are those whose first byte lies in the window.
        from = bpf ? window.start / bpf * std::uint64_t{bpf} : 0;
        to = bpf ? (window.start + std::uint64_t{window.frames} * bpf + bpf - 1) / bpf * bpf : doc.GetDataSize();
    }
    if (!out.Rewrite(doc.m_wave, static_cast<std::uint32_t>(std::min<std::uint64_t>(from, UINT32_MAX)),
                     static_cast<std::uint32_t>(std::min<std::uint64_t>(to > from ? to - from : 0, UINT32_MAX)),
                     saveError) ||
        !out.Commit(saveError))
        return Fail(saveError);
    return kExitOk;
}

#ifdef ONDREL_CLI_CORE
// This build of the tool has Qt's core alone, which starts in a few ms
// where the drawing libraries take three times as long: render and print
// are the drawing tool's, which has every command. It is looked for beside
// this program (the build folder) and in the libexec folder next to its
// bin folder (an installed tool).
int RunDrawingTool(char** argv)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = ".";
    if (n > 0) {
        const std::string exe(self, static_cast<std::size_t>(n));
        if (const std::size_t slash = exe.find_last_of('/'); slash != std::string::npos)
            dir = exe.substr(0, slash);
    }
    int err = ENOENT;
    for (const std::string& path : {dir + "/ondrel-cli-draw", dir + "/../libexec/ondrel/ondrel-cli-draw"}) {
        argv[0] = const_cast<char*>(path.c_str());
        ::execv(path.c_str(), argv);
        // A tool that is there but does not run says why; one that is not
        // there is looked for in the next place.
        if (errno != ENOENT)
            err = errno;
    }
    return Fail(std::string(argv[1]) + ": cannot run ondrel-cli-draw (beside " + dir +
                " or in ../libexec/ondrel): " + std::strerror(err));
}
#else
// Draws the editor's full view of IN for a client area of W x H pixels, as
// the window shows it, into OUT.png. Its selection stays in window pixels
// and takes no times: --select is a mouse drag in one pane, and the frames of
// a time range lie at other x positions in each pane and scroll position.
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

// The tool's words for a print job that did not succeed.
std::string PrintFailureText(const SPrintResult& result)
{
    switch (result.code) {
    case EPrintResult::AreaUnusable:
        return "the page leaves no room for a strip of the waveform: lower the margins or the "
               "resolution factor";
    case EPrintResult::StartFailed: return "the PDF job could not be started";
    case EPrintResult::PageFailed: return "page " + std::to_string(result.page) + " could not be started";
    case EPrintResult::FinishFailed: return "the PDF job could not be finished";
    case EPrintResult::FileNotCreated: return "cannot create a file beside " + result.path;
    case EPrintResult::FileNotSaved: return "cannot write " + result.path;
    case EPrintResult::Done:
    case EPrintResult::Cancelled:
    case EPrintResult::kEnd: break;
    }
    return "printing failed";
}

// Prints IN as the editor prints it, onto an A4 portrait PDF whose printable
// area is the whole sheet, at D dots per inch. A selection (bytes or times)
// stands for a selection in the detail pane: only its frames are printed.
int Print(const std::vector<std::string>& args)
{
    std::vector<std::string> known = kSelectionOptions;
    known.insert(known.end(), {"--dpi", "--reso", "--margins"});
    std::string error;
    const std::optional<SArgs> parsed = ParseArgs("print", args, known, error);
    if (!parsed)
        return Usage(error);
    const auto& options = parsed->options;

    long long dpi = kPdfResolution;
    if (auto it = options.find("--dpi"); it != options.end()) {
        const auto v = ParseInt(it->second, 72, 2400);
        if (!v)
            return Usage("print: --dpi takes a whole number from 72 to 2400");
        dpi = *v;
    }
    std::optional<long long> reso;
    if (auto it = options.find("--reso"); it != options.end()) {
        reso = ParseInt(it->second, 1, 10);
        if (!reso)
            return Usage("print: --reso takes a whole number from 1 to 10");
    }
    std::optional<std::vector<long long>> margins;
    if (auto it = options.find("--margins"); it != options.end()) {
        std::vector<long long> values;
        std::string text = it->second;
        for (std::size_t from = 0;;) {
            const std::size_t comma = text.find(',', from);
            const auto v = ParseInt(text.substr(from, comma == std::string::npos ? comma : comma - from), 0, 50);
            if (!v || values.size() == 4)
                return Usage("print: --margins takes LEFT,RIGHT,UP,DOWN in millimetres, each from 0 to 50");
            values.push_back(*v);
            if (comma == std::string::npos)
                break;
            from = comma + 1;
        }
        if (values.size() != 4)
            return Usage("print: --margins takes LEFT,RIGHT,UP,DOWN in millimetres, each from 0 to 50");
        margins = values;
    }
    const std::optional<SSelectionArgs> sel = ParseSelection("print", *parsed, error);
    if (!sel)
        return Usage(error);
    if (!sel->HasTimes() && options.count("--start") != options.count("--length"))
        return Usage("print: --start and --length go together");
    if (parsed->files.size() != 2)
        return Usage("print takes IN and OUT.pdf");
    const std::string& in = parsed->files[0];
    const std::string& out = parsed->files[1];

    SPrintSettings settings = SPrintSettings::FromProfile(CProfile(CProfile::DefaultPath()));
    if (reso)
        settings.reso = static_cast<int>(*reso);
    if (margins) {
        settings.left = static_cast<int>((*margins)[0]);
        settings.right = static_cast<int>((*margins)[1]);
        settings.up = static_cast<int>((*margins)[2]);
        settings.down = static_cast<int>((*margins)[3]);
    }

    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(in))
        return Fail(doc.GetError());
    CWaveViewCore view(doc);
    if (sel->HasBytes() || sel->HasTimes()) {
        SByteRange range;
        if (const std::string bad = ResolveSelection(*sel, doc, in, range); !bad.empty()) {
            std::fprintf(stderr, "ondrel-cli: print: %s\n", bad.c_str());
            return kExitUsage;
        }
        const std::uint32_t start = range.start, length = range.length;
        // The selection the detail pane would hold after a drag from its
        // left edge, scrolled to the first frame: `frames` frames wide.
        const std::uint32_t block = view.GetBytesPerFrame();
        const std::int64_t firstFrame = start / block;
        const std::int64_t width = std::int64_t{length / block} * view.m_nPixelsPerFrame;
        if (length == 0 || firstFrame > INT32_MAX || width > INT32_MAX) {
            std::fprintf(stderr, "ondrel-cli: print: the selection must hold from 1 to %d frames\n",
                         INT32_MAX / view.m_nPixelsPerFrame);
            return kExitUsage;
        }
        view.m_nSelPane = frame.m_wChannels == 1 ? PaneDetailMono : PaneDetailCh1;
        view.m_nStartFrame = static_cast<int>(firstFrame);
        view.m_nSelAnchor = 0;
        view.m_nSelCurrent = static_cast<int>(width);
    }

    // QPrinter refuses to exist without an application object. A core one
    // serves: nothing here needs a window system, fonts or a display.
    static int argc = 1;
    static char name[] = "ondrel-cli";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);

    // A4 portrait with the whole sheet printable; written beside OUT first
    // and moved over it when complete.
    const QPageLayout paper(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
    const SPrintResult result =
        PrintToPdf(view, out, paper, static_cast<int>(dpi), QString::fromStdString(in), settings);
    if (result.code == EPrintResult::AreaUnusable) {
        std::fprintf(stderr, "ondrel-cli: print: %s\n", PrintFailureText(result).c_str());
        return kExitUsage;
    }
    if (!result.Succeeded())
        return Fail("print: " + PrintFailureText(result));
    return kExitOk;
}
#endif
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
    if (command == "apply")
        return Apply(args);
#ifdef ONDREL_CLI_CORE
    if (command == "render" || command == "print")
        return RunDrawingTool(argv);
#else
    if (command == "render")
        return Render(args);
    if (command == "print")
        return Print(args);
#endif
    if (command == "-h" || command == "--help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    return Usage("unknown command '" + command + "'");
}
