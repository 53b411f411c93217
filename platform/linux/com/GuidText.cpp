// Class identifiers as text.
#include "platform/Com.h"
#include "platform/linux/com/GuidText.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace comrt {

namespace {

int hexValue(OLECHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Reads `digits` hexadecimal characters at text[at].
bool readHex(const OLECHAR* text, size_t at, int digits, uint32_t& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int digit = hexValue(text[at + static_cast<size_t>(i)]);
        if (digit < 0)
            return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return true;
}

} // namespace

std::string guidToText(REFGUID guid)
{
    char text[CHARS_IN_GUID];
    std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                  guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                  guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

bool parseGuid(const OLECHAR* text, GUID& guid)
{
    // Check the shape first, so that no character past a short string is read.
    static const char shape[] = "{........-....-....-....-............}";
    for (size_t i = 0; i < CHARS_IN_GUID - 1; ++i) {
        if (text[i] == 0)
            return false;
        if (shape[i] != '.' && text[i] != static_cast<OLECHAR>(shape[i]))
            return false;
    }
    if (text[CHARS_IN_GUID - 1] != 0)
        return false;
    uint32_t value;
    GUID parsed{};
    if (!readHex(text, 1, 8, value))
        return false;
    parsed.Data1 = value;
    if (!readHex(text, 10, 4, value))
        return false;
    parsed.Data2 = static_cast<uint16_t>(value);
    if (!readHex(text, 15, 4, value))
        return false;
    parsed.Data3 = static_cast<uint16_t>(value);
    static const size_t byteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, byteAt[i], 2, value))
            return false;
        parsed.Data4[i] = static_cast<uint8_t>(value);
    }
    guid = parsed;
    return true;
}

} // namespace comrt

int STDAPICALLTYPE StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (!lpsz || cchMax < CHARS_IN_GUID)
        return 0;
    std::string text = comrt::guidToText(rguid);
    for (size_t i = 0; i <= text.size(); ++i)
        lpsz[i] = static_cast<OLECHAR>(text.c_str()[i]);
    return CHARS_IN_GUID;
}

HRESULT STDAPICALLTYPE StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz)
{
    if (!lplpsz)
        return E_INVALIDARG;
    *lplpsz = static_cast<LPOLESTR>(CoTaskMemAlloc(CHARS_IN_GUID * sizeof(OLECHAR)));
    if (!*lplpsz)
        return E_OUTOFMEMORY;
    StringFromGUID2(rclsid, *lplpsz, CHARS_IN_GUID);
    return S_OK;
}

HRESULT STDAPICALLTYPE CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    if (!pclsid)
        return E_INVALIDARG;
    // The platform reads a null string as the null class.
    if (!lpsz) {
        *pclsid = GUID_NULL;
        return S_OK;
    }
    if (comrt::parseGuid(lpsz, *pclsid))
        return S_OK;
    *pclsid = GUID_NULL;
    // A ProgID is accepted in place of the braced form, as on the platform.
    if (lpsz[0] != u'{') {
        CLSID fromProgId;
        if (SUCCEEDED(CLSIDFromProgID(lpsz, &fromProgId))) {
            *pclsid = fromProgId;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}
