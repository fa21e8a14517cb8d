#include "platform/RiffFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
// With MMIO_WRITEBACK: how much is written before it is handed to the disk.
constexpr std::uint64_t kWritebackBytes = 8u << 20;

std::uint32_t ReadLE32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
} // namespace

class CMmioFile {
public:
    int m_fd = -1;
    bool m_bWrite = false;
    std::unique_ptr<unsigned char[]> m_pBuffer;
    // Read mode: bytes [m_nBufPos, m_nBufEnd) of the buffer are the file's
    // bytes from m_nPos on. Write mode: m_nBufEnd bytes wait to be written
    // at the file position m_nPos - m_nBufEnd.
    std::size_t m_nBufPos = 0;
    std::size_t m_nBufEnd = 0;
    std::uint64_t m_nPos = 0;    // logical position
    std::uint64_t m_nLength = 0; // file length (reading) or bytes written
    bool m_bError = false;
    bool m_bWriteback = false;
    // With m_bWriteback: the file position where the next write starts, and
    // the end of what has been handed to the disk.
    std::uint64_t m_nFilePos = 0;
    std::uint64_t m_nHandedOver = 0;

    // Starts the disk's writing of what was written since the last hand-over
    // once it amounts to kWritebackBytes. Only a hint: a durable caller
    // still flushes, so a failure here changes nothing.
    void HandOver(bool all)
    {
        const std::uint64_t pending = m_nFilePos - m_nHandedOver;
        if (pending == 0 || (!all && pending < kWritebackBytes))
            return;
        (void)::sync_file_range(m_fd, static_cast<off_t>(m_nHandedOver), static_cast<off_t>(pending),
                                SYNC_FILE_RANGE_WRITE);
        m_nHandedOver = m_nFilePos;
    }

