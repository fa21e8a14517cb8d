#include "doc/CRecovery.h"

#include "platform/ProcessCache.h"
#include "platform/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr const char* kMagic = "ondrel-recovery 1";

// Keeps a value on one line: "%", CR and LF become "%25", "%0D", "%0A".
std::string Escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else
            out += c;
    }
    return out;
}

bool Unescape(const std::string& s, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        const std::string code = s.substr(i + 1, 2);
        if (code == "25")
            out += '%';
        else if (code == "0A")
            out += '\n';
        else if (code == "0D")
            out += '\r';
        else
            return false;
        i += 2;
    }
    return true;
}

bool WriteAllFd(int fd, const void* data, std::size_t n)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Writes `parts` into `target` through a flushed temporary file.
template <typename Body>
bool SafeWrite(const std::string& target, SReason& error, Body body)
{
    CSafeSave save;
    if (!save.Begin(target)) {
        error = save.GetError();
        return false;
    }
    const int fd = ::open(save.GetTempPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        error = FileReason(EReason::FileWrite, target, errno);
        return false;
    }
    bool ok = body(fd);
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        error = FileReason(EReason::FileWrite, target, err);
        return false;
    }
    if (!save.Commit(/*bDurable*/ true)) {
        error = save.GetError();
        return false;
    }
    return true;
}

bool IsCopyName(const std::string& name)
{
    return name.rfind("recovery-", 0) == 0 && name.size() > 13 && name.compare(name.size() - 4, 4, ".wav") == 0;
}
} // namespace

bool WriteRecoveryRecord(const std::string& folder, const SRecoveryRecord& r, SReason& error)
{
    std::ostringstream text;
    text << kMagic << '\n'
         << "audio=" << Escape(r.audioName) << '\n'
         << "path=" << Escape(r.path) << '\n'
         << "title=" << Escape(r.title) << '\n'
         << "modified=" << (r.bModified ? 1 : 0) << '\n'
         << "rate=" << r.dwSamplesPerSec << '\n'
         << "channels=" << r.wChannels << '\n'
         << "bits=" << r.wBitsPerSample << '\n'
         << "encoding=" << WaveEncodingName(r.eFileEncoding) << '\n'
         << "end\n";
    const std::string bytes = text.str();
    return SafeWrite(folder + "/" + kRecoveryRecordName, error,
                     [&](int fd) { return WriteAllFd(fd, bytes.data(), bytes.size()); });
}

bool ReadRecoveryRecord(const std::string& folder, SRecoveryRecord& record)
{
    std::ifstream in(folder + "/" + kRecoveryRecordName, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != kMagic)
        return false;
    std::map<std::string, std::string> fields;
    bool bEnd = false;
    while (std::getline(in, line)) {
        if (line == "end") {
            bEnd = true;
            break;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            return false;
        std::string value;
        if (!Unescape(line.substr(eq + 1), value))
            return false;
        fields[line.substr(0, eq)] = value;
    }
    if (!bEnd)
        return false;
    for (const char* key : {"audio", "path", "title", "modified", "rate", "channels", "bits"})
        if (!fields.count(key))
            return false;
    SRecoveryRecord r;
    r.audioName = fields["audio"];
    if (!IsCopyName(r.audioName) || r.audioName.find('/') != std::string::npos)
        return false;
    r.path = fields["path"];
    r.title = fields["title"];
    r.bModified = fields["modified"] == "1";
    // Absent or empty: plain PCM.
    const std::string encoding = fields["encoding"];
    bool bKnown = encoding.empty();
    for (EWaveEncoding e : {EWaveEncoding::Pcm24, EWaveEncoding::Pcm32, EWaveEncoding::Float32,
                            EWaveEncoding::Float64, EWaveEncoding::ALaw, EWaveEncoding::MuLaw})
        if (encoding == WaveEncodingName(e)) {
            r.eFileEncoding = e;
            bKnown = true;
        }
    if (!bKnown)
        return false;
    try {
        const unsigned long rate = std::stoul(fields["rate"]);
        const unsigned long channels = std::stoul(fields["channels"]);
        const unsigned long bits = std::stoul(fields["bits"]);
        if (rate > UINT32_MAX || channels > 0xFFFF || bits > 0xFFFF)
            return false;
        r.dwSamplesPerSec = static_cast<std::uint32_t>(rate);
        r.wChannels = static_cast<std::uint16_t>(channels);
        r.wBitsPerSample = static_cast<std::uint16_t>(bits);
    } catch (const std::exception&) {
        return false;
    }
    record = r;
    return true;
}

void RemoveRecoveryFiles(const std::string& folder)
{
    // The record goes first: a copy without a record is never offered.
    std::remove((folder + "/" + kRecoveryRecordName).c_str());
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (IsCopyName(entry.path().filename().string()))
            std::filesystem::remove(entry.path(), ec);
}

void CRecoveryWrite::Start(const std::string& folder, const std::uint8_t* data, std::uint32_t bytes,
                           const WAVEFORMATEX& format, SRecoveryRecord record, std::function<void()> onDone)
{
    Join();
    m_bFinished.store(false);
    m_nDone.store(0);
    m_nTotal = bytes;
    m_bOk = true;
    m_error = SReason{};
    m_worker = std::thread([this, folder, data, bytes, format, record = std::move(record),
                            onDone = std::move(onDone)] {
        auto le32 = [](std::uint32_t v, unsigned char* p) {
            for (int i = 0; i < 4; ++i)
                p[i] = static_cast<unsigned char>(v >> (8 * i));
        };
        unsigned char header[44];
        std::memcpy(header, "RIFF", 4);
        le32(bytes + 36, header + 4);
        std::memcpy(header + 8, "WAVEfmt ", 8);
        le32(16, header + 16);
        std::memcpy(header + 20, &format, kPcmFormatBytes);
        std::memcpy(header + 36, "data", 4);
        le32(bytes, header + 40);
        SReason error;
        bool ok = SafeWrite(folder + "/" + record.audioName, error, [&](int fd) {
            if (!WriteAllFd(fd, header, sizeof header))
                return false;
            constexpr std::uint32_t kPiece = 1u << 20;
            for (std::uint32_t done = 0; done < bytes;) {
                const std::uint32_t n = std::min(kPiece, bytes - done);
                if (!WriteAllFd(fd, data + done, n))
                    return false;
                done += n;
                m_nDone.store(done, std::memory_order_relaxed);
            }
            return true;
        });
        ok = ok && WriteRecoveryRecord(folder, record, error);
        if (ok) {
            // Only now is the previous copy no longer named by the record.
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
                const std::string name = entry.path().filename().string();
                if (IsCopyName(name) && name != record.audioName)
                    std::filesystem::remove(entry.path(), ec);
            }
        }
        m_bOk = ok;
        m_error = error;
        m_bFinished.store(true);
        if (onDone)
            onDone();
    });
}

bool CRecoveryWrite::Join()
{
    if (m_worker.joinable())
        m_worker.join();
    return m_bOk;
}
