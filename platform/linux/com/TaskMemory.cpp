// Task memory: the allocator that COM callers and callees share.
#include "platform/Com.h"

#include <cstdint>
#include <cstdlib>

LPVOID STDAPICALLTYPE CoTaskMemAlloc(SIZE_T cb)
{
    // No block can be larger than half the address space; such sizes are refused
    // here rather than handed to an allocator that may abort on them.
    if (cb > static_cast<SIZE_T>(PTRDIFF_MAX))
        return nullptr;
    // A zero-byte block is still a distinct, freeable block.
    return std::malloc(cb ? cb : 1);
}

LPVOID STDAPICALLTYPE CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    if (!pv)
        return CoTaskMemAlloc(cb);
    if (cb == 0) {
        std::free(pv);
        return nullptr;
    }
    if (cb > static_cast<SIZE_T>(PTRDIFF_MAX))
        return nullptr; // the block stays as it was
    return std::realloc(pv, cb);
}

void STDAPICALLTYPE CoTaskMemFree(LPVOID pv)
{
    std::free(pv);
}
