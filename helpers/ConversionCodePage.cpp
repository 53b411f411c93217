#include "helpers/ConversionCodePage.h"

#include "helpers/AtlException.h"
#include "helpers/Win32Result.h"

#include <cstdlib>
#include <new>

std::atomic<ConversionCodePageGetter> g_pfnGetConversionCodePage{&selectConversionCodePage};

namespace {

UINT threadCodePage()
{
    return CP_THREAD_ACP;
}

// Older systems have no CP_THREAD_ACP: read the thread locale's ANSI code page.
UINT threadLocaleCodePage()
{
    char text[7] = {};
    UINT value = 0;
    if (GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, 7) != 0) {
        text[6] = '\0';
        for (const char* p = text; *p != '\0'; ++p)
            value = value * 10 + static_cast<UINT>(*p - '0');
    }
    return value != 0 ? value : GetACP();
}

} // namespace

UINT getConversionCodePage()
{
    return g_pfnGetConversionCodePage.load()();
}

UINT selectConversionCodePage()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    GetVersionExA(&version);
    ConversionCodePageGetter getter =
        (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5) ? &threadCodePage
                                                                                       : &threadLocaleCodePage;
    // Two threads may get here at once; both store the same choice.
    g_pfnGetConversionCodePage.exchange(getter);
    return getter();
}

LPWSTR ansiToWide(LPWSTR destination, LPCSTR source, int destinationChars)
{
    if (destination == nullptr || source == nullptr)
        return nullptr;
    destination[0] = 0;
    if (MultiByteToWideChar(getConversionCodePage(), 0, source, -1, destination, destinationChars) == 0)
        return nullptr;
    return destination;
}

LPSTR wideToAnsi(LPSTR destination, LPCWSTR source, int destinationBytes)
{
    if (destination == nullptr || source == nullptr)
        return nullptr;
    destination[0] = '\0';
    if (WideCharToMultiByte(getConversionCodePage(), 0, source, -1, destination, destinationBytes, nullptr,
                            nullptr) == 0)
        return nullptr;
    return destination;
}

CConversionBuffers::~CConversionBuffers()
{
    while (m_pHeapBlocks != nullptr) {
        HeapBlock* next = m_pHeapBlocks->next;
        std::free(m_pHeapBlocks);
        m_pHeapBlocks = next;
    }
}

void* CConversionBuffers::allocate(size_t bytes)
{
    // Keep every buffer pointer-aligned in the inline area.
    size_t rounded = (bytes + alignof(void*) - 1) & ~(alignof(void*) - 1);
    if (rounded <= kInlineBytes - m_nInlineUsed) {
        void* buffer = m_inline + m_nInlineUsed;
        m_nInlineUsed += rounded;
        return buffer;
    }
    if (bytes > static_cast<size_t>(0x7FFFFFFF) - sizeof(HeapBlock))
        throwAtlException(E_OUTOFMEMORY);
    auto* block = static_cast<HeapBlock*>(std::malloc(sizeof(HeapBlock) + bytes));
    if (block == nullptr)
        throwAtlException(E_OUTOFMEMORY);
    block->next = m_pHeapBlocks;
    m_pHeapBlocks = block;
    return block + 1;
}

namespace {

template <class Char>
size_t lengthOf(const Char* text)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

// A conversion that failed without setting an error must still be a failure.
[[noreturn]] void throwConversionFailure()
{
    HRESULT hr = hresultFromLastError();
    throwAtlException(FAILED(hr) ? hr : E_FAIL);
}

} // namespace

LPWSTR CConversionBuffers::toWide(LPCSTR source)
{
    if (source == nullptr)
        return nullptr;
    size_t chars = lengthOf(source) + 1;
    if (chars > 0x3FFFFFFF)
        throwAtlException(E_OUTOFMEMORY);
    auto* destination = static_cast<LPWSTR>(allocate(chars * 2));
    if (ansiToWide(destination, source, static_cast<int>(chars)) == nullptr)
        throwConversionFailure();
    return destination;
}

LPSTR CConversionBuffers::toAnsi(LPCWSTR source)
{
    if (source == nullptr)
        return nullptr;
    // Ask the code page for the size: UTF-8 needs up to three bytes per character.
    const int needed = WideCharToMultiByte(getConversionCodePage(), 0, source, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        throwConversionFailure();
    const size_t bytes = static_cast<size_t>(needed);
    auto* destination = static_cast<LPSTR>(allocate(bytes));
    if (wideToAnsi(destination, source, static_cast<int>(bytes)) == nullptr)
        throwConversionFailure();
    return destination;
}
