// The conversion code page: the one code page, chosen on first use, through
// which every ANSI/wide conversion of the module goes; and those conversions.
#pragma once

#include "platform/Kernel.h"

#include <atomic>

// The code page for every ANSI/wide conversion in the module.
UINT getConversionCodePage();

// Chooses the code page getter from the system version and the thread locale,
// stores it for later calls and returns its answer. getConversionCodePage runs
// it on first use; running it again makes the same choice.
UINT selectConversionCodePage();

using ConversionCodePageGetter = UINT (*)();
// Points at selectConversionCodePage until the first choice is made.
extern std::atomic<ConversionCodePageGetter> g_pfnGetConversionCodePage;

// Whole-string conversions including the terminator, flags 0. A null source or
// destination, or a failed conversion, gives null. The destination's first
// character is cleared before converting.
LPWSTR ansiToWide(LPWSTR destination, LPCSTR source, int destinationChars);
LPSTR wideToAnsi(LPSTR destination, LPCWSTR source, int destinationBytes);

// Conversion buffers for one operation: short strings are served from an inline
// area, longer ones from heap blocks that are freed with this object. A buffer
// that cannot be allocated raises CAtlException(E_OUTOFMEMORY); a failed
// conversion raises CAtlException with the HRESULT of GetLastError.
class CConversionBuffers {
public:
    CConversionBuffers() = default;
    ~CConversionBuffers();
    CConversionBuffers(const CConversionBuffers&) = delete;
    CConversionBuffers& operator=(const CConversionBuffers&) = delete;

    // Null in, null out.
    LPWSTR toWide(LPCSTR source);
    LPSTR toAnsi(LPCWSTR source);

    static constexpr size_t kInlineBytes = 1024;

private:
    struct HeapBlock {
        HeapBlock* next;
    };

    void* allocate(size_t bytes);

    alignas(alignof(void*)) BYTE m_inline[kInlineBytes];
    size_t m_nInlineUsed = 0;
    HeapBlock* m_pHeapBlocks = nullptr;
};
