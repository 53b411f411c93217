// The runtime's own copy of the standard OLE library's IUnknown.
#include "platform/linux/typelib/StandardOle.h"

#include "platform/linux/typelib/TypeLibrary.h"

#include <memory>
#include <new>

namespace comrt::typelib {
namespace {

constexpr GUID kStandardOleLibid = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr HREFTYPE kGuidRecord = 1;

TypeNode simple(VARTYPE vt)
{
    TypeNode node;
    node.vt = vt;
    return node;
}

TypeNode pointerTo(TypeNode element)
{
    TypeNode node;
    node.vt = VT_PTR;
    node.element = std::make_shared<TypeNode>(std::move(element));
    return node;
}

Function method(const char16_t* name, MEMBERID memid, SHORT vtableOffset, VARTYPE result)
{
    Function f;
    f.memid = memid;
    f.name = name;
    f.vtableOffset = vtableOffset;
    f.flags = FUNCFLAG_FRESTRICTED;
    f.returnType = simple(result);
    return f;
}

Library standardOleModel()
{
    Library lib;
    lib.libid = kStandardOleLibid;
    lib.lcid = 0;
    lib.syskind = SYS_WIN32;
    lib.majorVersion = 2;
    lib.minorVersion = 0;
    lib.name = u"stdole";
    lib.docString = u"OLE Automation";

    TypeEntry unknown;
    unknown.guid = IID_IUnknown;
    unknown.kind = TKIND_INTERFACE;
    unknown.flags = TYPEFLAG_FHIDDEN;
    unknown.name = u"IUnknown";
    unknown.sizeInstance = 4;
    unknown.alignment = 4;
    unknown.sizeVft = 12;
    Function query = method(u"QueryInterface", 0x60000000, 0, VT_HRESULT);
    TypeNode guid;
    guid.vt = VT_USERDEFINED;
    guid.hreftype = kGuidRecord;
    query.params.push_back({u"riid", pointerTo(guid), PARAMFLAG_FIN});
    query.params.push_back({u"ppvObj", pointerTo(pointerTo(simple(VT_VOID))), PARAMFLAG_FOUT});
    unknown.functions.push_back(std::move(query));
    unknown.functions.push_back(method(u"AddRef", 0x60000001, 4, VT_UI4));
    unknown.functions.push_back(method(u"Release", 0x60000002, 8, VT_UI4));
    lib.types.push_back(std::move(unknown));

    TypeEntry record;
    record.kind = TKIND_RECORD;
    record.name = u"GUID";
    record.sizeInstance = 16;
    record.alignment = 4;
    auto field = [](const char16_t* name, MEMBERID memid, ULONG offset, TypeNode type) {
        Var v;
        v.memid = memid;
        v.name = name;
        v.instanceOffset = offset;
        v.type = std::move(type);
        return v;
    };
    TypeNode bytes;
    bytes.vt = VT_CARRAY;
    bytes.element = std::make_shared<TypeNode>(simple(VT_UI1));
    bytes.bounds.push_back({8, 0});
    record.vars.push_back(field(u"Data1", 0x40000000, 0, simple(VT_UI4)));
    record.vars.push_back(field(u"Data2", 0x40000001, 4, simple(VT_UI2)));
    record.vars.push_back(field(u"Data3", 0x40000002, 6, simple(VT_UI2)));
    record.vars.push_back(field(u"Data4", 0x40000003, 8, std::move(bytes)));
    lib.types.push_back(std::move(record));
    return lib;
}

} // namespace

bool isStandardOleLibrary(REFGUID libid)
{
    return libid == kStandardOleLibid;
}

HRESULT createStandardOleLibrary(ITypeLib** out)
{
    try {
        return TypeLibrary::create(standardOleModel(), out);
    } catch (const std::bad_alloc&) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
}

} // namespace comrt::typelib
