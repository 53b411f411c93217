// BSTR strings: a 32-bit byte count, then the characters, then a NUL character.
// The string handle points at the first character.
#include "platform/Automation.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefixBytes = sizeof(DWORD);

DWORD* prefixOf(BSTR text)
{
    return reinterpret_cast<DWORD*>(reinterpret_cast<char*>(text) - kPrefixBytes);
}

size_t wideLength(const OLECHAR* text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

} // namespace

BSTR STDAPICALLTYPE SysAllocStringLen(const OLECHAR* strIn, UINT ui)
{
    // The byte count must fit the 32-bit prefix.
    if (ui >= 0x80000000u)
        return nullptr;
    size_t bytes = static_cast<size_t>(ui) * sizeof(OLECHAR);
    auto block = static_cast<char*>(std::malloc(kPrefixBytes + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    *reinterpret_cast<DWORD*>(block) = static_cast<DWORD>(bytes);
    auto text = reinterpret_cast<BSTR>(block + kPrefixBytes);
    if (strIn)
        std::memcpy(text, strIn, bytes);
    text[ui] = 0;
    return text;
}

BSTR STDAPICALLTYPE SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    size_t length = wideLength(psz);
    if (length >= 0x80000000u)
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(length));
}

void STDAPICALLTYPE SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(prefixOf(bstrString));
}

UINT STDAPICALLTYPE SysStringLen(BSTR pbstr)
{
    return pbstr ? *prefixOf(pbstr) / sizeof(OLECHAR) : 0;
}

UINT STDAPICALLTYPE SysStringByteLen(BSTR bstr)
{
    return bstr ? *prefixOf(bstr) : 0;
}
