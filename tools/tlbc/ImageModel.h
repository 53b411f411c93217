// A type library as the compiler lays it out before writing: every member
// id, offset and reference settled, texts still in the source code page.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tlbc {

using GuidBytes = std::array<uint8_t, 16>; // a GUID in memory order

struct TypeDesc {
    uint16_t vt = 0;
    uint32_t hreftype = 0;                            // user-defined types
    std::vector<std::pair<uint32_t, int32_t>> bounds; // arrays: elements, lower bound
    std::shared_ptr<const TypeDesc> element;          // pointers and arrays
};

struct OutParam {
    std::string name;
    TypeDesc type;
    uint16_t flags = 0;
};

struct OutFunction {
    int32_t memid = 0;
    std::string name;
    std::optional<std::string> docString;
    uint32_t helpContext = 0;
    uint16_t funckind = 1; // FUNC_PUREVIRTUAL
    uint16_t invkind = 1;  // INVOKE_FUNC
    uint16_t callconv = 4; // CC_STDCALL
    int16_t vtableOffset = 0;
    uint16_t flags = 0;
    TypeDesc returnType;
    std::vector<OutParam> params;
};

struct OutVar {
    int32_t memid = 0;
    std::string name;
    std::optional<std::string> docString;
    uint32_t helpContext = 0;
    TypeDesc type;
    uint32_t instanceOffset = 0;
    uint16_t flags = 0;
};

struct OutImpl {
    uint32_t hreftype = 0;
    int32_t flags = 0;
};

struct OutType {
    GuidBytes guid{};
    uint16_t kind = 0;
    uint16_t flags = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    std::string name;
    std::optional<std::string> docString;
    uint32_t helpContext = 0;
    uint32_t sizeInstance = 0;
    uint16_t alignment = 0;
    uint16_t sizeVft = 0;
    std::vector<OutFunction> functions;
    std::vector<OutVar> vars;
    std::vector<OutImpl> impls;
};

struct OutImport {
    GuidBytes libid{};
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    uint32_t lcid = 0;
    std::string fileName;
};

struct OutImportRef {
    uint32_t importIndex = 0;
    GuidBytes guid{};
    std::string name;
};

struct Image {
    uint32_t codePage = 0;
    GuidBytes libid{};
    uint32_t lcid = 0;
    uint16_t syskind = 1; // SYS_WIN32
    uint16_t flags = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    std::string name;
    std::optional<std::string> docString;
    std::optional<std::string> helpFile;
    uint32_t helpContext = 0;
    std::vector<OutType> types;
    std::vector<OutImport> imports;
    std::vector<OutImportRef> importRefs;
};

} // namespace tlbc
