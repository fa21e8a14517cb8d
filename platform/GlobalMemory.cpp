#include "platform/GlobalMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>

struct CGlobalBlock {
    void* pData;
    std::size_t nSize;
    unsigned nLockCount;
};

namespace {
std::size_t g_nAllocLimit = 0;
}

void GlobalSetAllocLimit(std::size_t bytes) { g_nAllocLimit = bytes; }

HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes)
{
    if (g_nAllocLimit != 0 && bytes > g_nAllocLimit)
        return nullptr;
    // malloc(0) may return null; keep one byte so an empty block is valid.
    void* p = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                      : std::malloc(bytes ? bytes : 1);
    if (!p)
        return nullptr;
    auto* block = new (std::nothrow) CGlobalBlock{p, bytes, 0};
    if (!block) {
        std::free(p);
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
        std::free(h->pData);
        delete h;
    }
    return nullptr;
}

std::size_t GlobalSize(HGLOBAL h) { return h ? h->nSize : 0; }

unsigned GlobalLockCount(HGLOBAL h) { return h ? h->nLockCount : 0; }
