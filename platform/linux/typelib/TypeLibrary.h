// The loaded type library object.
#pragma once

#include "platform/linux/typelib/TypeLibModel.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace comrt::typelib {

class TypeInfo;

class TypeLibrary final : public ITypeLib {
public:
    // A new library object holding one reference, in *out.
    static HRESULT create(Library&& model, ITypeLib** out);

    const Library& model() const { return m_model; }
    TypeInfo* typeInfo(size_t index) const { return m_infos[index].get(); }
    // The type of another library that an ImportRef names.
    HRESULT importedTypeInfo(size_t importRef, ITypeInfo** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    UINT STDMETHODCALLTYPE GetTypeInfoCount() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override;
    HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                               DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
    HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) override;
    HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                                       USHORT* pcFound) override;
    void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) override;

private:
    explicit TypeLibrary(Library&& model);
    ~TypeLibrary();

    std::atomic<ULONG> m_refs{1};
    Library m_model;
    std::vector<std::unique_ptr<TypeInfo>> m_infos;
    // Libraries this one imports from, loaded on first use and held until the end.
    std::mutex m_importsLock;
    std::vector<ITypeLib*> m_imports;
};

} // namespace comrt::typelib
