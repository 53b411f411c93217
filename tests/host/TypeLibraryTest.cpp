// The registered type library as the platform's automation runtime reads it:
// library attributes, the three entries in order, the interface's methods with
// their help strings, and the record's fields.
#include "tests/host/HostTestSupport.h"

#include <vector>

namespace host {
namespace {

// Help strings as the library stores them (code page 936) and what they say.
struct HelpString {
    const char* bytes;
    const OLECHAR* meant;
};
const HelpString kLibraryHelp = {"MORVEN 1.0 \xC0\xE0\xD0\xCD\xBF\xE2", OLESTR("MORVEN 1.0 \u7C7B\u578B\u5E93")};
const HelpString kInterfaceHelp = {"ICMORVENProc \xBD\xD3\xBF\xDA", OLESTR("ICMORVENProc \u63A5\u53E3")};

void expectHelp(const Text& read, const HelpString& help)
{
    EXPECT_EQ(read, storedHelpText(help.bytes)) << printable(read) << "; ANSI code page " << GetACP();
    if (helpStringsReadAs936()) {
        EXPECT_EQ(read, help.meant) << printable(read);
    }
}

// Paths compare without regard to case on the real platform.
Text lowerCase(Text text)
{
    for (OLECHAR& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<OLECHAR>(c - 'A' + 'a');
    return text;
}

class TypeLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        HOST_REQUIRE_REGISTRATION();
        ASSERT_EQ(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, m_lib.out()), S_OK);
    }

    void typeInfo(UINT index, Ref<ITypeInfo>& out) { ASSERT_EQ(m_lib->GetTypeInfo(index, out.out()), S_OK); }

    Ref<ITypeLib> m_lib;
};

TEST_F(TypeLibrary, FoundUnderItsOwnLocaleWithItsAttributesAndThreeEntriesInOrder)
{
    Bstr path;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, path.out()), S_OK);
    EXPECT_EQ(lowerCase(path.str()), lowerCase(widen(modulePath()))) << printable(path.str());

    TLIBATTR* attr = nullptr;
    ASSERT_EQ(m_lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == LIBID_MORVEN);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->syskind, libraryPointerSize() == 8 ? SYS_WIN64 : SYS_WIN32);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->wLibFlags, libraryFlags());
    m_lib->ReleaseTLibAttr(attr);

    Bstr name, doc;
    ASSERT_EQ(m_lib->GetDocumentation(-1, name.out(), doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.str(), OLESTR("MORVEN"));
    expectHelp(doc.str(), kLibraryHelp);

    ASSERT_EQ(m_lib->GetTypeInfoCount(), 3u);
    const TYPEKIND kinds[] = {TKIND_COCLASS, TKIND_INTERFACE, TKIND_RECORD};
    const OLECHAR* names[] = {OLESTR("CCMORVENProc"), OLESTR("ICMORVENProc"), OLESTR("MORImageStruct")};
    for (UINT i = 0; i < 3; ++i) {
        TYPEKIND kind;
        ASSERT_EQ(m_lib->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, kinds[i]) << i;
        Bstr typeName;
        ASSERT_EQ(m_lib->GetDocumentation(static_cast<INT>(i), typeName.out(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(typeName.str(), names[i]);
    }

    Ref<ITypeInfo> coclass, byClsid, iface, byIid, none;
    typeInfo(0, coclass);
    typeInfo(1, iface);
    ASSERT_EQ(m_lib->GetTypeInfoOfGuid(CLSID_CCMORVENProc, byClsid.out()), S_OK);
    ASSERT_EQ(m_lib->GetTypeInfoOfGuid(IID_ICMORVENProc, byIid.out()), S_OK);
    EXPECT_EQ(byClsid.get(), coclass.get());
    EXPECT_EQ(byIid.get(), iface.get());
    EXPECT_EQ(m_lib->GetTypeInfoOfGuid(LIBID_MORVEN, none.out()), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(none.get(), nullptr);
    EXPECT_EQ(m_lib->GetTypeInfo(3, none.out()), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(none.get(), nullptr);
    TYPEKIND kind;
    EXPECT_EQ(m_lib->GetTypeInfoType(3, &kind), TYPE_E_ELEMENTNOTFOUND);

    // The coclass: creatable, version 1.0, ICMORVENProc as its default interface.
    TYPEATTR* typeAttr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&typeAttr), S_OK);
    EXPECT_TRUE(typeAttr->guid == CLSID_CCMORVENProc);
    EXPECT_EQ(typeAttr->typekind, TKIND_COCLASS);
    EXPECT_EQ(typeAttr->wTypeFlags, TYPEFLAG_FCANCREATE);
    EXPECT_EQ(typeAttr->wMajorVerNum, 1);
    EXPECT_EQ(typeAttr->wMinorVerNum, 0);
    EXPECT_EQ(typeAttr->cImplTypes, 1);
    EXPECT_EQ(typeAttr->cFuncs, 0);
    EXPECT_EQ(typeAttr->cVars, 0);
    coclass->ReleaseTypeAttr(typeAttr);
    Bstr coclassDoc;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, nullptr, coclassDoc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(coclassDoc.str(), OLESTR("CMORVENProc Class"));
    INT implFlags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE href = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &href), S_OK);
    Ref<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(href, implemented.out()), S_OK);
    EXPECT_EQ(implemented.get(), iface.get());
    EXPECT_EQ(coclass->GetImplTypeFlags(1, &implFlags), TYPE_E_ELEMENTNOTFOUND);

    Ref<ITypeLib> containing;
    UINT index = 9;
    ASSERT_EQ(coclass->GetContainingTypeLib(containing.out(), &index), S_OK);
    EXPECT_EQ(containing.get(), m_lib.get());
    EXPECT_EQ(index, 0u);
}

