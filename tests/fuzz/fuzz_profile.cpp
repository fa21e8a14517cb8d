// Fuzz target: the settings file (CProfile) holding arbitrary bytes.
//
// A few keys are read (fixed ones the editor uses, and names found in the
// bytes), then one key is written, read back, written again and deleted:
//   - GetProfileInt agrees with GetProfileString on every key: the default
//     for a missing key, else the leading decimal integer of the value;
//   - a write of ordinary names and a one-line value succeeds; a refused
//     write says why and leaves the file byte for byte as it was;
//   - after a write the key reads back as written, and after a delete as
//     missing, while every other key keeps its value;
//   - writing the value a key already holds leaves the file as it is;
//   - no temporary file is left beside the settings file.

#include "platform/Profile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// No value can hold a line break: the default that marks a missing key.
const std::string kMissing = "\n(missing)\n";
constexpr int kMissingInt = -424242;

struct SKey {
    std::string section;
    std::string key;
};

bool SameKey(const SKey& a, const SKey& b)
{
    auto eq = [](const std::string& x, const std::string& y) {
        return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), [](char c, char d) {
                   auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; };
                   return lower(c) == lower(d);
               });
    };
    return eq(a.section, b.section) && eq(a.key, b.key);
}

std::string_view Trim(std::string_view s)
{
    const char* blanks = " \t\r\f\v";
    const std::size_t b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

// Names worth reading: the section headers and key names of the bytes, up
// to a handful, beside the keys the editor itself uses.
std::vector<SKey> ProbeKeys(std::string_view text)
{
    std::vector<SKey> keys = {{"WAV Config", "WavInDevice"}, {"WAV Config", "WavOutDevice"}, {"Settings", "Key"}};
    std::string section;
    std::size_t pos = 0;
    while (pos < text.size() && keys.size() < 10) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            nl = text.size();
        const std::string_view line = Trim(text.substr(pos, nl - pos));
        pos = nl + 1;
        if (!line.empty() && line[0] == '[') {
            section = std::string(Trim(line.substr(1, line.find(']') == std::string_view::npos ? std::string_view::npos
                                                                                                : line.find(']') - 1)));
        } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
            SKey k{section, std::string(Trim(line.substr(0, eq)))};
            if (std::none_of(keys.begin(), keys.end(), [&](const SKey& o) { return SameKey(o, k); }))
                keys.push_back(std::move(k));
        }
    }
    return keys;
}

// The leading decimal integer: blanks and one sign before the digits, 0
// without digits, saturated to the int range.
int LeadingInt(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        v = std::min<long long>(v * 10 + (s[i] - '0'), 1LL << 40);
    v = negative ? -v : v;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

struct SValue {
    std::string text;
    int number;
    bool operator==(const SValue&) const = default;
};

SValue Read(const CProfile& profile, const SKey& k)
{
    SValue v{profile.GetProfileString(k.section, k.key, kMissing),
             profile.GetProfileInt(k.section, k.key, kMissingInt)};
    if (v.text == kMissing)
        FUZZ_CHECK(v.number == kMissingInt, "[%s] %s: no string but the number %d", k.section.c_str(), k.key.c_str(),
                   v.number);
    else
        FUZZ_CHECK(v.number == LeadingInt(v.text), "[%s] %s = \"%s\" reads as %d", k.section.c_str(), k.key.c_str(),
                   v.text.c_str(), v.number);
    return v;
}

std::vector<SValue> ReadAll(const CProfile& profile, const std::vector<SKey>& keys)
{
    std::vector<SValue> values;
    for (const SKey& k : keys)
        values.push_back(Read(profile, k));
    return values;
}

// Every key but `changed` reads as before.
void CheckOthers(const std::vector<SKey>& keys, const std::vector<SValue>& before, const std::vector<SValue>& after,
                 const SKey& changed, const char* what)
{
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (!SameKey(keys[i], changed))
            FUZZ_CHECK(before[i] == after[i], "%s [%s] %s changed [%s] %s: \"%s\" -> \"%s\"", what,
                       changed.section.c_str(), changed.key.c_str(), keys[i].section.c_str(), keys[i].key.c_str(),
                       before[i].text.c_str(), after[i].text.c_str());
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CheckFolderHoldsOnly(const std::string& dir, const char* name)
{
    DIR* d = ::opendir(dir.c_str());
    FUZZ_CHECK(d != nullptr, "cannot list %s", dir.c_str());
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        FUZZ_CHECK(n == "." || n == ".." || n == name, "left behind: %s", n.c_str());
    }
    ::closedir(d);
}

// Names no reader could take for anything else.
bool Plain(const std::string& s)
{
    return !s.empty() && s.front() != ' ' && s.back() != ' ' && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                      c == '_' || c == '.' || c == '-';
           });
}

