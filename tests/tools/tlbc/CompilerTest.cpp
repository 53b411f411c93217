// The type library compiler: how it lays out what it accepts, read back
// through the runtime, and what it refuses.
#include "tests/platform/linux/typelib/TypeLibTestSupport.h"

#include "tools/tlbc/CompileError.h"

#include <gtest/gtest.h>

using namespace typelib_test;

namespace {

const char kLibAttributes[] = "uuid(11111111-2222-3333-4444-555555555555), version(2.3)";

class CompiledLibrary : public ::testing::Test {
protected:
    void load(const std::string& declarations, const std::string& libraryBody,
              const std::string& attributes = kLibAttributes)
    {
        std::vector<uint8_t> image = compile(idlPrelude() + declarations + idlLibrary(attributes, libraryBody));
        ASSERT_EQ(loadImage(image, m_dir.file("test.tlb"), m_lib.out()), S_OK);
    }

    ScratchDirectory m_dir;
    Ref<ITypeLib> m_lib;
};

TEST_F(CompiledLibrary, RecordLayoutFollowsThe32BitPlatform)
{
    load(R"(
typedef struct Inner { short a; char b; } Inner;
typedef struct Mixed
{
    char c;
    double d;
    short s;
    void* p;
    Inner inner;
    unsigned char bytes[3][2];
    struct Mixed* next;
} Mixed;
)",
         "typedef struct Mixed Mixed2;");
    ASSERT_EQ(m_lib->GetTypeInfoCount(), 2u); // the record pulls in the one it contains
    Ref<ITypeInfo> mixed, inner;
    ASSERT_EQ(m_lib->GetTypeInfo(0, mixed.out()), S_OK);
    ASSERT_EQ(m_lib->GetTypeInfo(1, inner.out()), S_OK);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(inner->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cbSizeInstance, 4u);
    EXPECT_EQ(attr->cbAlignment, 2);
    inner->ReleaseTypeAttr(attr);

    ASSERT_EQ(mixed->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cbAlignment, 8); // the double
    EXPECT_EQ(attr->cbSizeInstance, 40u);
    ASSERT_EQ(attr->cVars, 7);
    mixed->ReleaseTypeAttr(attr);

    const ULONG offsets[] = {0, 8, 16, 20, 24, 28, 36};
    const VARTYPE types[] = {VT_I1, VT_R8, VT_I2, VT_PTR, VT_USERDEFINED, VT_CARRAY, VT_PTR};
    for (UINT i = 0; i < 7; ++i) {
        VARDESC* desc = nullptr;
        ASSERT_EQ(mixed->GetVarDesc(i, &desc), S_OK);
        EXPECT_EQ(desc->oInst, offsets[i]) << i;
        EXPECT_EQ(desc->elemdescVar.tdesc.vt, types[i]) << i;
        if (i == 5) {
            const ARRAYDESC* array = desc->elemdescVar.tdesc.lpadesc;
            ASSERT_EQ(array->cDims, 2);
            EXPECT_EQ(array->rgbounds[0].cElements, 3u);
            EXPECT_EQ(array->rgbounds[1].cElements, 2u);
            EXPECT_EQ(array->tdescElem.vt, VT_UI1);
        }
        if (i == 6) {
            // A record may point to itself.
            Ref<ITypeInfo> self;
            ASSERT_EQ(mixed->GetRefTypeInfo(desc->elemdescVar.tdesc.lptdesc->hreftype, self.out()), S_OK);
            EXPECT_EQ(self.get(), mixed.get());
        }
        mixed->ReleaseVarDesc(desc);
    }
}

