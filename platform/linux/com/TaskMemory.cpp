// Task memory: the allocator that COM callers and callees share.
#include "platform/Com.h"

#include <cstdlib>

LPVOID STDAPICALLTYPE CoTaskMemAlloc(SIZE_T cb)
{
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
    return std::realloc(pv, cb);
}

void STDAPICALLTYPE CoTaskMemFree(LPVOID pv)
{
    std::free(pv);
}
