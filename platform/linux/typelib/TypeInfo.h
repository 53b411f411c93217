// The type information object of one type of a loaded library. It lives as
// long as its library; while a caller holds it, it holds the library.
#pragma once

#include "platform/linux/typelib/TypeLibModel.h"

#include <atomic>

namespace comrt::typelib {

class TypeLibrary;

class TypeInfo final : public ITypeInfo2 {
public:
    TypeInfo(TypeLibrary& library, UINT index);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override;
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
    HRESULT STDMETHODCALLTYPE Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                               DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
                                          WORD* pwOrdinal) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID memid, INVOKEKIND invKind, void** ppv) override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj) override;
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID memid, BSTR* pBstrMops) override;
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) override;
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) override;
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* pVarDesc) override;

    HRESULT STDMETHODCALLTYPE GetTypeKind(TYPEKIND* pTypeKind) override;
    HRESULT STDMETHODCALLTYPE GetTypeFlags(ULONG* pTypeFlags) override;
    HRESULT STDMETHODCALLTYPE GetFuncIndexOfMemId(MEMBERID memid, INVOKEKIND invKind, UINT* pFuncIndex) override;
    HRESULT STDMETHODCALLTYPE GetVarIndexOfMemId(MEMBERID memid, UINT* pVarIndex) override;
    HRESULT STDMETHODCALLTYPE GetCustData(REFGUID guid, VARIANT* pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetFuncCustData(UINT index, REFGUID guid, VARIANT* pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetParamCustData(UINT indexFunc, UINT indexParam, REFGUID guid,
                                               VARIANT* pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetVarCustData(UINT index, REFGUID guid, VARIANT* pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeCustData(UINT index, REFGUID guid, VARIANT* pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation2(MEMBERID memid, LCID lcid, BSTR* pbstrHelpString,
                                                DWORD* pdwHelpStringContext, BSTR* pbstrHelpStringDll) override;
    HRESULT STDMETHODCALLTYPE GetAllCustData(CUSTDATA* pCustData) override;
    HRESULT STDMETHODCALLTYPE GetAllFuncCustData(UINT index, CUSTDATA* pCustData) override;
    HRESULT STDMETHODCALLTYPE GetAllParamCustData(UINT indexFunc, UINT indexParam, CUSTDATA* pCustData) override;
    HRESULT STDMETHODCALLTYPE GetAllVarCustData(UINT index, CUSTDATA* pCustData) override;
    HRESULT STDMETHODCALLTYPE GetAllImplTypeCustData(UINT index, CUSTDATA* pCustData) override;

private:
    const TypeEntry& entry() const;
    const Function* findFunction(MEMBERID memid) const;
    const Var* findVar(MEMBERID memid) const;
    // The base interface's type information, for members an interface inherits.
    ITypeInfo* baseInterface();

    TypeLibrary& m_library;
    UINT m_index;
    std::atomic<ULONG> m_refs{0};
};

} // namespace comrt::typelib
