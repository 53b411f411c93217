// VarUI4FromStr: an unsigned 32-bit number from text. Accepted: blanks around the
// number, a sign, decimal digits with an optional fraction (rounded half to
// even), or "&H" hexadecimal and "&O" octal digits.
#include "platform/Automation.h"

namespace {

bool isBlank(OLECHAR c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

int digitValue(OLECHAR c, int radix)
{
    int value;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    else
        return -1;
    return value < radix ? value : -1;
}

constexpr ULONGLONG kTooLarge = 0x100000000ull;

} // namespace

HRESULT STDAPICALLTYPE VarUI4FromStr(LPCOLESTR strIn, LCID /*lcid*/, ULONG /*dwFlags*/, ULONG* pulOut)
{
    if (!strIn)
        return E_INVALIDARG;
    if (!pulOut)
        return E_POINTER;

    const OLECHAR* p = strIn;
    while (isBlank(*p))
        ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') {
        negative = *p == u'-';
        ++p;
    }

    ULONGLONG value = 0;
    bool overflow = false;
    bool anyDigit = false;
    if (*p == u'&' && (p[1] == u'H' || p[1] == u'h' || p[1] == u'O' || p[1] == u'o')) {
        int radix = (p[1] == u'H' || p[1] == u'h') ? 16 : 8;
        p += 2;
        for (int digit; (digit = digitValue(*p, radix)) >= 0; ++p) {
            anyDigit = true;
            value = value * radix + static_cast<ULONGLONG>(digit);
            if (value >= kTooLarge)
                overflow = true, value = kTooLarge;
        }
    } else {
        for (; *p >= u'0' && *p <= u'9'; ++p) {
            anyDigit = true;
            value = value * 10 + static_cast<ULONGLONG>(*p - u'0');
            if (value >= kTooLarge)
                overflow = true, value = kTooLarge;
        }
        if (*p == u'.') {
            ++p;
            // Round half to even on the first fraction digit and whatever follows it.
            int first = -1;
            bool restNonZero = false;
            for (; *p >= u'0' && *p <= u'9'; ++p) {
                anyDigit = true;
                if (first < 0)
                    first = *p - u'0';
                else if (*p != u'0')
                    restNonZero = true;
            }
            if (first > 5 || (first == 5 && (restNonZero || (value & 1))))
                ++value;
            if (value >= kTooLarge)
                overflow = true;
        }
    }
    while (isBlank(*p))
        ++p;
    if (!anyDigit || *p != 0)
        return DISP_E_TYPEMISMATCH;
    if (overflow || (negative && value != 0))
        return DISP_E_OVERFLOW;
    *pulOut = static_cast<ULONG>(value);
    return S_OK;
}
