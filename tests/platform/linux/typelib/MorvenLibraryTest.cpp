// The MORVEN type library as the build produces it, read back through the
// objects a host uses: from MORVEN.tlb and from a module's resource section.
#include "tests/platform/linux/typelib/TypeLibTestSupport.h"

#include <gtest/gtest.h>

using namespace typelib_test;

namespace {

constexpr GUID kLibid = {0x52BA1FC6, 0x03A4, 0x409D, {0x9C, 0x95, 0xEF, 0xB3, 0x69, 0xE2, 0xB5, 0x31}};
constexpr GUID kClsid = {0xFB82882C, 0xA2F5, 0x48F3, {0x8A, 0x8D, 0xF3, 0x36, 0x89, 0x03, 0x41, 0xD1}};
constexpr GUID kIid = {0x4A47467B, 0x726B, 0x4B87, {0x80, 0x77, 0x14, 0x86, 0x07, 0x15, 0xE2, 0x1E}};

class MorvenLibrary : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        std::u16string path = wide(GetParam());
        ASSERT_EQ(LoadTypeLib(path.c_str(), m_lib.out()), S_OK) << GetParam();
    }

    void typeInfo(UINT index, Ref<ITypeInfo>& out) { ASSERT_EQ(m_lib->GetTypeInfo(index, out.out()), S_OK); }

    Ref<ITypeLib> m_lib;
};

TEST_P(MorvenLibrary, LibraryAttributesAndHelpString)
{
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(m_lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, kLibid);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->syskind, SYS_WIN32);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->wLibFlags, 0);
    m_lib->ReleaseTLibAttr(attr);

    Bstr name, doc, file;
    DWORD context = 99;
    ASSERT_EQ(m_lib->GetDocumentation(-1, name.out(), doc.out(), &context, file.out()), S_OK);
    EXPECT_EQ(name.str(), u"MORVEN");
    EXPECT_EQ(doc.str(), u"MORVEN 1.0 类型库"); // stored in code page 936
    EXPECT_EQ(context, 0u);
    EXPECT_TRUE(file.null());
}

