#pragma once
// Test helpers: a private temporary folder and whole-file reads and writes.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class CTempDir {
public:
    CTempDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "ondrel-test-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            std::abort();
        m_path = templ;
    }
    ~CTempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Path() const { return m_path; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> List() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_path;
};

inline Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteAll(const std::string& path, const std::string& text)
{
    WriteAll(path, Bytes(text.begin(), text.end()));
}

// Little-endian building blocks for hand-made RIFF files.
inline void PutTag(Bytes& b, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(tag[i]));
}
inline void Put16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline std::uint32_t Get32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}
// A chunk: id, size, body, and a pad byte when the body's size is odd.
inline void PutChunk(Bytes& b, const char* id, const Bytes& body, bool pad = true)
{
    PutTag(b, id);
    Put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2)
        b.push_back(0);
}
