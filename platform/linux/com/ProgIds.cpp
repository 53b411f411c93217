// CLSIDFromProgID: HKEY_CLASSES_ROOT\<ProgID>\CLSID names the class.
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "platform/linux/com/GuidText.h"
#include "platform/linux/com/RegisteredClasses.h"

#include <string>
#include <vector>

HRESULT STDAPICALLTYPE CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid)
{
    if (!lpszProgID || !lpclsid)
        return E_INVALIDARG;
    *lpclsid = GUID_NULL;
    if (!lpszProgID[0])
        return CO_E_CLASSSTRING;
    int size = WideCharToMultiByte(CP_ACP, 0, lpszProgID, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return CO_E_CLASSSTRING;
    std::vector<char> progId(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, lpszProgID, -1, progId.data(), size, nullptr, nullptr);

    std::string text;
    if (!comrt::readClassesRootText(std::string(progId.data()) + "\\CLSID", text))
        return CO_E_CLASSSTRING;
    std::u16string wide(text.begin(), text.end()); // a class id is plain ASCII
    return comrt::parseGuid(wide.c_str(), *lpclsid) ? S_OK : CO_E_CLASSSTRING;
}
