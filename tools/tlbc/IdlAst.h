// What the parser makes of an IDL file: declarations, not yet laid out.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tlbc {

struct Attribute {
    std::string name;
    std::vector<std::string> args; // string arguments without their quotes, raw bytes
    int line = 0;
};

struct Attributes {
    std::vector<Attribute> list;

    const Attribute* find(const std::string& name) const
    {
        for (const Attribute& a : list)
            if (a.name == name)
                return &a;
        return nullptr;
    }
    bool has(const std::string& name) const { return find(name) != nullptr; }
};

struct StructDef;

// A type as written: a base (keywords such as "unsigned long", a name, or a
// struct), then pointers and array dimensions.
struct TypeSpec {
    std::string base;               // "unsigned long", "void", "BSTR", ...
    bool isStruct = false;          // base names a struct tag
    std::shared_ptr<StructDef> inlineStruct; // struct defined in place (typedef only)
    int pointers = 0;
    std::vector<uint32_t> dims;
    int line = 0;
};

struct Field {
    Attributes attrs;
    TypeSpec type;
    std::string name;
};

struct StructDef {
    std::string tag;
    std::vector<Field> fields;
    int line = 0;
};

struct Param {
    Attributes attrs;
    TypeSpec type;
    std::string name;
};

struct Method {
    Attributes attrs;
    TypeSpec returnType;
    std::string name;
    std::vector<Param> params;
    int line = 0;
};

struct InterfaceDef {
    Attributes attrs;
    std::string name;
    std::string base;
    std::vector<Method> methods;
    int line = 0;
};

struct Typedef {
    Attributes attrs;
    std::string name;
    TypeSpec type;
};

struct CoclassMember {
    Attributes attrs;
    std::string interfaceName;
    int line = 0;
};

struct CoclassDef {
    Attributes attrs;
    std::string name;
    std::vector<CoclassMember> interfaces;
    int line = 0;
};

// What a library block lists, in the order written.
struct LibraryItem {
    enum Kind { Coclass, Interface, Struct, TypedefName } kind;
    std::string name;
    int line = 0;
};

struct LibraryDef {
    Attributes attrs;
    std::string name;
    std::vector<std::string> importlibs;
    std::vector<LibraryItem> items;
    int line = 0;
};

struct IdlFile {
    std::map<std::string, std::shared_ptr<InterfaceDef>> interfaces; // defined (not only forward-declared)
    std::map<std::string, std::shared_ptr<StructDef>> structs;        // by tag
    std::map<std::string, Typedef> typedefs;
    std::map<std::string, std::shared_ptr<CoclassDef>> coclasses;
    std::optional<LibraryDef> library;
};

} // namespace tlbc
