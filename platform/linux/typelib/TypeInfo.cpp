// The type information object.
#include "platform/linux/typelib/TypeInfo.h"

#include "platform/Com.h"
#include "platform/linux/typelib/Descriptors.h"
#include "platform/linux/typelib/TypeLibFormat.h"
#include "platform/linux/typelib/TypeLibText.h"
#include "platform/linux/typelib/TypeLibrary.h"

#include <algorithm>

namespace comrt::typelib {
namespace {

void emptyVariant(VARIANT* value)
{
    *value = VARIANT{};
    value->vt = VT_EMPTY;
}

} // namespace

TypeInfo::TypeInfo(TypeLibrary& library, UINT index) : m_library(library), m_index(index) {}

const TypeEntry& TypeInfo::entry() const
{
    return m_library.model().types[m_index];
}

const Function* TypeInfo::findFunction(MEMBERID memid) const
{
    for (const Function& f : entry().functions)
        if (f.memid == memid)
            return &f;
    return nullptr;
}

const Var* TypeInfo::findVar(MEMBERID memid) const
{
    for (const Var& v : entry().vars)
        if (v.memid == memid)
            return &v;
    return nullptr;
}

ITypeInfo* TypeInfo::baseInterface()
{
    const TypeEntry& type = entry();
    if (type.kind != TKIND_INTERFACE || type.impls.empty())
        return nullptr;
    ITypeInfo* base = nullptr;
    if (FAILED(GetRefTypeInfo(type.impls[0].hreftype, &base)))
        return nullptr;
    return base;
}

HRESULT STDMETHODCALLTYPE TypeInfo::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo || riid == IID_ITypeInfo2) {
        *ppvObject = static_cast<ITypeInfo2*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TypeInfo::AddRef()
{
    ULONG count = ++m_refs;
    if (count == 1)
        m_library.AddRef();
    return count;
}

ULONG STDMETHODCALLTYPE TypeInfo::Release()
{
    ULONG count = --m_refs;
    // The last reference gives back the library's; that may end both objects.
    if (count == 0)
        m_library.Release();
    return count;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr)
{
    if (ppTypeAttr == nullptr)
        return E_INVALIDARG;
    *ppTypeAttr = makeTypeAttr(entry(), m_library.model().lcid);
    return *ppTypeAttr != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetTypeComp(ITypeComp** ppTComp)
{
    if (ppTComp != nullptr)
        *ppTComp = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc)
{
    if (ppFuncDesc == nullptr)
        return E_INVALIDARG;
    *ppFuncDesc = nullptr;
    if (index >= entry().functions.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *ppFuncDesc = makeFuncDesc(entry().functions[index]);
    return *ppFuncDesc != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetVarDesc(UINT index, VARDESC** ppVarDesc)
{
    if (ppVarDesc == nullptr)
        return E_INVALIDARG;
    *ppVarDesc = nullptr;
    if (index >= entry().vars.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *ppVarDesc = makeVarDesc(entry().vars[index]);
    return *ppVarDesc != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames)
{
    if (rgBstrNames == nullptr || pcNames == nullptr)
        return E_INVALIDARG;
    *pcNames = 0;
    std::vector<const std::u16string*> names;
    if (const Function* f = findFunction(memid)) {
        names.push_back(&f->name);
        for (const Param& p : f->params)
            names.push_back(&p.name);
    } else if (const Var* v = findVar(memid)) {
        names.push_back(&v->name);
    } else if (ITypeInfo* base = baseInterface()) {
        HRESULT hr = base->GetNames(memid, rgBstrNames, cMaxNames, pcNames);
        base->Release();
        return hr;
    } else {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    UINT count = std::min<UINT>(cMaxNames, static_cast<UINT>(names.size()));
    for (UINT i = 0; i < count; ++i) {
        if (!storeBstr(&rgBstrNames[i], *names[i])) {
            for (UINT k = 0; k < i; ++k) {
                SysFreeString(rgBstrNames[k]);
                rgBstrNames[k] = nullptr;
            }
            return E_OUTOFMEMORY;
        }
    }
    *pcNames = count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType)
{
    if (pRefType == nullptr)
        return E_INVALIDARG;
    if (index >= entry().impls.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = entry().impls[index].hreftype;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetImplTypeFlags(UINT index, INT* pImplTypeFlags)
{
    if (pImplTypeFlags == nullptr)
        return E_INVALIDARG;
    if (index >= entry().impls.size())
        return TYPE_E_ELEMENTNOTFOUND;
    // Only a class's implemented interfaces carry flags; a base interface has none.
    *pImplTypeFlags = entry().kind == TKIND_COCLASS ? entry().impls[index].flags : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId)
{
    if (rgszNames == nullptr || pMemId == nullptr || cNames == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < cNames; ++i)
        pMemId[i] = MEMBERID_NIL;
    for (const Function& f : entry().functions) {
        if (!sameName(f.name, rgszNames[0]))
            continue;
        pMemId[0] = f.memid;
        HRESULT hr = S_OK;
        // Further names are parameters; their ids are their positions.
        for (UINT i = 1; i < cNames; ++i) {
            hr = DISP_E_UNKNOWNNAME;
            for (size_t p = 0; p < f.params.size(); ++p)
                if (sameName(f.params[p].name, rgszNames[i])) {
                    pMemId[i] = static_cast<MEMBERID>(p);
                    hr = S_OK;
                    break;
                }
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }
    for (const Var& v : entry().vars) {
        if (sameName(v.name, rgszNames[0])) {
            pMemId[0] = v.memid;
            return cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    if (ITypeInfo* base = baseInterface()) {
        HRESULT hr = base->GetIDsOfNames(rgszNames, cNames, pMemId);
        base->Release();
        return hr;
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TypeInfo::Invoke(void*, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                                     DWORD* pdwHelpContext, BSTR* pBstrHelpFile)
{
    const std::u16string* name = nullptr;
    const std::optional<std::u16string>* doc = nullptr;
    DWORD helpContext = 0;
    if (memid == MEMBERID_NIL) {
        name = &entry().name;
        doc = &entry().docString;
        helpContext = entry().helpContext;
    } else if (const Function* f = findFunction(memid)) {
        name = &f->name;
        doc = &f->docString;
        helpContext = f->helpContext;
    } else if (const Var* v = findVar(memid)) {
        name = &v->name;
        doc = &v->docString;
        helpContext = v->helpContext;
    } else if (ITypeInfo* base = baseInterface()) {
        HRESULT hr = base->GetDocumentation(memid, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
        base->Release();
        return hr;
    } else {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    if (pdwHelpContext != nullptr)
        *pdwHelpContext = helpContext;
    BSTR newName = nullptr;
    BSTR newDoc = nullptr;
    BSTR newFile = nullptr;
    if (!storeBstr(pBstrName ? &newName : nullptr, *name) || !storeBstr(pBstrDocString ? &newDoc : nullptr, *doc) ||
        !storeBstr(pBstrHelpFile ? &newFile : nullptr, m_library.model().helpFile)) {
        SysFreeString(newName);
        SysFreeString(newDoc);
        SysFreeString(newFile);
        return E_OUTOFMEMORY;
    }
    if (pBstrName != nullptr)
        *pBstrName = newName;
    if (pBstrDocString != nullptr)
        *pBstrDocString = newDoc;
    if (pBstrHelpFile != nullptr)
        *pBstrHelpFile = newFile;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetDllEntry(MEMBERID, INVOKEKIND, BSTR* pBstrDllName, BSTR* pBstrName,
                                                WORD* pwOrdinal)
{
    if (pBstrDllName != nullptr)
        *pBstrDllName = nullptr;
    if (pBstrName != nullptr)
        *pBstrName = nullptr;
    if (pwOrdinal != nullptr)
        *pwOrdinal = 0;
    return entry().kind == TKIND_MODULE ? E_NOTIMPL : TYPE_E_BADMODULEKIND;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo)
{
    if (ppTInfo == nullptr)
        return E_INVALIDARG;
    *ppTInfo = nullptr;
    const Library& lib = m_library.model();
    if (hRefType & tlb::kImportedRef) {
        size_t ref = hRefType & ~tlb::kImportedRef;
        if (ref >= lib.importRefs.size())
            return TYPE_E_ELEMENTNOTFOUND;
        return m_library.importedTypeInfo(ref, ppTInfo);
    }
    if (hRefType >= lib.types.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return m_library.GetTypeInfo(hRefType, ppTInfo);
}

HRESULT STDMETHODCALLTYPE TypeInfo::AddressOfMember(MEMBERID, INVOKEKIND, void** ppv)
{
    if (ppv != nullptr)
        *ppv = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TypeInfo::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj)
{
    if (ppvObj == nullptr)
        return E_INVALIDARG;
    *ppvObj = nullptr;
    if (entry().kind != TKIND_COCLASS)
        return TYPE_E_BADMODULEKIND;
    return CoCreateInstance(entry().guid, pUnkOuter, CLSCTX_INPROC_SERVER, riid, ppvObj);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetMops(MEMBERID, BSTR* pBstrMops)
{
    if (pBstrMops == nullptr)
        return E_INVALIDARG;
    *pBstrMops = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex)
{
    if (ppTLib != nullptr) {
        *ppTLib = &m_library;
        m_library.AddRef();
    }
    if (pIndex != nullptr)
        *pIndex = m_index;
    return S_OK;
}

void STDMETHODCALLTYPE TypeInfo::ReleaseTypeAttr(TYPEATTR* pTypeAttr)
{
    freeDescriptor(pTypeAttr);
}

void STDMETHODCALLTYPE TypeInfo::ReleaseFuncDesc(FUNCDESC* pFuncDesc)
{
    freeDescriptor(pFuncDesc);
}

void STDMETHODCALLTYPE TypeInfo::ReleaseVarDesc(VARDESC* pVarDesc)
{
    freeDescriptor(pVarDesc);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetTypeKind(TYPEKIND* pTypeKind)
{
    if (pTypeKind == nullptr)
        return E_INVALIDARG;
    *pTypeKind = entry().kind;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetTypeFlags(ULONG* pTypeFlags)
{
    if (pTypeFlags == nullptr)
        return E_INVALIDARG;
    *pTypeFlags = entry().flags;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetFuncIndexOfMemId(MEMBERID memid, INVOKEKIND invKind, UINT* pFuncIndex)
{
    if (pFuncIndex == nullptr)
        return E_INVALIDARG;
    const auto& functions = entry().functions;
    for (size_t i = 0; i < functions.size(); ++i)
        if (functions[i].memid == memid && functions[i].invkind == invKind) {
            *pFuncIndex = static_cast<UINT>(i);
            return S_OK;
        }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetVarIndexOfMemId(MEMBERID memid, UINT* pVarIndex)
{
    if (pVarIndex == nullptr)
        return E_INVALIDARG;
    const auto& vars = entry().vars;
    for (size_t i = 0; i < vars.size(); ++i)
        if (vars[i].memid == memid) {
            *pVarIndex = static_cast<UINT>(i);
            return S_OK;
        }
    return TYPE_E_ELEMENTNOTFOUND;
}

// The format stores no custom data: every lookup finds an empty value.
HRESULT STDMETHODCALLTYPE TypeInfo::GetCustData(REFGUID, VARIANT* pVarVal)
{
    if (pVarVal == nullptr)
        return E_INVALIDARG;
    emptyVariant(pVarVal);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetFuncCustData(UINT index, REFGUID guid, VARIANT* pVarVal)
{
    if (index >= entry().functions.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return GetCustData(guid, pVarVal);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetParamCustData(UINT indexFunc, UINT indexParam, REFGUID guid, VARIANT* pVarVal)
{
    if (indexFunc >= entry().functions.size() || indexParam >= entry().functions[indexFunc].params.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return GetCustData(guid, pVarVal);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetVarCustData(UINT index, REFGUID guid, VARIANT* pVarVal)
{
    if (index >= entry().vars.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return GetCustData(guid, pVarVal);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetImplTypeCustData(UINT index, REFGUID guid, VARIANT* pVarVal)
{
    if (index >= entry().impls.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return GetCustData(guid, pVarVal);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetDocumentation2(MEMBERID memid, LCID, BSTR* pbstrHelpString,
                                                      DWORD* pdwHelpStringContext, BSTR* pbstrHelpStringDll)
{
    if (pbstrHelpStringDll != nullptr)
        *pbstrHelpStringDll = nullptr;
    DWORD context = 0;
    HRESULT hr = GetDocumentation(memid, nullptr, pbstrHelpString, &context, nullptr);
    if (SUCCEEDED(hr) && pdwHelpStringContext != nullptr)
        *pdwHelpStringContext = context;
    return hr;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetAllCustData(CUSTDATA* pCustData)
{
    if (pCustData == nullptr)
        return E_INVALIDARG;
    *pCustData = CUSTDATA{0, nullptr};
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetAllFuncCustData(UINT index, CUSTDATA* pCustData)
{
    if (index >= entry().functions.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return GetAllCustData(pCustData);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetAllParamCustData(UINT indexFunc, UINT indexParam, CUSTDATA* pCustData)
{
    if (indexFunc >= entry().functions.size() || indexParam >= entry().functions[indexFunc].params.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return GetAllCustData(pCustData);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetAllVarCustData(UINT index, CUSTDATA* pCustData)
{
    if (index >= entry().vars.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return GetAllCustData(pCustData);
}

HRESULT STDMETHODCALLTYPE TypeInfo::GetAllImplTypeCustData(UINT index, CUSTDATA* pCustData)
{
    if (index >= entry().impls.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return GetAllCustData(pCustData);
}

} // namespace comrt::typelib