struct ExpectedParam {
    const OLECHAR* name;
    VARTYPE vt;
    VARTYPE pointee; // VT_EMPTY when vt is not VT_PTR
    USHORT flags;
};

struct ExpectedMethod {
    const OLECHAR* name;
    MEMBERID memid;
    SHORT slot;
    HelpString help;
    std::vector<ExpectedParam> params;
};

TEST_F(TypeLibrary, InterfaceDerivesFromIUnknownAndHasFourMethodsInSlotsThreeToSix)
{
    Ref<ITypeInfo> iface, record;
    typeInfo(1, iface);
    typeInfo(2, record);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(iface->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == IID_ICMORVENProc);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags, 0) << "neither dual nor automation";
    EXPECT_EQ(attr->cFuncs, 4);
    EXPECT_EQ(attr->cImplTypes, 1);
    EXPECT_EQ(attr->cbSizeVft, 7 * libraryPointerSize()) << "IUnknown's three slots and four methods";
    iface->ReleaseTypeAttr(attr);
    Bstr doc;
    ASSERT_EQ(iface->GetDocumentation(MEMBERID_NIL, nullptr, doc.out(), nullptr, nullptr), S_OK);
    expectHelp(doc.str(), kInterfaceHelp);

    HREFTYPE href = 0;
    ASSERT_EQ(iface->GetRefTypeOfImplType(0, &href), S_OK);
    Ref<ITypeInfo> base;
    ASSERT_EQ(iface->GetRefTypeInfo(href, base.out()), S_OK);
    ASSERT_EQ(base->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == IID_IUnknown);
    EXPECT_EQ(attr->cFuncs, 3);
    base->ReleaseTypeAttr(attr);

    const std::vector<ExpectedMethod> expected = {
        {OLESTR("createCapture"), 0x60010000, 3, {"\xB7\xBD\xB7\xA8" "createCapture", OLESTR("\u65B9\u6CD5createCapture")},
         {{OLESTR("aviFileString"), VT_BSTR, VT_EMPTY, PARAMFLAG_FIN},
          {OLESTR("bFlipImageHorizontally"), VT_BOOL, VT_EMPTY, PARAMFLAG_FIN},
          {OLESTR("bCaptureCreated"), VT_PTR, VT_BOOL, PARAMFLAG_FOUT}}},
        {OLESTR("Grab"), 0x60010001, 4, {"\xB7\xBD\xB7\xA8" "grab", OLESTR("\u65B9\u6CD5grab")},
         {{OLESTR("imageStruct"), VT_PTR, VT_USERDEFINED, PARAMFLAG_FOUT}}},
        {OLESTR("destroyCapture"), 0x60010002, 5, {"\xB7\xBD\xB7\xA8" "destroyCapture", OLESTR("\u65B9\u6CD5destroyCapture")},
         {}},
        {OLESTR("startCapture"), 0x60010003, 6, {"\xB7\xBD\xB7\xA8" "startCapture", OLESTR("\u65B9\u6CD5startCapture")},
         {}},
    };
    for (UINT i = 0; i < expected.size(); ++i) {
        const ExpectedMethod& m = expected[i];
        SCOPED_TRACE(printable(m.name));
        FUNCDESC* func = nullptr;
        ASSERT_EQ(iface->GetFuncDesc(i, &func), S_OK);
        EXPECT_EQ(func->memid, m.memid);
        EXPECT_EQ(func->funckind, FUNC_PUREVIRTUAL);
        EXPECT_EQ(func->invkind, INVOKE_FUNC);
        EXPECT_EQ(func->callconv, CC_STDCALL);
        EXPECT_EQ(func->oVft, m.slot * libraryPointerSize());
        EXPECT_EQ(func->cParamsOpt, 0);
        EXPECT_EQ(func->wFuncFlags, 0);
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
        ASSERT_EQ(func->cParams, static_cast<SHORT>(m.params.size()));
        for (size_t p = 0; p < m.params.size(); ++p) {
            const ELEMDESC& elem = func->lprgelemdescParam[p];
            EXPECT_EQ(elem.tdesc.vt, m.params[p].vt) << p;
            EXPECT_EQ(elem.paramdesc.wParamFlags, m.params[p].flags) << p;
            if (m.params[p].vt == VT_PTR) {
                EXPECT_EQ(elem.tdesc.lptdesc->vt, m.params[p].pointee) << p;
            }
            if (m.params[p].pointee == VT_USERDEFINED) {
                Ref<ITypeInfo> pointee;
                ASSERT_EQ(iface->GetRefTypeInfo(elem.tdesc.lptdesc->hreftype, pointee.out()), S_OK);
                EXPECT_EQ(pointee.get(), record.get());
            }
        }
        iface->ReleaseFuncDesc(func);

        Bstr name, help;
        ASSERT_EQ(iface->GetDocumentation(m.memid, name.out(), help.out(), nullptr, nullptr), S_OK);
        EXPECT_EQ(name.str(), m.name);
        expectHelp(help.str(), m.help);

        BSTR names[8] = {};
        UINT count = 0;
        ASSERT_EQ(iface->GetNames(m.memid, names, 8, &count), S_OK);
        ASSERT_EQ(count, m.params.size() + 1);
        EXPECT_EQ(Text(names[0]), m.name);
        for (size_t p = 0; p < m.params.size(); ++p)
            EXPECT_EQ(Text(names[p + 1]), m.params[p].name);
        for (UINT k = 0; k < count; ++k)
            SysFreeString(names[k]);
    }
    FUNCDESC* none = nullptr;
    EXPECT_EQ(iface->GetFuncDesc(4, &none), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(none, nullptr);

    // GetNames stops at the caller's array size.
    BSTR two[2] = {};
    UINT count = 0;
    ASSERT_EQ(iface->GetNames(0x60010000, two, 2, &count), S_OK);
    EXPECT_EQ(count, 2u);
    SysFreeString(two[0]);
    SysFreeString(two[1]);
}