TEST_F(CompiledLibrary, DerivedInterfacesContinueIdsAndSlotsOfTheirBase)
{
    load(R"(
[object, uuid(AAAAAAAA-0000-0000-0000-000000000001), oleautomation]
interface IBase : IUnknown { HRESULT First(); HRESULT Second([in] long value); };
[object, uuid(AAAAAAAA-0000-0000-0000-000000000002)]
interface IDerived : IBase { HRESULT Third([out] IBase** other); [id(42)] HRESULT Fourth([in] IUnknown* any); };
)",
         "interface IDerived;");
    // The base comes first, then the interface named in the library.
    ASSERT_EQ(m_lib->GetTypeInfoCount(), 2u);
    Ref<ITypeInfo> base, derived;
    ASSERT_EQ(m_lib->GetTypeInfo(0, base.out()), S_OK);
    ASSERT_EQ(m_lib->GetTypeInfo(1, derived.out()), S_OK);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(base->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FOLEAUTOMATION);
    base->ReleaseTypeAttr(attr);
    ASSERT_EQ(derived->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cbSizeVft, 7 * 4);
    derived->ReleaseTypeAttr(attr);

    FUNCDESC* desc = nullptr;
    ASSERT_EQ(base->GetFuncDesc(1, &desc), S_OK);
    EXPECT_EQ(desc->memid, 0x60010001);
    EXPECT_EQ(desc->oVft, 16);
    base->ReleaseFuncDesc(desc);

    ASSERT_EQ(derived->GetFuncDesc(0, &desc), S_OK);
    EXPECT_EQ(desc->memid, 0x60020000);
    EXPECT_EQ(desc->oVft, 20);
    // IBase** : a pointer to an interface reference.
    ASSERT_EQ(desc->lprgelemdescParam[0].tdesc.vt, VT_PTR);
    ASSERT_EQ(desc->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_PTR);
    EXPECT_EQ(desc->lprgelemdescParam[0].tdesc.lptdesc->lptdesc->vt, VT_USERDEFINED);
    derived->ReleaseFuncDesc(desc);

    ASSERT_EQ(derived->GetFuncDesc(1, &desc), S_OK);
    EXPECT_EQ(desc->memid, 42);
    EXPECT_EQ(desc->lprgelemdescParam[0].tdesc.vt, VT_UNKNOWN);
    derived->ReleaseFuncDesc(desc);

    // Names of inherited members come from the base.
    MEMBERID ids[2] = {};
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"second"), const_cast<LPOLESTR>(u"VALUE")};
    ASSERT_EQ(derived->GetIDsOfNames(names, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 0x60010001);
    EXPECT_EQ(ids[1], 0);
    Bstr name;
    ASSERT_EQ(derived->GetDocumentation(0x60010000, name.out(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.str(), u"First");
}

TEST_F(CompiledLibrary, LibraryWithoutLocaleHelpFileAndNameLookup)
{
    load("[object, uuid(AAAAAAAA-0000-0000-0000-000000000003)] interface IThing : IUnknown { HRESULT Go(); };",
         "interface IThing;", std::string(kLibAttributes) + ", helpfile(\"thing.hlp\"), helpcontext(7)");
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(m_lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->lcid, 0u);
    EXPECT_EQ(attr->wMajorVerNum, 2);
    EXPECT_EQ(attr->wMinorVerNum, 3);
    m_lib->ReleaseTLibAttr(attr);
    Bstr file, doc;
    DWORD context = 0;
    ASSERT_EQ(m_lib->GetDocumentation(-1, nullptr, doc.out(), &context, file.out()), S_OK);
    EXPECT_EQ(file.str(), u"thing.hlp");
    EXPECT_TRUE(doc.null());
    EXPECT_EQ(context, 7u);

    // IsName hands back the library's own spelling.
    OLECHAR buffer[] = u"ithing";
    BOOL found = FALSE;
    ASSERT_EQ(m_lib->IsName(buffer, 0, &found), S_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(std::u16string(buffer), u"IThing");
    OLECHAR missing[] = u"Nothing";
    ASSERT_EQ(m_lib->IsName(missing, 0, &found), S_OK);
    EXPECT_FALSE(found);

    ITypeInfo* infos[2] = {};
    MEMBERID ids[2] = {};
    USHORT count = 2;
    OLECHAR go[] = u"go";
    ASSERT_EQ(m_lib->FindName(go, 0, infos, ids, &count), S_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(ids[0], 0x60010000);
    infos[0]->Release();
}

TEST(TypeLibCompiler, TrailByteThatLooksLikeABackslashIsNoEscape)
{
    // 0x95 0x5C is one character in code page 936, U+661E.
    std::string idl = idlPrelude() + idlLibrary("uuid(11111111-2222-3333-4444-555555555555), helpstring(\"a\x95\x5C\")",
                                                "");
    ScratchDirectory dir;
    Ref<ITypeLib> lib;
    ASSERT_EQ(loadImage(compile(idl), dir.file("t.tlb"), lib.out()), S_OK);
    Bstr doc;
    ASSERT_EQ(lib->GetDocumentation(-1, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.str(), u"a\u661E");
}

TEST(TypeLibCompiler, RefusesWhatItCannotDescribe)
{
    const std::string lib = idlLibrary("uuid(11111111-2222-3333-4444-555555555555)", "interface IBad;");
    const std::string iface = "[object, uuid(AAAAAAAA-0000-0000-0000-000000000004)] interface IBad : IUnknown ";
    struct Case {
        std::string idl;
        const char* message;
    } cases[] = {
        {iface + "{ HRESULT F([in] Missing m); };" + lib, "unknown type 'Missing'"},
        {"[object] interface IBad : IUnknown { HRESULT F(); };" + lib, "needs a uuid"},
        {"[uuid(AAAAAAAA-0000-0000-0000-000000000004)] interface IBad : IUnknown { HRESULT F(); };" + lib,
         "not an object interface"},
        {"[object, uuid(AAAAAAAA-0000-0000-0000-000000000004)] interface IBad { HRESULT F(); };" + lib,
         "no base interface"},
        {iface + "{ [dual] HRESULT F(); };" + lib, "attribute 'dual' is not supported"},
        {iface + "{ HRESULT F([in] struct Loop l); }; struct Loop { long a; struct Loop inner; };" + lib,
         "contains itself"},
        {iface + "{ HRESULT F([in] IBad value); };" + lib, "used without a pointer"},
        {iface + "{ HRESULT F(); };" + idlLibrary("uuid(bad)", "interface IBad;"), "bad uuid"},
        {iface + "{ HRESULT F(); };" +
             "[uuid(11111111-2222-3333-4444-555555555555)] library L { importlib(\"other.tlb\"); };",
         "cannot import 'other.tlb'"},
        {iface + "{ [helpstring(\"\x81\x20\")] HRESULT F(); };" + lib, "not valid in code page 936"},
        {iface + "{ HRESULT F(); };" + idlLibrary("uuid(11111111-2222-3333-4444-555555555555", ""),
         "expected ']'"},
        {"#include <x.idl>\n" + lib, "preprocessor"},
        {iface + "{ [helpstring(\"open) HRESULT F(); };" + lib, "unterminated string"},
        {iface + "{ HRESULT F(); };", "declares no library"},
    };
    for (const Case& c : cases) {
        try {
            compile(idlPrelude() + c.idl);
            ADD_FAILURE() << "accepted: " << c.idl;
        } catch (const tlbc::CompileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << "expected \"" << c.message << "\", got \"" << e.what() << "\"";
        }
    }
}

} // namespace