TEST_P(MorvenLibrary, ThreeTypesInOrderAndFoundByGuid)
{
    ASSERT_EQ(m_lib->GetTypeInfoCount(), 3u);
    const TYPEKIND kinds[] = {TKIND_COCLASS, TKIND_INTERFACE, TKIND_RECORD};
    const char16_t* names[] = {u"CCMORVENProc", u"ICMORVENProc", u"MORImageStruct"};
    for (UINT i = 0; i < 3; ++i) {
        TYPEKIND kind;
        ASSERT_EQ(m_lib->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, kinds[i]);
        Bstr name;
        ASSERT_EQ(m_lib->GetDocumentation(static_cast<INT>(i), name.out(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(name.str(), names[i]);
    }

    Ref<ITypeInfo> coclass, byGuid, iface, byIid;
    typeInfo(0, coclass);
    typeInfo(1, iface);
    ASSERT_EQ(m_lib->GetTypeInfoOfGuid(kClsid, byGuid.out()), S_OK);
    ASSERT_EQ(m_lib->GetTypeInfoOfGuid(kIid, byIid.out()), S_OK);
    EXPECT_EQ(byGuid.get(), coclass.get());
    EXPECT_EQ(byIid.get(), iface.get());

    Ref<ITypeInfo> none;
    EXPECT_EQ(m_lib->GetTypeInfoOfGuid(kLibid, none.out()), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(none.get(), nullptr);
    // The record has no identifier; GUID_NULL must not find it.
    EXPECT_EQ(m_lib->GetTypeInfoOfGuid(GUID_NULL, none.out()), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(m_lib->GetTypeInfo(3, none.out()), TYPE_E_ELEMENTNOTFOUND);
    TYPEKIND kind;
    EXPECT_EQ(m_lib->GetTypeInfoType(3, &kind), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(m_lib->GetDocumentation(3, nullptr, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
}

TEST_P(MorvenLibrary, CoclassIsCreatableWithItsDefaultInterface)
{
    Ref<ITypeInfo> coclass, iface;
    typeInfo(0, coclass);
    typeInfo(1, iface);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, kClsid);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->cImplTypes, 1);
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_EQ(attr->cVars, 0);
    coclass->ReleaseTypeAttr(attr);

    Bstr doc;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.str(), u"CMORVENProc Class");

    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE href = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &href), S_OK);
    Ref<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(href, implemented.out()), S_OK);
    EXPECT_EQ(implemented.get(), iface.get());
    EXPECT_EQ(coclass->GetRefTypeOfImplType(1, &href), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(coclass->GetImplTypeFlags(1, &flags), TYPE_E_ELEMENTNOTFOUND);
}

TEST_P(MorvenLibrary, InterfaceDerivesFromTheImportedIUnknown)
{
    Ref<ITypeInfo> iface;
    typeInfo(1, iface);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(iface->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, kIid);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags, 0);
    EXPECT_EQ(attr->wMajorVerNum, 0);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->cFuncs, 4);
    EXPECT_EQ(attr->cImplTypes, 1);
    EXPECT_EQ(attr->cbSizeVft, 7 * 4); // IUnknown's three slots and four methods
    iface->ReleaseTypeAttr(attr);

    Bstr doc;
    ASSERT_EQ(iface->GetDocumentation(MEMBERID_NIL, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.str(), u"ICMORVENProc 接口");

    HREFTYPE href = 0;
    ASSERT_EQ(iface->GetRefTypeOfImplType(0, &href), S_OK);
    INT flags = -1;
    ASSERT_EQ(iface->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, 0);
    Ref<ITypeInfo> base;
    ASSERT_EQ(iface->GetRefTypeInfo(href, base.out()), S_OK);
    ASSERT_EQ(base->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, IID_IUnknown);
    EXPECT_EQ(attr->cFuncs, 3);
    base->ReleaseTypeAttr(attr);
    Bstr baseName;
    ASSERT_EQ(base->GetDocumentation(MEMBERID_NIL, baseName.out(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(baseName.str(), u"IUnknown");
    Ref<ITypeLib> stdole;
    UINT index = 9;
    ASSERT_EQ(base->GetContainingTypeLib(stdole.out(), &index), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(stdole->GetLibAttr(&libAttr), S_OK);
    EXPECT_EQ(libAttr->guid, (GUID{0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}));
    stdole->ReleaseTLibAttr(libAttr);

    // Inherited members are answered through the base.
    BSTR names[1] = {};
    UINT count = 0;
    ASSERT_EQ(iface->GetNames(0x60000001, names, 1, &count), S_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(std::u16string(names[0]), u"AddRef");
    SysFreeString(names[0]);
}

struct ExpectedParam {
    const char16_t* name;
    VARTYPE vt;
    VARTYPE pointee; // VT_EMPTY when vt is not VT_PTR
    USHORT flags;
};

struct ExpectedMethod {
    const char16_t* name;
    MEMBERID memid;
    SHORT vtableOffset;
    const char16_t* help;
    std::vector<ExpectedParam> params;
};

TEST_P(MorvenLibrary, MethodsWithIdsSlotsParametersAndHelp)
{
    const std::vector<ExpectedMethod> expected = {
        {u"createCapture", 0x60010000, 12, u"方法createCapture",
         {{u"aviFileString", VT_BSTR, VT_EMPTY, PARAMFLAG_FIN},
          {u"bFlipImageHorizontally", VT_BOOL, VT_EMPTY, PARAMFLAG_FIN},
          {u"bCaptureCreated", VT_PTR, VT_BOOL, PARAMFLAG_FOUT}}},
        {u"Grab", 0x60010001, 16, u"方法grab", {{u"imageStruct", VT_PTR, VT_USERDEFINED, PARAMFLAG_FOUT}}},
        {u"destroyCapture", 0x60010002, 20, u"方法destroyCapture", {}},
        {u"startCapture", 0x60010003, 24, u"方法startCapture", {}},
    };
    Ref<ITypeInfo> iface, record;
    typeInfo(1, iface);
    typeInfo(2, record);
    for (UINT i = 0; i < expected.size(); ++i) {
        const ExpectedMethod& m = expected[i];
        SCOPED_TRACE(std::string(m.name, m.name + std::char_traits<char16_t>::length(m.name)));
        FUNCDESC* desc = nullptr;
        ASSERT_EQ(iface->GetFuncDesc(i, &desc), S_OK);
        EXPECT_EQ(desc->memid, m.memid);
        EXPECT_EQ(desc->funckind, FUNC_PUREVIRTUAL);
        EXPECT_EQ(desc->invkind, INVOKE_FUNC);
        EXPECT_EQ(desc->callconv, CC_STDCALL);
        EXPECT_EQ(desc->oVft, m.vtableOffset);
        EXPECT_EQ(desc->cParamsOpt, 0);
        EXPECT_EQ(desc->wFuncFlags, 0);
        EXPECT_EQ(desc->elemdescFunc.tdesc.vt, VT_HRESULT);
        ASSERT_EQ(desc->cParams, static_cast<SHORT>(m.params.size()));
        for (size_t p = 0; p < m.params.size(); ++p) {
            const ELEMDESC& elem = desc->lprgelemdescParam[p];
            EXPECT_EQ(elem.tdesc.vt, m.params[p].vt);
            EXPECT_EQ(elem.paramdesc.wParamFlags, m.params[p].flags);
            if (m.params[p].vt == VT_PTR) {
                EXPECT_EQ(elem.tdesc.lptdesc->vt, m.params[p].pointee);
            }
            if (m.params[p].pointee == VT_USERDEFINED) {
                Ref<ITypeInfo> pointee;
                ASSERT_EQ(iface->GetRefTypeInfo(elem.tdesc.lptdesc->hreftype, pointee.out()), S_OK);
                EXPECT_EQ(pointee.get(), record.get());
            }
        }
        iface->ReleaseFuncDesc(desc);

        Bstr name, help;
        ASSERT_EQ(iface->GetDocumentation(m.memid, name.out(), help.out(), nullptr, nullptr), S_OK);
        EXPECT_EQ(name.str(), m.name);
        EXPECT_EQ(help.str(), m.help);

        BSTR names[8] = {};
        UINT count = 0;
        ASSERT_EQ(iface->GetNames(m.memid, names, 8, &count), S_OK);
        ASSERT_EQ(count, m.params.size() + 1);
        EXPECT_EQ(std::u16string(names[0]), m.name);
        for (size_t p = 0; p < m.params.size(); ++p)
            EXPECT_EQ(std::u16string(names[p + 1]), m.params[p].name);
        for (UINT k = 0; k < count; ++k)
            SysFreeString(names[k]);
    }
    FUNCDESC* none = nullptr;
    EXPECT_EQ(iface->GetFuncDesc(4, &none), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(iface->GetDocumentation(0x60010004, nullptr, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);

    // GetNames stops at the caller's array size.
    BSTR two[2] = {};
    UINT count = 0;
    ASSERT_EQ(iface->GetNames(0x60010000, two, 2, &count), S_OK);
    EXPECT_EQ(count, 2u);
    SysFreeString(two[0]);
    SysFreeString(two[1]);
}

TEST_P(MorvenLibrary, RecordFieldsAtTheir32BitOffsets)
{
    Ref<ITypeInfo> record;
    typeInfo(2, record);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(record->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_RECORD);
    EXPECT_EQ(attr->guid, GUID_NULL);
    EXPECT_EQ(attr->cVars, 5);
    EXPECT_EQ(attr->cbSizeInstance, 20u);
    EXPECT_EQ(attr->cbAlignment, 4);
    record->ReleaseTypeAttr(attr);

    const char16_t* names[] = {u"width", u"height", u"depth", u"channels", u"data"};
    for (UINT i = 0; i < 5; ++i) {
        VARDESC* desc = nullptr;
        ASSERT_EQ(record->GetVarDesc(i, &desc), S_OK);
        EXPECT_EQ(desc->memid, static_cast<MEMBERID>(0x40000000 + i));
        EXPECT_EQ(desc->oInst, 4 * i);
        EXPECT_EQ(desc->varkind, VAR_PERINSTANCE);
        if (i < 4) {
            EXPECT_EQ(desc->elemdescVar.tdesc.vt, VT_I4);
        } else {
            ASSERT_EQ(desc->elemdescVar.tdesc.vt, VT_PTR);
            EXPECT_EQ(desc->elemdescVar.tdesc.lptdesc->vt, VT_UI1);
        }
        Bstr name;
        ASSERT_EQ(record->GetDocumentation(desc->memid, name.out(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(name.str(), names[i]);
        record->ReleaseVarDesc(desc);
    }
    VARDESC* none = nullptr;
    EXPECT_EQ(record->GetVarDesc(5, &none), TYPE_E_ELEMENTNOTFOUND);
}

TEST_P(MorvenLibrary, TypeInfoInterfacesAndUnsupportedCalls)
{
    Ref<ITypeInfo> info;
    typeInfo(0, info);
    Ref<ITypeInfo2> second;
    ASSERT_EQ(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(second.out())), S_OK);
    Ref<ITypeInfo> first;
    ASSERT_EQ(second->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(first.out())), S_OK);
    EXPECT_EQ(first.get(), info.get());
    Ref<IUnknown> unknown;
    ASSERT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.out())), S_OK);
    Ref<IUnknown> dispatch;
    EXPECT_EQ(info->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.out())), E_NOINTERFACE);
    EXPECT_EQ(dispatch.get(), nullptr);

    TYPEKIND kind;
    ASSERT_EQ(second->GetTypeKind(&kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);
    ITypeComp* comp = reinterpret_cast<ITypeComp*>(1);
    EXPECT_EQ(info->GetTypeComp(&comp), E_NOTIMPL);
    EXPECT_EQ(comp, nullptr);
    EXPECT_EQ(info->Invoke(nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(m_lib->GetTypeComp(&comp), E_NOTIMPL);

    Ref<ITypeLib> containing;
    UINT index = 9;
    ASSERT_EQ(info->GetContainingTypeLib(containing.out(), &index), S_OK);
    EXPECT_EQ(containing.get(), m_lib.get());
    EXPECT_EQ(index, 0u);
}

INSTANTIATE_TEST_SUITE_P(FromTlbFileAndModule, MorvenLibrary, ::testing::Values(MORVEN_TLB_PATH, SAMPLE_MODULE_PATH),
                         [](const auto& info) { return info.index == 0 ? std::string("TlbFile") : "ModuleSection"; });

TEST(TypeLibLifetime, TypeInfoKeepsItsLibraryAlive)
{
    std::u16string path = wide(MORVEN_TLB_PATH);
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadTypeLib(path.c_str(), &lib), S_OK);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(lib->GetTypeInfo(1, &info), S_OK);
    EXPECT_EQ(lib->AddRef(), 3u); // the caller's, the type information's, this one
    EXPECT_EQ(lib->Release(), 2u);
    EXPECT_EQ(info->AddRef(), 2u);
    EXPECT_EQ(info->Release(), 1u);
    EXPECT_EQ(lib->Release(), 1u);

    // Only the type information holds the library now; it still answers.
    Bstr doc;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.str(), u"ICMORVENProc 接口");
    ITypeLib* again = nullptr;
    ASSERT_EQ(info->GetContainingTypeLib(&again, nullptr), S_OK);
    EXPECT_EQ(again->Release(), 1u);
    EXPECT_EQ(info->Release(), 0u); // and the library goes with it
}

} // namespace
