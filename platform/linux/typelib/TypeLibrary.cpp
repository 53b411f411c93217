// The loaded type library object.
#include "platform/linux/typelib/TypeLibrary.h"

#include "platform/linux/typelib/Descriptors.h"
#include "platform/linux/typelib/StandardOle.h"
#include "platform/linux/typelib/TypeInfo.h"
#include "platform/linux/typelib/TypeLibText.h"

#include <new>

namespace comrt::typelib {

HRESULT TypeLibrary::create(Library&& model, ITypeLib** out)
{
    *out = nullptr;
    try {
        *out = new TypeLibrary(std::move(model));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

TypeLibrary::TypeLibrary(Library&& model) : m_model(std::move(model)), m_imports(m_model.imports.size(), nullptr)
{
    m_infos.reserve(m_model.types.size());
    for (size_t i = 0; i < m_model.types.size(); ++i)
        m_infos.push_back(std::make_unique<TypeInfo>(*this, static_cast<UINT>(i)));
}

TypeLibrary::~TypeLibrary()
{
    for (ITypeLib* imported : m_imports)
        if (imported != nullptr)
            imported->Release();
}

HRESULT TypeLibrary::importedTypeInfo(size_t importRef, ITypeInfo** out)
{
    *out = nullptr;
    const ImportRef& ref = m_model.importRefs[importRef];
    ITypeLib* imported = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_importsLock);
        ITypeLib*& slot = m_imports[ref.import];
        if (slot == nullptr) {
            const Import& import = m_model.imports[ref.import];
            HRESULT hr = isStandardOleLibrary(import.libid)
                             ? createStandardOleLibrary(&slot)
                             : LoadRegTypeLib(import.libid, import.majorVersion, import.minorVersion, import.lcid, &slot);
            if (FAILED(hr)) {
                slot = nullptr;
                return hr == E_OUTOFMEMORY ? hr : TYPE_E_CANTLOADLIBRARY;
            }
        }
        imported = slot;
        imported->AddRef();
    }
    HRESULT hr = imported->GetTypeInfoOfGuid(ref.guid, out);
    imported->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeLib) {
        *ppvObject = static_cast<ITypeLib*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TypeLibrary::AddRef()
{
    return ++m_refs;
}

ULONG STDMETHODCALLTYPE TypeLibrary::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

UINT STDMETHODCALLTYPE TypeLibrary::GetTypeInfoCount()
{
    return static_cast<UINT>(m_model.types.size());
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetTypeInfo(UINT index, ITypeInfo** ppTInfo)
{
    if (ppTInfo == nullptr)
        return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (index >= m_infos.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *ppTInfo = m_infos[index].get();
    (*ppTInfo)->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetTypeInfoType(UINT index, TYPEKIND* pTKind)
{
    if (pTKind == nullptr)
        return E_INVALIDARG;
    if (index >= m_model.types.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = m_model.types[index].kind;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo)
{
    if (ppTinfo == nullptr)
        return E_INVALIDARG;
    *ppTinfo = nullptr;
    // Types declared without an identifier carry GUID_NULL; that finds none of them.
    if (guid == GUID_NULL)
        return TYPE_E_ELEMENTNOTFOUND;
    for (size_t i = 0; i < m_model.types.size(); ++i) {
        if (m_model.types[i].guid == guid)
            return GetTypeInfo(static_cast<UINT>(i), ppTinfo);
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetLibAttr(TLIBATTR** ppTLibAttr)
{
    if (ppTLibAttr == nullptr)
        return E_INVALIDARG;
    *ppTLibAttr = makeLibAttr(m_model);
    return *ppTLibAttr != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetTypeComp(ITypeComp** ppTComp)
{
    if (ppTComp != nullptr)
        *ppTComp = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                                        DWORD* pdwHelpContext, BSTR* pBstrHelpFile)
{
    if (index == -1) {
        if (pdwHelpContext != nullptr)
            *pdwHelpContext = m_model.helpContext;
        bool stored = storeBstr(pBstrName, m_model.name) && storeBstr(pBstrDocString, m_model.docString) &&
                      storeBstr(pBstrHelpFile, m_model.helpFile);
        return stored ? S_OK : E_OUTOFMEMORY;
    }
    if (index < 0 || static_cast<size_t>(index) >= m_infos.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return m_infos[index]->GetDocumentation(MEMBERID_NIL, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
}

HRESULT STDMETHODCALLTYPE TypeLibrary::IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName)
{
    if (szNameBuf == nullptr || pfName == nullptr)
        return E_INVALIDARG;
    // A match also gives the caller the library's own spelling.
    auto match = [&](const std::u16string& name) {
        if (!sameName(name, szNameBuf))
            return false;
        name.copy(szNameBuf, name.size());
        return true;
    };
    *pfName = FALSE;
    for (const TypeEntry& type : m_model.types) {
        bool found = match(type.name);
        for (const Function& f : type.functions) {
            found = found || match(f.name);
            for (const Param& p : f.params)
                found = found || (!p.name.empty() && match(p.name));
        }
        for (const Var& v : type.vars)
            found = found || match(v.name);
        if (found) {
            *pfName = TRUE;
            break;
        }
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                                                USHORT* pcFound)
{
    if (szNameBuf == nullptr || ppTInfo == nullptr || rgMemId == nullptr || pcFound == nullptr || *pcFound == 0)
        return E_INVALIDARG;
    USHORT found = 0;
    for (size_t i = 0; i < m_model.types.size() && found < *pcFound; ++i) {
        const TypeEntry& type = m_model.types[i];
        bool hit = sameName(type.name, szNameBuf);
        MEMBERID memid = MEMBERID_NIL;
        for (const Function& f : type.functions)
            if (!hit && sameName(f.name, szNameBuf)) {
                hit = true;
                memid = f.memid;
            }
        for (const Var& v : type.vars)
            if (!hit && sameName(v.name, szNameBuf)) {
                hit = true;
                memid = v.memid;
            }
        if (hit) {
            ppTInfo[found] = m_infos[i].get();
            ppTInfo[found]->AddRef();
            rgMemId[found] = memid;
            ++found;
        }
    }
    *pcFound = found;
    return S_OK;
}

void STDMETHODCALLTYPE TypeLibrary::ReleaseTLibAttr(TLIBATTR* pTLibAttr)
{
    freeDescriptor(pTLibAttr);
}

} // namespace comrt::typelib
