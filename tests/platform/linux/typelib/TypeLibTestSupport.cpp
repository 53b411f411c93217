#include "tests/platform/linux/typelib/TypeLibTestSupport.h"

#include "tools/tlbc/Compiler.h"

#include <gtest/gtest.h>


namespace typelib_test {

std::u16string wide(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::vector<uint8_t> compile(const std::string& idl)
{
    return tlbc::compileIdl(idl, 936);
}

std::string idlPrelude()
{
    return R"(
typedef long HRESULT;
typedef unsigned long ULONG;
typedef struct _GUID { unsigned long Data1; unsigned short Data2; unsigned short Data3; unsigned char Data4[8]; } GUID;
typedef GUID* REFIID;
[object, uuid(00000000-0000-0000-C000-000000000046)]
interface IUnknown
{
    HRESULT QueryInterface([in] REFIID riid, [out] void** ppvObject);
    ULONG AddRef();
    ULONG Release();
};
)";
}

std::string idlLibrary(const std::string& attributes, const std::string& body)
{
    return "[" + attributes + "]\nlibrary TestLib\n{\n    importlib(\"stdole2.tlb\");\n" + body + "\n};\n";
}

HRESULT loadImage(const std::vector<uint8_t>& image, const std::string& path, ITypeLib** lib)
{
    writeWholeFile(path, image);
    std::u16string widePath = wide(path);
    return LoadTypeLib(widePath.c_str(), lib);
}

namespace {

void readTypeDesc(ITypeInfo* info, const TYPEDESC& desc, int depth = 0)
{
    ASSERT_LT(depth, 32);
    if (desc.vt == VT_PTR || desc.vt == VT_SAFEARRAY) {
        readTypeDesc(info, *desc.lptdesc, depth + 1);
    } else if (desc.vt == VT_CARRAY) {
        volatile ULONG touch = desc.lpadesc->rgbounds[desc.lpadesc->cDims - 1].cElements;
        (void)touch;
        readTypeDesc(info, desc.lpadesc->tdescElem, depth + 1);
    } else if (desc.vt == VT_USERDEFINED) {
        Ref<ITypeInfo> ref;
        if (SUCCEEDED(info->GetRefTypeInfo(desc.hreftype, ref.out()))) {
            TYPEATTR* attr = nullptr;
            if (SUCCEEDED(ref->GetTypeAttr(&attr)))
                ref->ReleaseTypeAttr(attr);
        }
    }
}

void readMember(ITypeInfo* info, MEMBERID memid)
{
    Bstr name, doc, file;
    info->GetDocumentation(memid, name.out(), doc.out(), nullptr, file.out());
    BSTR names[8] = {};
    UINT count = 0;
    if (SUCCEEDED(info->GetNames(memid, names, 8, &count)))
        for (UINT i = 0; i < count; ++i)
            SysFreeString(names[i]);
}

} // namespace

void readEverything(ITypeLib* lib)
{
    TLIBATTR* libAttr = nullptr;
    if (SUCCEEDED(lib->GetLibAttr(&libAttr)))
        lib->ReleaseTLibAttr(libAttr);
    Bstr name, doc, file;
    lib->GetDocumentation(-1, name.out(), doc.out(), nullptr, file.out());
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        Ref<ITypeInfo> info;
        ASSERT_EQ(lib->GetTypeInfo(i, info.out()), S_OK);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        readMember(info.get(), MEMBERID_NIL);
        for (UINT f = 0; f < attr->cFuncs; ++f) {
            FUNCDESC* desc = nullptr;
            ASSERT_EQ(info->GetFuncDesc(f, &desc), S_OK);
            readTypeDesc(info.get(), desc->elemdescFunc.tdesc);
            for (SHORT p = 0; p < desc->cParams; ++p)
                readTypeDesc(info.get(), desc->lprgelemdescParam[p].tdesc);
            readMember(info.get(), desc->memid);
            info->ReleaseFuncDesc(desc);
        }
        for (UINT v = 0; v < attr->cVars; ++v) {
            VARDESC* desc = nullptr;
            ASSERT_EQ(info->GetVarDesc(v, &desc), S_OK);
            readTypeDesc(info.get(), desc->elemdescVar.tdesc);
            readMember(info.get(), desc->memid);
            info->ReleaseVarDesc(desc);
        }
        for (UINT k = 0; k < attr->cImplTypes; ++k) {
            HREFTYPE href = 0;
            ASSERT_EQ(info->GetRefTypeOfImplType(k, &href), S_OK);
            Ref<ITypeInfo> ref;
            info->GetRefTypeInfo(href, ref.out());
        }
        info->ReleaseTypeAttr(attr);
    }
}

} // namespace typelib_test