// A slice of the input, picked by two parameter bytes.
std::string Slice(const std::uint8_t* data, std::size_t size, std::uint8_t at, std::uint8_t length)
{
    if (size == 0)
        return {};
    const std::size_t from = at * size / 256;
    return std::string(reinterpret_cast<const char*>(data) + from, std::min<std::size_t>(length % 24, size - from));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string dir = fuzz::CScratch::Get().Dir();
    static const std::string path = fuzz::CScratch::Get().File("ondrel.ini");
    fuzz::CScratch::Write(path, data, size);

    // The choices come from the last bytes (they stay part of the file).
    std::uint8_t p[8] = {};
    for (std::size_t i = 0; i < 8 && i < size; ++i)
        p[i] = data[size - 1 - i];

    const std::string original(reinterpret_cast<const char*>(data), size);
    std::vector<SKey> keys = ProbeKeys(original);
    CProfile profile(path);
    const std::vector<SValue> before = ReadAll(profile, keys);

    // The key to write: one that is there, a new key in a section that is
    // there, or names taken from the bytes, which may not be valid at all.
    SKey target;
    const SKey& existing = keys[p[0] % keys.size()];
    switch (p[1] % 4) {
    case 0: target = existing; break;
    case 1: target = {existing.section, "New" + std::to_string(p[2])}; break;
    case 2: target = {Slice(data, size, p[2], p[3]), existing.key}; break;
    default: target = {Slice(data, size, p[2], p[3]), Slice(data, size, p[4], p[5])}; break;
    }
    const bool asNumber = (p[6] & 1) != 0;
    const int number = static_cast<int>(static_cast<std::uint32_t>(p[7]) << 24 | p[6] << 16 | p[5] << 8 | p[4]);
    const std::string value = asNumber ? std::to_string(number) : Slice(data, size, p[6], p[7]);

    const bool written = asNumber ? profile.WriteProfileInt(target.section, target.key, number)
                                  : profile.WriteProfileString(target.section, target.key, value);
    CheckFolderHoldsOnly(dir, "ondrel.ini");
    if (!written) {
        FUZZ_CHECK(!(Plain(target.section) && Plain(target.key) && value.find_first_of("\r\n") == std::string::npos),
                   "refused [%s] %s = \"%s\": %s", target.section.c_str(), target.key.c_str(), value.c_str(),
                   profile.GetLastError().c_str());
        FUZZ_CHECK(!profile.GetLastError().empty(), "refused without saying why");
        FUZZ_CHECK(FileBytes(path) == original, "a refused write changed the file");
        return 0;
    }
    FUZZ_CHECK(profile.GetLastError().empty(), "write succeeded with an error: %s", profile.GetLastError().c_str());

    keys.push_back(target);
    std::vector<SValue> beforeAll = before;
    beforeAll.push_back(SValue{});
    const SValue back = Read(profile, target);
    FUZZ_CHECK(back.text == value, "[%s] %s written as \"%s\" reads \"%s\"", target.section.c_str(),
               target.key.c_str(), value.c_str(), back.text.c_str());
    if (asNumber)
        FUZZ_CHECK(back.number == number, "number %d reads as %d", number, back.number);
    const std::vector<SValue> afterWrite = ReadAll(profile, keys);
    CheckOthers(keys, beforeAll, afterWrite, target, "writing");

    // The same value again: nothing to change.
    const std::string once = FileBytes(path);
    FUZZ_CHECK(profile.WriteProfileString(target.section, target.key, value), "second write refused: %s",
               profile.GetLastError().c_str());
    FUZZ_CHECK(FileBytes(path) == once, "writing the same value changed the file");

    FUZZ_CHECK(profile.DeleteProfileKey(target.section, target.key), "delete refused: %s",
               profile.GetLastError().c_str());
    CheckFolderHoldsOnly(dir, "ondrel.ini");
    const SValue gone = Read(profile, target);
    FUZZ_CHECK(gone.text == kMissing, "[%s] %s still reads \"%s\" after its delete", target.section.c_str(),
               target.key.c_str(), gone.text.c_str());
    CheckOthers(keys, beforeAll, ReadAll(profile, keys), target, "deleting");
    return 0;
}