TEST_F(TypeLibrary, RecordHasFourIntegersAndThePointerToThePixels)
{
    Ref<ITypeInfo> record;
    typeInfo(2, record);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(record->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_RECORD);
    // Four 32-bit integers and a pointer, aligned to the pointer.
    EXPECT_EQ(attr->cbSizeInstance, libraryPointerSize() == 8 ? 24u : 20u);
    EXPECT_EQ(attr->cbAlignment, libraryPointerSize());
    EXPECT_EQ(attr->cVars, 5);
    EXPECT_TRUE(attr->guid == GUID_NULL);
    record->ReleaseTypeAttr(attr);
    // The host's own layout follows its word size, whatever the library says.
    EXPECT_EQ(sizeof(MORImageStruct), sizeof(void*) == 4 ? 20u : 24u);

    const OLECHAR* names[] = {OLESTR("width"), OLESTR("height"), OLESTR("depth"), OLESTR("channels"),
                              OLESTR("data")};
    for (UINT i = 0; i < 5; ++i) {
        VARDESC* var = nullptr;
        ASSERT_EQ(record->GetVarDesc(i, &var), S_OK);
        EXPECT_EQ(var->varkind, VAR_PERINSTANCE) << i;
        EXPECT_EQ(var->oInst, i * 4) << i;
        EXPECT_EQ(var->memid, static_cast<MEMBERID>(0x40000000 + i)) << i;
        if (i < 4) {
            EXPECT_EQ(var->elemdescVar.tdesc.vt, VT_I4) << i;
        } else {
            EXPECT_EQ(var->elemdescVar.tdesc.vt, VT_PTR);
            ASSERT_NE(var->elemdescVar.tdesc.lptdesc, nullptr);
            EXPECT_EQ(var->elemdescVar.tdesc.lptdesc->vt, VT_UI1);
        }
        const MEMBERID memid = var->memid;
        record->ReleaseVarDesc(var);
        Bstr name;
        ASSERT_EQ(record->GetDocumentation(memid, name.out(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(name.str(), names[i]);
    }
    VARDESC* none = nullptr;
    EXPECT_EQ(record->GetVarDesc(5, &none), TYPE_E_ELEMENTNOTFOUND);
}

} // namespace
} // namespace host
