#pragma once
// RIFF file services: a buffered file handle that can descend into chunks,
// find a chunk by id among its siblings, ascend out of it, read and write.
// Every chunk size comes from the file and is untrusted: a search never
// allocates on it and never positions beyond the end of the enclosing chunk
// or of the file.

#include <cstdint>
#include <string>

using FOURCC = std::uint32_t;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d)
{
    return static_cast<FOURCC>(static_cast<unsigned char>(a)) |
           static_cast<FOURCC>(static_cast<unsigned char>(b)) << 8 |
           static_cast<FOURCC>(static_cast<unsigned char>(c)) << 16 |
           static_cast<FOURCC>(static_cast<unsigned char>(d)) << 24;
}

constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');

// Open flags.
constexpr unsigned MMIO_READ = 0x0000;
constexpr unsigned MMIO_WRITE = 0x0001;
constexpr unsigned MMIO_CREATE = 0x1000;   // create, or cut to zero length
constexpr unsigned MMIO_ALLOCBUF = 0x10000; // buffered I/O
// Writing: hands every 8 MiB to the disk as soon as it is written, so that
// a flush at the end (a durable save's fsync) finds little left to write
// and the writing and the disk's work overlap.
constexpr unsigned MMIO_WRITEBACK = 0x20000;

// Descend flags.
constexpr unsigned MMIO_FINDCHUNK = 0x0010;
constexpr unsigned MMIO_FINDRIFF = 0x0020;
constexpr unsigned MMIO_FINDLIST = 0x0040;

// Results.
constexpr unsigned MMSYSERR_NOERROR = 0;
constexpr unsigned MMIOERR_CANNOTREAD = 260;
constexpr unsigned MMIOERR_CANNOTWRITE = 261;
constexpr unsigned MMIOERR_CANNOTSEEK = 262;
constexpr unsigned MMIOERR_CHUNKNOTFOUND = 265;

// One chunk: its id, the size of its body as the file states it, the form
// type for RIFF and LIST chunks, and the file offset of its body (for RIFF
// and LIST chunks the body starts with the form type).
struct MMCKINFO {
    FOURCC ckid = 0;
    std::uint32_t cksize = 0;
    FOURCC fccType = 0;
    std::uint64_t dwDataOffset = 0;
};

class CMmioFile;
using HMMIO = CMmioFile*;

// Opens `path` for reading (MMIO_READ) or writing (MMIO_WRITE | MMIO_CREATE:
// create or truncate). Returns null on failure; `pError` (if given) then
// holds errno.
HMMIO mmioOpen(const std::string& path, unsigned flags, int* pError = nullptr);

// Flushes pending writes and closes. Returns 0, or MMIOERR_CANNOTWRITE when
// buffered data could not be written or the close failed (errno tells why).
unsigned mmioClose(HMMIO h);

// Reads up to `bytes` bytes at the current position. Returns the number read
// (fewer at the end of the file), or -1 on a read error.
std::int64_t mmioRead(HMMIO h, void* dest, std::int64_t bytes);

// Writes `bytes` bytes at the current position. Returns the number written,
// or -1 on a write error (errno tells why, for example ENOSPC or EFBIG).
std::int64_t mmioWrite(HMMIO h, const void* src, std::int64_t bytes);

// Searches for a chunk from the current position and, when found, positions
// at the start of its body (past the form type for RIFF and LIST chunks).
// MMIO_FINDRIFF / MMIO_FINDLIST: a RIFF / LIST chunk whose form type is
// `ck->fccType`; MMIO_FINDCHUNK: a chunk whose id is `ck->ckid`; no flag:
// the chunk at the current position. The search stays inside `parent` (or
// the file when null) and skips chunks of odd size together with their pad
// byte. Returns 0 and fills `ck`, or MMIOERR_CHUNKNOTFOUND (the position is
// then unspecified).
unsigned mmioDescend(HMMIO h, MMCKINFO* ck, const MMCKINFO* parent, unsigned flags);

// Positions just past the chunk `ck` (and its pad byte when its size is
// odd), but never past the end of the file. Returns 0 or MMIOERR_CANNOTSEEK.
unsigned mmioAscend(HMMIO h, const MMCKINFO* ck, unsigned flags);

// Current position from the start of the file.
std::uint64_t mmioTell(HMMIO h);

// Length of the file as it was when opened for reading; for a file opened
// for writing, the number of bytes written so far.
std::uint64_t mmioLength(HMMIO h);
