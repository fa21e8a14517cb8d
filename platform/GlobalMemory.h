#pragma once
// Movable memory blocks with a nesting lock count, in place of the
// operating system's global memory. A block is reached through its handle;
// its address is valid while it is locked. Blocks are never moved here, but
// callers lock and unlock as if they could be, so every lock is paired.

#include <cstddef>

struct CGlobalBlock;
using HGLOBAL = CGlobalBlock*;

constexpr unsigned GMEM_FIXED = 0x0000;
constexpr unsigned GMEM_MOVEABLE = 0x0002;
constexpr unsigned GMEM_ZEROINIT = 0x0040;

// Allocates a block of `bytes` bytes. The content is left uninitialised
// (blocks reach hundreds of MB: no needless zero-filling) unless
// GMEM_ZEROINIT is given. A size of 0 gives a valid empty block. Returns
// null when the memory cannot be had or the size exceeds the limit set by
// GlobalSetAllocLimit.
HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes);

// Locks the block and returns the address of its first byte; each lock must
// be paired with one GlobalUnlock. Null handle: returns null.
void* GlobalLock(HGLOBAL h);

// Undoes one GlobalLock. Returns true while the block stays locked. A null
// handle or a block that is not locked is left alone (returns false).
bool GlobalUnlock(HGLOBAL h);

// Releases the block whatever its lock count. Returns null on success, so
// `h = GlobalFree(h)` clears the handle. A null handle does nothing.
HGLOBAL GlobalFree(HGLOBAL h);

// Size in bytes given at allocation; 0 for a null handle.
std::size_t GlobalSize(HGLOBAL h);

// Current lock count; 0 for a null handle.
unsigned GlobalLockCount(HGLOBAL h);

// Caps the size of a single allocation (0: no cap). Used by tests and
// fuzzers to exercise the out-of-memory paths and to bound memory use.
void GlobalSetAllocLimit(std::size_t bytes);
