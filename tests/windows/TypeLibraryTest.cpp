// The registered type library as the platform's OLE Automation runtime reads
// it: library attributes, the three entries in order, the interface's methods
// and the 20-byte record.
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

using namespace wintest;

namespace {

// Help strings are stored as code page 936 bytes. Wine differs from our Linux
// runtime here: it reads them back in the process's ANSI code page (1252 under
// an English locale gives mojibake), where our runtime always reads them as 936.
// Both agree when the ANSI code page is 936 (a Chinese locale).
std::wstring storedHelp(const char* bytes)
{
    return fromCodePage(bytes, CP_ACP);
}

// What the stored bytes mean, for a process whose ANSI code page is 936.
void expectChineseWhereTheCodePageIs936(const std::wstring& read, const wchar_t* meant)
{
    if (GetACP() == 936) {
        EXPECT_EQ(read, meant);
    }
}

class WindowsTypeLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        WINTEST_REQUIRE_REGISTRATION();
        ASSERT_EQ(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, m_lib.out()), S_OK);
    }

    Ref<ITypeLib> m_lib;
};

TEST_F(WindowsTypeLibrary, FoundUnderItsOwnLocaleWithItsAttributesAndThreeEntriesInOrder)
{
    // Only the library's own locale finds it; the neutral locale does not (the
    // class information therefore also tries 0x409).
    Ref<ITypeLib> neutral;
    EXPECT_EQ(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0, neutral.out()), TYPE_E_LIBNOTREGISTERED);
    Bstr path;
    ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, path.out()), S_OK);
    EXPECT_EQ(lstrcmpiW(path.str().c_str(), widen(modulePath()).c_str()), 0);

    TLIBATTR* attr = nullptr;
    ASSERT_EQ(m_lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == LIBID_MORVEN);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 4 ? SYS_WIN32 : SYS_WIN64); // widl builds for the target's word size
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    // Wine-specific: widl marks its libraries "has disk image" (0x8), which our
    // own compiler does not; no other flag may be set.
    EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0);
    m_lib->ReleaseTLibAttr(attr);

    Bstr name, doc;
    ASSERT_EQ(m_lib->GetDocumentation(-1, name.out(), doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.str(), L"MORVEN");
    EXPECT_EQ(doc.str(), storedHelp("MORVEN 1.0 \xC0\xE0\xD0\xCD\xBF\xE2")) << "ANSI code page " << GetACP();
    expectChineseWhereTheCodePageIs936(doc.str(), L"MORVEN 1.0 \u7C7B\u578B\u5E93");

    ASSERT_EQ(m_lib->GetTypeInfoCount(), 3u);
    const TYPEKIND kinds[] = {TKIND_COCLASS, TKIND_INTERFACE, TKIND_RECORD};
    const wchar_t* names[] = {L"CCMORVENProc", L"ICMORVENProc", L"MORImageStruct"};
    for (UINT i = 0; i < 3; ++i) {
        TYPEKIND kind;
        ASSERT_EQ(m_lib->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, kinds[i]) << i;
        Bstr typeName;
        ASSERT_EQ(m_lib->GetDocumentation(static_cast<INT>(i), typeName.out(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(typeName.str(), names[i]);
    }

    // The coclass: creatable, version 1.0, ICMORVENProc as its default interface.
    Ref<ITypeInfo> coclass, iface, implemented;
    ASSERT_EQ(m_lib->GetTypeInfoOfGuid(CLSID_CCMORVENProc, coclass.out()), S_OK);
    ASSERT_EQ(m_lib->GetTypeInfoOfGuid(IID_ICMORVENProc, iface.out()), S_OK);
    TYPEATTR* typeAttr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&typeAttr), S_OK);
    EXPECT_EQ(typeAttr->wTypeFlags, TYPEFLAG_FCANCREATE);
    EXPECT_EQ(typeAttr->wMajorVerNum, 1);
    EXPECT_EQ(typeAttr->wMinorVerNum, 0);
    EXPECT_EQ(typeAttr->cImplTypes, 1);
    coclass->ReleaseTypeAttr(typeAttr);
    Bstr coclassDoc;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, nullptr, coclassDoc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(coclassDoc.str(), L"CMORVENProc Class");
    INT implFlags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE href = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &href), S_OK);
    ASSERT_EQ(coclass->GetRefTypeInfo(href, implemented.out()), S_OK);
    ASSERT_EQ(implemented->GetTypeAttr(&typeAttr), S_OK);
    EXPECT_TRUE(typeAttr->guid == IID_ICMORVENProc);
    implemented->ReleaseTypeAttr(typeAttr);
}

