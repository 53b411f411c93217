// A type library as the runtime holds it once loaded: validated, with every
// text already in UTF-16. The COM objects serve their answers from it.
#pragma once

#include "platform/TypeLib.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace comrt::typelib {

struct TypeNode {
    VARTYPE vt = 0;
    HREFTYPE hreftype = 0;                  // VT_USERDEFINED
    std::shared_ptr<const TypeNode> element; // VT_PTR, VT_SAFEARRAY, VT_CARRAY
    std::vector<SAFEARRAYBOUND> bounds;      // VT_CARRAY
};

struct Param {
    std::u16string name;
    TypeNode type;
    USHORT flags = 0;
};

struct Function {
    MEMBERID memid = 0;
    std::u16string name;
    std::optional<std::u16string> docString;
    DWORD helpContext = 0;
    FUNCKIND funckind = FUNC_PUREVIRTUAL;
    INVOKEKIND invkind = INVOKE_FUNC;
    CALLCONV callconv = CC_STDCALL;
    SHORT vtableOffset = 0;
    WORD flags = 0;
    TypeNode returnType;
    std::vector<Param> params;
};

struct Var {
    MEMBERID memid = 0;
    std::u16string name;
    std::optional<std::u16string> docString;
    DWORD helpContext = 0;
    TypeNode type;
    ULONG instanceOffset = 0;
    WORD flags = 0;
    VARKIND varkind = VAR_PERINSTANCE;
};

struct Impl {
    HREFTYPE hreftype = 0;
    INT flags = 0;
};

struct TypeEntry {
    GUID guid{};
    TYPEKIND kind = TKIND_RECORD;
    WORD flags = 0;
    WORD majorVersion = 0;
    WORD minorVersion = 0;
    std::u16string name;
    std::optional<std::u16string> docString;
    DWORD helpContext = 0;
    ULONG sizeInstance = 0;
    WORD alignment = 0;
    WORD sizeVft = 0;
    std::vector<Function> functions;
    std::vector<Var> vars;
    std::vector<Impl> impls;
    std::optional<TypeNode> aliasType;
};

struct Import {
    GUID libid{};
    WORD majorVersion = 0;
    WORD minorVersion = 0;
    LCID lcid = 0;
    std::u16string fileName;
};

// A type of another library that this one refers to.
struct ImportRef {
    size_t import = 0;
    GUID guid{};
    std::u16string name;
};

struct Library {
    GUID libid{};
    LCID lcid = 0;
    SYSKIND syskind = SYS_WIN32;
    WORD flags = 0;
    WORD majorVersion = 0;
    WORD minorVersion = 0;
    std::u16string name;
    std::optional<std::u16string> docString;
    std::optional<std::u16string> helpFile;
    DWORD helpContext = 0;
    std::vector<TypeEntry> types;
    std::vector<Import> imports;
    std::vector<ImportRef> importRefs;
};

} // namespace comrt::typelib