    // Writes all `bytes` bytes straight to the file; on failure marks the
    // handle as failed (errno tells why).
    bool WriteFully(const unsigned char* src, std::size_t bytes)
    {
        std::size_t done = 0;
        while (done < bytes) {
            std::size_t piece = bytes - done;
            if (m_bWriteback)
                piece = std::min<std::size_t>(piece, kWritebackBytes);
            ssize_t n = ::write(m_fd, src + done, piece);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n == 0)
                    errno = EIO;
                m_bError = true;
                return false;
            }
            done += static_cast<std::size_t>(n);
            if (m_bWriteback) {
                m_nFilePos += static_cast<std::uint64_t>(n);
                HandOver(false);
            }
        }
        return true;
    }

    bool FlushWrites()
    {
        if (!WriteFully(m_pBuffer.get(), m_nBufEnd))
            return false;
        m_nBufEnd = 0;
        return true;
    }

    bool Seek(std::uint64_t pos)
    {
        if (m_bWrite) {
            if (!FlushWrites())
                return false;
            if (::lseek(m_fd, static_cast<off_t>(pos), SEEK_SET) < 0)
                return false;
            m_nPos = pos;
            if (m_bWriteback) {
                HandOver(true);
                m_nFilePos = m_nHandedOver = pos;
            }
            return true;
        }
        // Reading: stay inside the buffered bytes when possible.
        std::uint64_t bufStart = m_nPos - m_nBufPos;
        if (pos >= bufStart && pos <= bufStart + m_nBufEnd) {
            m_nBufPos = static_cast<std::size_t>(pos - bufStart);
            m_nPos = pos;
            return true;
        }
        if (::lseek(m_fd, static_cast<off_t>(pos), SEEK_SET) < 0)
            return false;
        m_nBufPos = m_nBufEnd = 0;
        m_nPos = pos;
        return true;
    }

    // Reads straight from the file into dest; returns bytes read or -1.
    std::int64_t RawRead(unsigned char* dest, std::size_t bytes)
    {
        std::size_t done = 0;
        while (done < bytes) {
            ssize_t n = ::read(m_fd, dest + done, bytes - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        return static_cast<std::int64_t>(done);
    }

    std::int64_t Read(unsigned char* dest, std::int64_t bytes)
    {
        if (m_bWrite || bytes < 0)
            return -1;
        std::size_t want = static_cast<std::size_t>(bytes);
        std::size_t done = std::min(want, m_nBufEnd - m_nBufPos);
        if (done) {
            std::memcpy(dest, m_pBuffer.get() + m_nBufPos, done);
            m_nBufPos += done;
            m_nPos += done;
        }
        if (done == want)
            return static_cast<std::int64_t>(done);
        // The buffer is drained: its file position is now m_nPos.
        m_nBufPos = m_nBufEnd = 0;
        std::size_t rest = want - done;
        if (!m_pBuffer || rest >= kBufferSize) {
            // Large reads go straight into the caller's memory, no copy.
            std::int64_t n = RawRead(dest + done, rest);
            if (n < 0)
                return -1;
            m_nPos += static_cast<std::uint64_t>(n);
            return static_cast<std::int64_t>(done) + n;
        }
        std::int64_t n = RawRead(m_pBuffer.get(), kBufferSize);
        if (n < 0)
            return -1;
        m_nBufEnd = static_cast<std::size_t>(n);
        std::size_t take = std::min(rest, m_nBufEnd);
        std::memcpy(dest + done, m_pBuffer.get(), take);
        m_nBufPos = take;
        m_nPos += take;
        return static_cast<std::int64_t>(done + take);
    }

    std::int64_t Write(const unsigned char* src, std::int64_t bytes)
    {
        if (!m_bWrite || bytes < 0 || m_bError)
            return -1;
        std::size_t want = static_cast<std::size_t>(bytes);
        if (m_nBufEnd + want <= kBufferSize) {
            std::memcpy(m_pBuffer.get() + m_nBufEnd, src, want);
            m_nBufEnd += want;
        } else {
            // Large writes go straight from the caller's memory.
            if (!FlushWrites() || !WriteFully(src, want))
                return -1;
        }
        m_nPos += want;
        m_nLength = std::max(m_nLength, m_nPos);
        return bytes;
    }

    // Reads exactly `bytes` bytes at the current position or fails.
    bool ReadExact(unsigned char* dest, std::int64_t bytes) { return Read(dest, bytes) == bytes; }
};

HMMIO mmioOpen(const std::string& path, unsigned flags, int* pError)
{
    auto file = std::make_unique<CMmioFile>();
    file->m_bWrite = (flags & MMIO_WRITE) != 0;
    file->m_bWriteback = file->m_bWrite && (flags & MMIO_WRITEBACK) != 0;
    int oflags = file->m_bWrite ? (O_WRONLY | ((flags & MMIO_CREATE) ? (O_CREAT | O_TRUNC) : 0))
                                : O_RDONLY;
    file->m_fd = ::open(path.c_str(), oflags | O_CLOEXEC, 0666);
    if (file->m_fd < 0) {
        if (pError)
            *pError = errno;
        return nullptr;
    }
    struct stat st {};
    int err = 0;
    if (::fstat(file->m_fd, &st) != 0)
        err = errno;
    else if (!file->m_bWrite && !S_ISREG(st.st_mode))
        // Only regular files are read: a directory or a device has no
        // length to check chunk sizes against.
        err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (err) {
        ::close(file->m_fd);
        if (pError)
            *pError = err;
        return nullptr;
    }
    if (!file->m_bWrite)
        file->m_nLength = static_cast<std::uint64_t>(st.st_size);
    if (file->m_bWrite || (flags & MMIO_ALLOCBUF))
        file->m_pBuffer.reset(new unsigned char[kBufferSize]);
    return file.release();
}

unsigned mmioClose(HMMIO h)
{
    if (!h)
        return MMSYSERR_NOERROR;
    std::unique_ptr<CMmioFile> file(h);
    bool ok = true;
    if (file->m_bWrite) {
        ok = file->FlushWrites() && !file->m_bError;
        if (ok && file->m_bWriteback)
            file->HandOver(true);
    }
    int savedErrno = errno;
    if (::close(file->m_fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    errno = savedErrno;
    return ok ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}

std::int64_t mmioRead(HMMIO h, void* dest, std::int64_t bytes)
{
    return h ? h->Read(static_cast<unsigned char*>(dest), bytes) : -1;
}

std::int64_t mmioWrite(HMMIO h, const void* src, std::int64_t bytes)
{
    return h ? h->Write(static_cast<const unsigned char*>(src), bytes) : -1;
}

unsigned mmioDescend(HMMIO h, MMCKINFO* ck, const MMCKINFO* parent, unsigned flags)
{
    if (!h || !ck || h->m_bWrite)
        return MMIOERR_CHUNKNOTFOUND;
    // The search ends at the parent's end, and never beyond the file.
    std::uint64_t end = h->m_nLength;
    if (parent)
        end = std::min(end, parent->dwDataOffset + parent->cksize);
    const FOURCC wantId = ck->ckid;
    const FOURCC wantType = ck->fccType;
    for (;;) {
        std::uint64_t pos = h->m_nPos;
        if (pos + 8 > end)
            return MMIOERR_CHUNKNOTFOUND;
        unsigned char head[8];
        if (!h->ReadExact(head, 8))
            return MMIOERR_CHUNKNOTFOUND;
        MMCKINFO found;
        found.ckid = ReadLE32(head);
        found.cksize = ReadLE32(head + 4);
        found.dwDataOffset = pos + 8;
        bool isForm = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
        if (isForm) {
            unsigned char type[4];
            if (pos + 12 > end || !h->ReadExact(type, 4))
                return MMIOERR_CHUNKNOTFOUND;
            found.fccType = ReadLE32(type);
        }
        bool match;
        if (flags & MMIO_FINDRIFF)
            match = found.ckid == FOURCC_RIFF && found.fccType == wantType;
        else if (flags & MMIO_FINDLIST)
            match = found.ckid == FOURCC_LIST && found.fccType == wantType;
        else if (flags & MMIO_FINDCHUNK)
            match = found.ckid == wantId;
        else
            match = true;
        if (match) {
            *ck = found;
            return MMSYSERR_NOERROR;
        }
        // Skip the body and its pad byte; a body that runs past the end
        // means there is no further chunk to find.
        std::uint64_t next = found.dwDataOffset + found.cksize + (found.cksize & 1u);
        if (next > end)
            return MMIOERR_CHUNKNOTFOUND;
        if (!h->Seek(next))
            return MMIOERR_CHUNKNOTFOUND;
    }
}

unsigned mmioAscend(HMMIO h, const MMCKINFO* ck, unsigned /*flags*/)
{
    if (!h || !ck)
        return MMIOERR_CANNOTSEEK;
    std::uint64_t next = ck->dwDataOffset + ck->cksize + (ck->cksize & 1u);
    if (!h->m_bWrite)
        next = std::min(next, h->m_nLength);
    return h->Seek(next) ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
}

std::uint64_t mmioTell(HMMIO h) { return h ? h->m_nPos : 0; }

std::uint64_t mmioLength(HMMIO h) { return h ? h->m_nLength : 0; }