TEST_F(WindowsTypeLibrary, InterfaceHasFourMethodsInSlotsThreeToSixWithTheirHelpStrings)
{
    Ref<ITypeInfo> iface;
    ASSERT_EQ(m_lib->GetTypeInfoOfGuid(IID_ICMORVENProc, iface.out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(iface->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags, 0) << "neither dual nor automation";
    EXPECT_EQ(attr->cFuncs, 4);
    EXPECT_EQ(attr->cbSizeVft, 7 * static_cast<WORD>(sizeof(void*)));
    iface->ReleaseTypeAttr(attr);
    Bstr doc;
    ASSERT_EQ(iface->GetDocumentation(MEMBERID_NIL, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.str(), storedHelp("ICMORVENProc \xBD\xD3\xBF\xDA"));
    expectChineseWhereTheCodePageIs936(doc.str(), L"ICMORVENProc \u63A5\u53E3");

    struct Method {
        const wchar_t* name;
        MEMBERID memid;
        SHORT slot;
        SHORT params;
        const char* help;     // as stored, code page 936
        const wchar_t* meant; // what it says
    };
    const Method methods[] = {
        {L"createCapture", 0x60010000, 3, 3, "\xB7\xBD\xB7\xA8" "createCapture", L"\u65B9\u6CD5createCapture"},
        {L"Grab", 0x60010001, 4, 1, "\xB7\xBD\xB7\xA8" "grab", L"\u65B9\u6CD5grab"},
        {L"destroyCapture", 0x60010002, 5, 0, "\xB7\xBD\xB7\xA8" "destroyCapture", L"\u65B9\u6CD5destroyCapture"},
        {L"startCapture", 0x60010003, 6, 0, "\xB7\xBD\xB7\xA8" "startCapture", L"\u65B9\u6CD5startCapture"},
    };
    for (UINT i = 0; i < 4; ++i) {
        const Method& m = methods[i];
        FUNCDESC* func = nullptr;
        ASSERT_EQ(iface->GetFuncDesc(i, &func), S_OK);
        EXPECT_EQ(func->memid, m.memid) << i;
        EXPECT_EQ(func->oVft, m.slot * static_cast<SHORT>(sizeof(void*))) << i;
        EXPECT_EQ(func->cParams, m.params) << i;
        EXPECT_EQ(func->callconv, CC_STDCALL) << i;
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT) << i;
        const MEMBERID memid = func->memid;
        iface->ReleaseFuncDesc(func);
        Bstr name, help;
        ASSERT_EQ(iface->GetDocumentation(memid, name.out(), help.out(), nullptr, nullptr), S_OK);
        EXPECT_EQ(name.str(), m.name);
        EXPECT_EQ(help.str(), storedHelp(m.help));
        expectChineseWhereTheCodePageIs936(help.str(), m.meant);
    }
}

TEST_F(WindowsTypeLibrary, RecordIsTwentyBytesWithFieldsAtFourByteSteps)
{
    Ref<ITypeInfo> record;
    ASSERT_EQ(m_lib->GetTypeInfo(2, record.out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(record->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_RECORD);
    // The data pointer makes the record 24 bytes, aligned to 8, on 64-bit Windows.
    EXPECT_EQ(attr->cbSizeInstance, sizeof(MORImageStruct));
    EXPECT_EQ(attr->cbAlignment, alignof(MORImageStruct));
    EXPECT_EQ(attr->cVars, 5);
    EXPECT_TRUE(attr->guid == GUID_NULL);
    record->ReleaseTypeAttr(attr);
    EXPECT_EQ(sizeof(MORImageStruct), sizeof(void*) == 4 ? 20u : 24u);

    const wchar_t* names[] = {L"width", L"height", L"depth", L"channels", L"data"};
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
}

} // namespace
