// VARIANT initialisation and clearing, for the types that own something: strings
// and interface references.
#include "platform/Automation.h"

namespace {

constexpr VARTYPE kTypeMask = 0x0FFF;
constexpr VARTYPE kByRef = 0x4000;
constexpr VARTYPE kArray = 0x2000;

bool isValidType(VARTYPE vt)
{
    VARTYPE base = vt & kTypeMask;
    if ((vt & ~(kTypeMask | kByRef | kArray)) != 0)
        return false;
    return (base <= VT_UINT && base != 15) || base == VT_RECORD || base == 37 || base == 38;
}

} // namespace

void STDAPICALLTYPE VariantInit(VARIANT* pvarg)
{
    if (pvarg)
        pvarg->vt = VT_EMPTY;
}

HRESULT STDAPICALLTYPE VariantClear(VARIANT* pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    if (!isValidType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    // A reference owns nothing; arrays are not made by this runtime.
    if ((pvarg->vt & (kByRef | kArray)) == 0) {
        switch (pvarg->vt) {
        case VT_BSTR:
            SysFreeString(pvarg->bstrVal);
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (pvarg->punkVal)
                pvarg->punkVal->Release();
            break;
        default:
            break;
        }
    }
    pvarg->vt = VT_EMPTY;
    return S_OK;
}
