#include "platform/Profile.h"

#include "platform/SafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A settings file is small; anything bigger is not ours (or is hostile) and
// is refused rather than read into memory.
constexpr std::size_t kMaxFileSize = 16u * 1024u * 1024u;

constexpr std::string_view kBlanks = " \t\r\f\v";

bool IsBlank(char c)
{
    return kBlanks.find(c) != std::string_view::npos;
}

std::string_view Trim(std::string_view s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

// One physical line: its text without the terminator, and the terminator
// itself ("\n", "\r\n", or "" for a last line without newline), so that a
// write reproduces every untouched line exactly.
struct IniLine {
    std::string text;
    std::string eol;
};

std::vector<IniLine> SplitLines(const std::string& data)
{
    std::vector<IniLine> lines;
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t nl = data.find('\n', pos);
        if (nl == std::string::npos) {
            lines.push_back({data.substr(pos), ""});
            break;
        }
        std::size_t end = nl;
        std::string eol = "\n";
        if (end > pos && data[end - 1] == '\r') {
            --end;
            eol = "\r\n";
        }
        lines.push_back({data.substr(pos, end - pos), std::move(eol)});
        pos = nl + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<IniLine>& lines)
{
    std::string out;
    for (const IniLine& l : lines) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

// Line ending for lines we add: whatever the file's first line uses.
std::string FileEol(const std::string& data)
{
    std::size_t nl = data.find('\n');
    if (nl != std::string::npos && nl > 0 && data[nl - 1] == '\r')
        return "\r\n";
    return "\n";
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed, quotes not yet removed
};

LineInfo Classify(std::string_view text)
{
    LineInfo info;
    std::string_view t = Trim(text);
    if (t.empty()) {
        info.kind = LineKind::Blank;
    } else if (t[0] == ';' || t[0] == '#') {
        info.kind = LineKind::Comment;
    } else if (t[0] == '[') {
        // A header missing its ']' still counts as a header, so that a
        // damaged line never turns into a key of the previous section.
        info.kind = LineKind::Section;
        std::size_t close = t.find(']');
        info.name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    } else if (std::size_t eq = t.find('='); eq != std::string_view::npos) {
        info.kind = LineKind::Key;
        info.name = Trim(t.substr(0, eq));
        info.value = Trim(t.substr(eq + 1));
    }
    return info;
}

std::string_view Unquote(std::string_view v)
{
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.substr(1, v.size() - 2);
    return v;
}

// Quotes a value whose stored form would otherwise read back differently:
// surrounding blanks would be trimmed, and surrounding quotes stripped.
std::string EncodeValue(const std::string& value)
{
    if (value.empty())
        return value;
    bool needQuotes = IsBlank(value.front()) || IsBlank(value.back())
                      || (value.size() >= 2 && value.front() == '"' && value.back() == '"');
    return needQuotes ? "\"" + value + "\"" : value;
}

// Where a key lives in the parsed file. Same-named sections are read as one
// section in file order, so the first occurrence of the key wins; new keys go
// into the first of them.
struct Location {
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t keyLine = npos;        // first line holding the key
    std::size_t sectionHeader = npos;  // header of the first matching section
    std::size_t sectionEnd = npos;     // line after the first matching section
    std::vector<std::size_t> allKeyLines;
};

Location Locate(const std::vector<IniLine>& lines, std::string_view section, std::string_view key,
                bool wantAll)
{
    Location loc;
    bool inMatch = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineInfo info = Classify(lines[i].text);
        if (info.kind == LineKind::Section) {
            if (loc.sectionHeader != Location::npos && loc.sectionEnd == Location::npos)
                loc.sectionEnd = i;
            inMatch = EqualsNoCase(info.name, section);
            if (inMatch && loc.sectionHeader == Location::npos)
                loc.sectionHeader = i;
        } else if (info.kind == LineKind::Key && inMatch && EqualsNoCase(info.name, key)) {
            if (loc.keyLine == Location::npos)
                loc.keyLine = i;
            if (!wantAll)
                return loc;
            loc.allKeyLines.push_back(i);
        }
    }
    if (loc.sectionHeader != Location::npos && loc.sectionEnd == Location::npos)
        loc.sectionEnd = lines.size();
    return loc;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& out, std::string& error)
{
    out.clear();
    // O_NONBLOCK keeps a FIFO planted at the path from blocking the open; it
    // is then refused below as not a regular file.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            return ReadResult::Missing;
        error = ErrnoText(err);
        return ReadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = ErrnoText(errno);
        ::close(fd);
        return ReadResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? ErrnoText(EISDIR) : "not a regular file";
        ::close(fd);
        return ReadResult::Failed;
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxFileSize) {
        error = "file too large";
        ::close(fd);
        return ReadResult::Failed;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = ErrnoText(errno);
            ::close(fd);
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        // The file may grow while being read; the cap still holds.
        if (out.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
            error = "file too large";
            ::close(fd);
            return ReadResult::Failed;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

std::string DirName(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// mkdir -p, giving 0700 to every folder it creates. Returns 0 or an errno.
int MakeFolders(const std::string& dir)
{
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    std::size_t pos = 0;
    for (;;) {
        pos = dir.find('/', pos + 1);
        std::string prefix = dir.substr(0, pos);
        if (!prefix.empty() && prefix.back() != '/') {
            if (::mkdir(prefix.c_str(), 0700) != 0) {
                int err = errno;
                if (err != EEXIST)
                    return err;
                if (::stat(prefix.c_str(), &st) != 0)
                    return errno;
                if (!S_ISDIR(st.st_mode))
                    return ENOTDIR;
            }
        }
        if (pos == std::string::npos)
            return 0;
    }
}

bool WriteAll(int fd, const std::string& data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces the file at path with data, so that readers see the old or the
// new file and never a partial one. Returns an empty text or what failed.
std::string ReplaceFile(const std::string& path, const std::string& data)
{
    if (int err = MakeFolders(DirName(path)))
        return "cannot write " + path + ": " + ErrnoText(err);
    CSafeSave save;
    if (!save.Begin(path))
        return ReasonTextEnglish(save.GetError());
    int fd = ::open(save.GetTempPath().c_str(), O_WRONLY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (!WriteAll(fd, data))
            err = errno;
        if (::close(fd) != 0 && err == 0)
            err = errno;
    }
    if (err != 0)
        return "cannot write " + path + ": " + ErrnoText(err);
    if (!save.Commit())
        return ReasonTextEnglish(save.GetError());
    return {};
}

bool ValidSection(std::string_view s)
{
    return !s.empty() && Trim(s).size() == s.size() && s.find_first_of("]\r\n") == std::string_view::npos;
}

bool ValidKey(std::string_view k)
{
    return !k.empty() && Trim(k).size() == k.size() && k.find_first_of("=\r\n") == std::string_view::npos
           && k[0] != '[' && k[0] != ';' && k[0] != '#';
}

// Reads the file and finds the key; false when the file, section or key is
// missing or the file cannot be read.
bool LookUp(const std::string& path, const std::string& section, const std::string& key, std::string& value)
{
    std::string data;
    std::string error;
    if (ReadWholeFile(path, data, error) != ReadResult::Ok)
        return false;
    std::vector<IniLine> lines = SplitLines(data);
    Location loc = Locate(lines, section, key, false);
    if (loc.keyLine == Location::npos)
        return false;
    value = std::string(Unquote(Classify(lines[loc.keyLine].text).value));
    return true;
}

int ParseLeadingInt(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long acc = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        acc = acc * 10 + (s[i] - '0');
        if (acc >= limit) {
            acc = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -acc : acc);
}

}  // namespace

CProfile::CProfile(std::string path)
    : m_path(std::move(path))
{
}

std::string CProfile::DefaultPath()
{
    // Trailing slashes are dropped so "/home/me/" gives no doubled slash;
    // "/" itself becomes "", which the appended parts make absolute again.
    auto noTrailingSlash = [](std::string s) {
        while (!s.empty() && s.back() == '/')
            s.pop_back();
        return s;
    };
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = noTrailingSlash(xdg);
    } else {
        std::string home;
        if (const char* env = std::getenv("HOME"); env && env[0] != '\0') {
            home = env;
        } else {
            // No HOME in the environment (started from a service, say):
            // fall back to the account's home folder.
            struct passwd pw {};
            struct passwd* result = nullptr;
            std::vector<char> buf(16384);
            if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
                home = result->pw_dir;
        }
        base = noTrailingSlash(home) + "/.config";
    }
    return base + "/ondrel/ondrel.ini";
}

const std::string& CProfile::GetPath() const
{
    return m_path;
}

int CProfile::GetProfileInt(const std::string& section, const std::string& key, int nDefault) const
{
    std::string value;
    if (!LookUp(m_path, section, key, value))
        return nDefault;
    return ParseLeadingInt(value);
}

std::string CProfile::GetProfileString(const std::string& section, const std::string& key,
                                       const std::string& strDefault) const
{
    std::string value;
    if (!LookUp(m_path, section, key, value))
        return strDefault;
    return value;
}

bool CProfile::WriteProfileString(const std::string& section, const std::string& key, const std::string& value)
{
    m_lastError.clear();
    const char* invalid = nullptr;
    if (!ValidSection(section))
        invalid = "invalid section name";
    else if (!ValidKey(key))
        invalid = "invalid key name";
    else if (value.find_first_of("\r\n") != std::string::npos)
        invalid = "value contains a line break";
    if (invalid) {
        m_lastError = "cannot write " + m_path + ": " + invalid;
        return false;
    }

    std::string data;
    std::string error;
    if (ReadWholeFile(m_path, data, error) == ReadResult::Failed) {
        // Never replace a file we could not read: its content would be lost.
        m_lastError = "cannot read " + m_path + ": " + error;
        return false;
    }

    std::vector<IniLine> lines = SplitLines(data);
    const std::string eol = FileEol(data);
    const std::string encoded = EncodeValue(value);
    Location loc = Locate(lines, section, key, false);

    auto insertLine = [&](std::size_t at, std::string text) {
        if (at > 0 && lines[at - 1].eol.empty())
            lines[at - 1].eol = eol;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), IniLine{std::move(text), eol});
    };

    if (loc.keyLine != Location::npos) {
        // Keep the existing name, its indentation and the spacing around
        // '='; only the value changes.
        std::string& text = lines[loc.keyLine].text;
        std::size_t p = text.find('=') + 1;
        while (p < text.size() && (text[p] == ' ' || text[p] == '\t'))
            ++p;
        text = text.substr(0, p) + encoded;
    } else if (loc.sectionHeader != Location::npos) {
        std::size_t at = loc.sectionEnd;
        while (at > loc.sectionHeader + 1 && Classify(lines[at - 1].text).kind == LineKind::Blank)
            --at;
        insertLine(at, key + "=" + encoded);
    } else {
        if (!lines.empty() && Classify(lines.back().text).kind != LineKind::Blank)
            insertLine(lines.size(), "");
        insertLine(lines.size(), "[" + section + "]");
        insertLine(lines.size(), key + "=" + encoded);
    }

    std::string out = JoinLines(lines);
    if (out == data)  // same value already stored
        return true;
    m_lastError = ReplaceFile(m_path, out);
    return m_lastError.empty();
    return true;
}

bool CProfile::WriteProfileInt(const std::string& section, const std::string& key, int value)
{
    return WriteProfileString(section, key, std::to_string(value));
}

bool CProfile::DeleteProfileKey(const std::string& section, const std::string& key)
{
    m_lastError.clear();
    std::string data;
    std::string error;
    ReadResult r = ReadWholeFile(m_path, data, error);
    if (r == ReadResult::Missing)
        return true;
    if (r == ReadResult::Failed) {
        m_lastError = "cannot read " + m_path + ": " + error;
        return false;
    }

    std::vector<IniLine> lines = SplitLines(data);
    Location loc = Locate(lines, section, key, true);
    if (loc.allKeyLines.empty())
        return true;
    // Remove every duplicate too, or an older one would surface on the next read.
    for (auto it = loc.allKeyLines.rbegin(); it != loc.allKeyLines.rend(); ++it)
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*it));

    m_lastError = ReplaceFile(m_path, JoinLines(lines));
    return m_lastError.empty();
}

const std::string& CProfile::GetLastError() const
{
    return m_lastError;
}
