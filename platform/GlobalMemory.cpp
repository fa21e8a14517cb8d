#include "platform/GlobalMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

struct CGlobalBlock {
    void* pData;
    std::size_t nSize;
    unsigned nLockCount;
    bool bMapped; // pData came from mmap, not malloc
};

namespace {
std::size_t g_nAllocLimit = 0;
constexpr std::size_t kHugeBlock = 4u << 20;

void Release(void* p, std::size_t bytes, bool mapped)
{
    if (mapped)
        ::munmap(p, bytes);
    else
        std::free(p);
}
} // namespace

void GlobalSetAllocLimit(std::size_t bytes) { g_nAllocLimit = bytes; }

HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes)
{
    if (g_nAllocLimit != 0 && bytes > g_nAllocLimit)
        return nullptr;
    void* p;
    bool mapped = bytes >= kHugeBlock;
    if (mapped) {
        // Audio blocks of many MB: fresh zeroed pages straight from the
        // system, backed by huge pages where the system offers them, which
        // cuts the page faults of filling the block by a factor of 512.
        p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return nullptr;
        ::madvise(p, bytes, MADV_HUGEPAGE);
    } else {
        // malloc(0) may return null; keep one byte so an empty block is valid.
        p = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                    : std::malloc(bytes ? bytes : 1);
        if (!p)
            return nullptr;
    }
    auto* block = new (std::nothrow) CGlobalBlock{p, bytes, 0, mapped};
    if (!block) {
        Release(p, bytes, mapped);
        return nullptr;
    }
    return block;
}

void* GlobalLock(HGLOBAL h)
{
    if (!h)
        return nullptr;
    ++h->nLockCount;
    return h->pData;
}

bool GlobalUnlock(HGLOBAL h)
{
    if (!h || h->nLockCount == 0)
        return false;
    return --h->nLockCount != 0;
}

HGLOBAL GlobalFree(HGLOBAL h)
{
    if (h) {
        Release(h->pData, h->nSize, h->bMapped);
        delete h;
    }
    return nullptr;
}

std::size_t GlobalSize(HGLOBAL h) { return h ? h->nSize : 0; }

unsigned GlobalLockCount(HGLOBAL h) { return h ? h->nLockCount : 0; }
