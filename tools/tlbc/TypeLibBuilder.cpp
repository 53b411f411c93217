// From declarations to a laid-out library.
#include "tools/tlbc/TypeLibBuilder.h"

#include "platform/linux/typelib/TypeLibFormat.h"
#include "tools/tlbc/CodePageText.h"
#include "tools/tlbc/CompileError.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

namespace tlbc {
namespace tlb = comrt::tlb;
namespace {

// Type kinds, flags and member id bases of the platform.
enum : uint16_t { kRecord = 1, kInterface = 3, kCoclass = 5 };
constexpr uint16_t kTypeFlagAppObject = 0x1, kTypeFlagCanCreate = 0x2, kTypeFlagLicensed = 0x4,
                   kTypeFlagHidden = 0x10, kTypeFlagControl = 0x20, kTypeFlagNonExtensible = 0x80,
                   kTypeFlagOleAutomation = 0x100, kTypeFlagRestricted = 0x200;
constexpr uint16_t kFuncFlagRestricted = 0x1, kFuncFlagSource = 0x2, kFuncFlagHidden = 0x40;
constexpr uint16_t kParamIn = 0x1, kParamOut = 0x2, kParamLcid = 0x4, kParamRetval = 0x8, kParamOptional = 0x10;
constexpr int32_t kImplDefault = 0x1, kImplSource = 0x2, kImplRestricted = 0x4, kImplDefaultVtable = 0x8;
constexpr uint16_t kLibFlagRestricted = 0x1, kLibFlagControl = 0x2, kLibFlagHidden = 0x4;
constexpr int32_t kFirstMethodId = 0x60000000;
constexpr int32_t kFirstFieldId = 0x40000000;
constexpr uint32_t kPointerSize = 4;
constexpr uint32_t kMaxPacking = 8;

// A library that importlib() can name, with the interfaces it provides.
struct KnownExport {
    const char* name;
    GuidBytes iid;
    int depth;    // base interfaces above it
    int slots;    // vtable slots, its own and inherited
};
struct KnownLibrary {
    const char* fileName;
    GuidBytes libid;
    uint16_t major, minor;
    std::vector<KnownExport> exports;
};

const std::vector<KnownLibrary>& knownLibraries()
{
    static const std::vector<KnownLibrary> libraries = {
        {"stdole2.tlb",
         {0x30, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46},
         2,
         0,
         {{"IUnknown", {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}, 0, 3},
          {"IDispatch", {0x00, 0x04, 0x02, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}, 1, 7}}},
    };
    return libraries;
}

bool sameFileName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

GuidBytes parseGuid(std::string text, int line)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    static const int groups[] = {8, 4, 4, 4, 12};
    std::vector<std::string> parts;
    size_t start = 0;
    for (int g : groups) {
        if (start + g > text.size())
            throw CompileError(line, "bad uuid '" + text + "'");
        parts.push_back(text.substr(start, g));
        start += g;
        if (parts.size() < 5) {
            if (start >= text.size() || text[start] != '-')
                throw CompileError(line, "bad uuid '" + text + "'");
            ++start;
        }
    }
    if (start != text.size())
        throw CompileError(line, "bad uuid '" + text + "'");
    for (const std::string& p : parts)
        for (char c : p)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                throw CompileError(line, "bad uuid '" + text + "'");
    auto value = [](const std::string& hex) { return std::strtoull(hex.c_str(), nullptr, 16); };
    GuidBytes g{};
    uint32_t d1 = static_cast<uint32_t>(value(parts[0]));
    auto d2 = static_cast<uint16_t>(value(parts[1]));
    auto d3 = static_cast<uint16_t>(value(parts[2]));
    for (int i = 0; i < 4; ++i)
        g[i] = static_cast<uint8_t>(d1 >> (8 * i));
    g[4] = static_cast<uint8_t>(d2);
    g[5] = static_cast<uint8_t>(d2 >> 8);
    g[6] = static_cast<uint8_t>(d3);
    g[7] = static_cast<uint8_t>(d3 >> 8);
    std::string tail = parts[3] + parts[4];
    for (int i = 0; i < 8; ++i)
        g[8 + i] = static_cast<uint8_t>(value(tail.substr(2 * i, 2)));
    return g;
}

uint32_t parseNumber(const std::string& text, int line)
{
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || value > 0xFFFFFFFFull)
        throw CompileError(line, "bad number '" + text + "'");
    return static_cast<uint32_t>(value);
}

uint32_t roundUp(uint32_t n, uint32_t to)
{
    return (n + to - 1) / to * to;
}

// A resolved type: its description and, for use by value, its size and alignment.
struct Resolved {
    TypeDesc desc;
    uint32_t size = 0;
    uint32_t alignment = 1;
    bool incomplete = false;  // a record still being laid out
    std::string interfaceName; // set while the type is an interface used without a pointer
};

TypeDesc pointerTo(const TypeDesc& element)
{
    TypeDesc d;
    d.vt = tlb::kVtPtr;
    d.element = std::make_shared<TypeDesc>(element);
    return d;
}

Resolved simple(uint16_t vt, uint32_t size, uint32_t alignment = 0)
{
    Resolved r;
    r.desc.vt = vt;
    r.size = size;
    r.alignment = alignment ? alignment : std::max<uint32_t>(size, 1);
    return r;
}

class Builder {
public:
    Builder(const IdlFile& idl, unsigned codePage) : m_idl(idl), m_check(codePage) { m_image.codePage = codePage; }

    Image run()
    {
        if (!m_idl.library)
            throw CompileError(0, "the file declares no library");
        const LibraryDef& lib = *m_idl.library;
        checkAttributes(lib.attrs, {"uuid", "version", "lcid", "helpstring", "helpcontext", "helpfile", "control",
                                    "hidden", "restricted"});
        m_image.libid = requiredUuid(lib.attrs, lib.line, "library " + lib.name);
        version(lib.attrs, m_image.majorVersion, m_image.minorVersion);
        if (const Attribute* a = single(lib.attrs, "lcid"))
            m_image.lcid = parseNumber(a->args[0], a->line);
        m_image.name = text(lib.name, lib.line);
        m_image.docString = helpString(lib.attrs);
        if (const Attribute* a = single(lib.attrs, "helpfile"))
            m_image.helpFile = text(a->args[0], a->line);
        m_image.helpContext = helpContext(lib.attrs);
        m_image.flags = (lib.attrs.has("restricted") ? kLibFlagRestricted : 0) |
                        (lib.attrs.has("control") ? kLibFlagControl : 0) |
                        (lib.attrs.has("hidden") ? kLibFlagHidden : 0);
        for (const std::string& file : lib.importlibs)
            importLibrary(file, lib.line);

        for (const LibraryItem& item : lib.items) {
            switch (item.kind) {
            case LibraryItem::Coclass:
                addCoclass(item.name);
                break;
            case LibraryItem::Interface:
                addInterface(item.name, item.line);
                break;
            case LibraryItem::Struct:
                addRecord(m_idl.structs.at(item.name), item.name);
                break;
            case LibraryItem::TypedefName:
                addTypedefRecord(item.name, item.line);
                break;
            }
        }
        return std::move(m_image);
    }

private:
    // ---- attributes ----

    static void checkAttributes(const Attributes& attrs, std::initializer_list<const char*> allowed)
    {
        std::set<std::string> seen;
        for (const Attribute& a : attrs.list) {
            if (std::find_if(allowed.begin(), allowed.end(), [&](const char* n) { return a.name == n; }) ==
                allowed.end())
                throw CompileError(a.line, "attribute '" + a.name + "' is not supported here");
            if (!seen.insert(a.name).second)
                throw CompileError(a.line, "attribute '" + a.name + "' is given twice");
        }
    }

    static const Attribute* single(const Attributes& attrs, const char* name)
    {
        const Attribute* a = attrs.find(name);
        if (a != nullptr && a->args.size() != 1)
            throw CompileError(a->line, std::string("attribute '") + name + "' takes one argument");
        return a;
    }

    GuidBytes requiredUuid(const Attributes& attrs, int line, const std::string& what) const
    {
        const Attribute* a = single(attrs, "uuid");
        if (a == nullptr)
            throw CompileError(line, what + " needs a uuid");
        return parseGuid(a->args[0], a->line);
    }

    static void version(const Attributes& attrs, uint16_t& major, uint16_t& minor)
    {
        const Attribute* a = single(attrs, "version");
        if (a == nullptr)
            return;
        const std::string& v = a->args[0];
        size_t dot = v.find('.');
        uint32_t ma = parseNumber(v.substr(0, dot), a->line);
        uint32_t mi = dot == std::string::npos ? 0 : parseNumber(v.substr(dot + 1), a->line);
        if (ma > 0xFFFF || mi > 0xFFFF)
            throw CompileError(a->line, "bad version '" + v + "'");
        major = static_cast<uint16_t>(ma);
        minor = static_cast<uint16_t>(mi);
    }

    std::string text(const std::string& s, int line) const
    {
        if (!m_check.valid(s))
            throw CompileError(line, "text is not valid in code page " + std::to_string(m_image.codePage));
        return s;
    }

    std::optional<std::string> helpString(const Attributes& attrs) const
    {
        const Attribute* a = single(attrs, "helpstring");
        if (a == nullptr)
            return std::nullopt;
        return text(a->args[0], a->line);
    }

    static uint32_t helpContext(const Attributes& attrs)
    {
        const Attribute* a = single(attrs, "helpcontext");
        return a ? parseNumber(a->args[0], a->line) : 0;
    }

    // ---- imports ----

    void importLibrary(const std::string& file, int line)
    {
        for (const KnownLibrary& known : knownLibraries()) {
            if (!sameFileName(known.fileName, file))
                continue;
            OutImport import;
            import.libid = known.libid;
            import.majorVersion = known.major;
            import.minorVersion = known.minor;
            import.fileName = text(file, line);
            m_imports.push_back(&known);
            m_image.imports.push_back(import);
            return;
        }
        throw CompileError(line, "cannot import '" + file + "': only stdole2.tlb is known");
    }

    // The export of an imported library with this name, and that library's index.
    const KnownExport* importedInterface(const std::string& name, uint32_t& importIndex) const
    {
        for (size_t i = 0; i < m_imports.size(); ++i)
            for (const KnownExport& e : m_imports[i]->exports)
                if (e.name == name) {
                    importIndex = static_cast<uint32_t>(i);
                    return &e;
                }
        return nullptr;
    }

    uint32_t importRef(const KnownExport& e, uint32_t importIndex)
    {
        for (size_t i = 0; i < m_image.importRefs.size(); ++i)
            if (m_image.importRefs[i].name == e.name && m_image.importRefs[i].importIndex == importIndex)
                return tlb::kImportedRef | static_cast<uint32_t>(i);
        m_image.importRefs.push_back({importIndex, e.iid, e.name});
        return tlb::kImportedRef | static_cast<uint32_t>(m_image.importRefs.size() - 1);
    }

    // ---- types ----

    Resolved resolveBase(const TypeSpec& declared)
    {
        if (declared.inlineStruct)
            return recordType(addRecord(declared.inlineStruct, declared.inlineStruct->tag));
        if (declared.isStruct) {
            auto found = m_idl.structs.find(declared.base);
            if (found == m_idl.structs.end())
                throw CompileError(declared.line, "struct " + declared.base + " is not defined");
            return recordType(addRecord(found->second, declared.base));
        }
        static const std::map<std::string, Resolved> builtins = {
            {"void", simple(tlb::kVtVoid, 0)},           {"char", simple(tlb::kVtI1, 1)},
            {"small", simple(tlb::kVtI1, 1)},            {"unsigned char", simple(tlb::kVtUi1, 1)},
            {"unsigned small", simple(tlb::kVtUi1, 1)},  {"byte", simple(tlb::kVtUi1, 1)},
            {"boolean", simple(tlb::kVtUi1, 1)},         {"short", simple(tlb::kVtI2, 2)},
            {"unsigned short", simple(tlb::kVtUi2, 2)},  {"wchar_t", simple(tlb::kVtUi2, 2)},
            {"int", simple(tlb::kVtInt, 4)},             {"unsigned int", simple(tlb::kVtUint, 4)},
            {"long", simple(tlb::kVtI4, 4)},             {"unsigned long", simple(tlb::kVtUi4, 4)},
            {"hyper", simple(tlb::kVtI8, 8)},            {"unsigned hyper", simple(tlb::kVtUi8, 8)},
            {"float", simple(tlb::kVtR4, 4)},            {"double", simple(tlb::kVtR8, 8)},
        };
        // Automation types are known by name, whatever the file declares them as.
        static const std::map<std::string, Resolved> automation = {
            {"HRESULT", simple(tlb::kVtHresult, 4)}, {"SCODE", simple(tlb::kVtError, 4)},
            {"BSTR", simple(tlb::kVtBstr, kPointerSize)}, {"VARIANT_BOOL", simple(tlb::kVtBool, 2)},
            {"LPSTR", simple(tlb::kVtLpstr, kPointerSize)}, {"LPWSTR", simple(tlb::kVtLpwstr, kPointerSize)},
            {"VARIANT", simple(tlb::kVtVariant, 16, 8)}, {"CURRENCY", simple(tlb::kVtCy, 8)},
            {"DATE", simple(tlb::kVtDate, 8)}, {"DECIMAL", simple(tlb::kVtDecimal, 16, 8)},
        };
        if (auto b = builtins.find(declared.base); b != builtins.end())
            return b->second;
        if (auto a = automation.find(declared.base); a != automation.end())
            return a->second;
        if (auto t = m_idl.typedefs.find(declared.base); t != m_idl.typedefs.end()) {
            if (!m_resolvingTypedefs.insert(declared.base).second)
                throw CompileError(declared.line, "type " + declared.base + " is defined through itself");
            Resolved r = resolve(t->second.type, t->first);
            m_resolvingTypedefs.erase(declared.base);
            return r;
        }
        uint32_t importIndex = 0;
        if (m_idl.interfaces.count(declared.base) || importedInterface(declared.base, importIndex)) {
            Resolved r;
            r.interfaceName = declared.base;
            return r;
        }
        throw CompileError(declared.line, "unknown type '" + declared.base + "'");
    }

    // `recordName` names a struct defined in place without a tag.
    Resolved resolve(const TypeSpec& declared, const std::string& recordName = {})
    {
        Resolved r;
        if (declared.inlineStruct && declared.inlineStruct->tag.empty())
            r = recordType(addRecord(declared.inlineStruct, recordName));
        else
            r = resolveBase(declared);
        int pointers = declared.pointers;
        if (!r.interfaceName.empty()) {
            if (pointers == 0)
                throw CompileError(declared.line, "interface " + r.interfaceName + " used without a pointer");
            // A pointer to an interface is an object reference.
            if (r.interfaceName == "IUnknown") {
                r = simple(tlb::kVtUnknown, kPointerSize);
            } else if (r.interfaceName == "IDispatch") {
                r = simple(tlb::kVtDispatch, kPointerSize);
            } else {
                TypeDesc ref;
                ref.vt = tlb::kVtUserDefined;
                ref.hreftype = addInterface(r.interfaceName, declared.line);
                r = simple(tlb::kVtPtr, kPointerSize);
                r.desc = pointerTo(ref);
            }
            --pointers;
        }
        for (int i = 0; i < pointers; ++i) {
            TypeDesc element = r.desc;
            r = simple(tlb::kVtPtr, kPointerSize);
            r.desc = pointerTo(element);
        }
        if (!declared.dims.empty()) {
            if (r.incomplete || r.desc.vt == tlb::kVtVoid)
                throw CompileError(declared.line, "array of an incomplete type");
            TypeDesc array;
            array.vt = tlb::kVtCArray;
            array.element = std::make_shared<TypeDesc>(r.desc);
            uint64_t size = r.size;
            for (uint32_t d : declared.dims) {
                array.bounds.push_back({d, 0});
                size *= d;
            }
            if (size > 0xFFFFFFFFull)
                throw CompileError(declared.line, "array too large");
            r.desc = array;
            r.size = static_cast<uint32_t>(size);
        }
        return r;
    }

    Resolved recordType(uint32_t index)
    {
        Resolved r;
        r.desc.vt = tlb::kVtUserDefined;
        r.desc.hreftype = index;
        r.incomplete = m_recordsInProgress.count(index) > 0;
        r.size = m_image.types[index].sizeInstance;
        r.alignment = std::max<uint32_t>(m_image.types[index].alignment, 1);
        return r;
    }

    uint32_t addRecord(const std::shared_ptr<StructDef>& def, const std::string& name)
    {
        if (auto found = m_records.find(def.get()); found != m_records.end())
            return found->second;
        if (name.empty())
            throw CompileError(def->line, "a struct in a library needs a name");
        auto index = static_cast<uint32_t>(m_image.types.size());
        m_records.emplace(def.get(), index);
        m_recordsInProgress.insert(index);
        OutType type;
        type.kind = kRecord;
        type.name = text(name, def->line);
        m_image.types.push_back(std::move(type));

        std::vector<OutVar> vars;
        uint32_t offset = 0;
        uint32_t alignment = 1;
        for (size_t i = 0; i < def->fields.size(); ++i) {
            const Field& field = def->fields[i];
            checkAttributes(field.attrs, {"helpstring", "helpcontext"});
            Resolved r = resolve(field.type);
            if (r.incomplete)
                throw CompileError(field.type.line, "struct " + name + " contains itself");
            if (r.desc.vt == tlb::kVtVoid)
                throw CompileError(field.type.line, "field " + field.name + " has no size");
            uint32_t fieldAlignment = std::min(r.alignment, kMaxPacking);
            offset = roundUp(offset, fieldAlignment);
            OutVar var;
            var.memid = kFirstFieldId + static_cast<int32_t>(i);
            var.name = text(field.name, field.type.line);
            var.docString = helpString(field.attrs);
            var.helpContext = helpContext(field.attrs);
            var.type = r.desc;
            var.instanceOffset = offset;
            vars.push_back(std::move(var));
            offset += r.size;
            alignment = std::max(alignment, fieldAlignment);
        }
        OutType& type2 = m_image.types[index];
        type2.vars = std::move(vars);
        type2.sizeInstance = roundUp(offset, alignment);
        type2.alignment = static_cast<uint16_t>(alignment);
        m_recordsInProgress.erase(index);
        return index;
    }

    void addTypedefRecord(const std::string& name, int line)
    {
        const Typedef& t = m_idl.typedefs.at(name);
        checkAttributes(t.attrs, {});
        const TypeSpec& declared = t.type;
        if ((!declared.isStruct && !declared.inlineStruct) || declared.pointers || !declared.dims.empty())
            throw CompileError(line, "only struct types can be listed in a library; " + name + " is not one");
        if (declared.inlineStruct) {
            addRecord(declared.inlineStruct, declared.inlineStruct->tag.empty() ? name : declared.inlineStruct->tag);
            return;
        }
        auto found = m_idl.structs.find(declared.base);
        if (found == m_idl.structs.end())
            throw CompileError(line, "struct " + declared.base + " is not defined");
        addRecord(found->second, declared.base);
    }

    // Depth below the root interface, and vtable slots including inherited ones.
    std::pair<int, int> interfaceShape(const std::string& name, int line, int guard = 0)
    {
        if (guard > 64)
            throw CompileError(line, "interface " + name + " derives from itself");
        if (auto found = m_idl.interfaces.find(name); found != m_idl.interfaces.end()) {
            const InterfaceDef& def = *found->second;
            int methods = static_cast<int>(def.methods.size());
            if (def.base.empty())
                return {0, methods};
            auto [depth, slots] = interfaceShape(def.base, def.line, guard + 1);
            return {depth + 1, slots + methods};
        }
        uint32_t importIndex = 0;
        if (const KnownExport* e = importedInterface(name, importIndex))
            return {e->depth, e->slots};
        throw CompileError(line, "interface " + name + " is not defined");
    }

    uint32_t addInterface(const std::string& name, int line)
    {
        uint32_t importIndex = 0;
        if (const KnownExport* e = importedInterface(name, importIndex))
            return importRef(*e, importIndex);
        if (auto found = m_interfaces.find(name); found != m_interfaces.end())
            return found->second;
        auto found = m_idl.interfaces.find(name);
        if (found == m_idl.interfaces.end())
            throw CompileError(line, "interface " + name + " is not defined");
        const InterfaceDef& def = *found->second;
        checkAttributes(def.attrs, {"uuid", "object", "version", "helpstring", "helpcontext", "pointer_default",
                                    "oleautomation", "hidden", "restricted", "nonextensible", "local"});
        if (!def.attrs.has("object"))
            throw CompileError(def.line, "interface " + name + " is not an object interface");
        if (def.base.empty())
            throw CompileError(def.line, "interface " + name + " has no base interface; the root interface comes from "
                                         "an imported library");
        if (!m_interfacesInProgress.insert(name).second)
            throw CompileError(def.line, "interface " + name + " derives from itself");
        auto [depth, slots] = interfaceShape(name, def.line);
        int baseSlots = slots - static_cast<int>(def.methods.size());
        uint32_t baseRef = addInterface(def.base, def.line); // a base defined here comes first

        auto index = static_cast<uint32_t>(m_image.types.size());
        m_interfaces.emplace(name, index);
        OutType type;
        type.kind = kInterface;
        type.guid = requiredUuid(def.attrs, def.line, "interface " + name);
        type.name = text(name, def.line);
        version(def.attrs, type.majorVersion, type.minorVersion);
        type.docString = helpString(def.attrs);
        type.helpContext = helpContext(def.attrs);
        type.flags = (def.attrs.has("oleautomation") ? kTypeFlagOleAutomation : 0) |
                     (def.attrs.has("hidden") ? kTypeFlagHidden : 0) |
                     (def.attrs.has("restricted") ? kTypeFlagRestricted : 0) |
                     (def.attrs.has("nonextensible") ? kTypeFlagNonExtensible : 0);
        type.sizeInstance = kPointerSize;
        type.alignment = kPointerSize;
        if (slots * kPointerSize > 0xFFFF)
            throw CompileError(def.line, "interface " + name + " has too many methods");
        type.sizeVft = static_cast<uint16_t>(slots * kPointerSize);
        type.impls.push_back({baseRef, 0});
        m_image.types.push_back(std::move(type));

        // Methods come after the entry, so the records they use follow it.
        std::vector<OutFunction> functions;
        for (size_t i = 0; i < def.methods.size(); ++i)
            functions.push_back(method(def.methods[i], depth, baseSlots + static_cast<int>(i), i));
        m_image.types[index].functions = std::move(functions);
        m_interfacesInProgress.erase(name);
        return index;
    }

    OutFunction method(const Method& m, int depth, int slot, size_t position)
    {
        checkAttributes(m.attrs, {"id", "helpstring", "helpcontext", "restricted", "hidden", "source", "propget",
                                  "propput", "propputref", "local"});
        OutFunction f;
        if (const Attribute* id = single(m.attrs, "id"))
            f.memid = static_cast<int32_t>(parseNumber(id->args[0], id->line));
        else
            f.memid = kFirstMethodId | (depth << 16) | static_cast<int32_t>(position);
        f.name = text(m.name, m.line);
        f.docString = helpString(m.attrs);
        f.helpContext = helpContext(m.attrs);
        f.invkind = m.attrs.has("propget") ? 2 : m.attrs.has("propput") ? 4 : m.attrs.has("propputref") ? 8 : 1;
        f.vtableOffset = static_cast<int16_t>(slot * kPointerSize);
        f.flags = (m.attrs.has("restricted") ? kFuncFlagRestricted : 0) |
                  (m.attrs.has("source") ? kFuncFlagSource : 0) | (m.attrs.has("hidden") ? kFuncFlagHidden : 0);
        f.returnType = resolve(m.returnType).desc;
        for (const Param& p : m.params) {
            checkAttributes(p.attrs, {"in", "out", "retval", "optional", "lcid", "iid_is", "size_is", "length_is",
                                      "string", "unique", "ref", "ptr"});
            Resolved r = resolve(p.type);
            if (r.desc.vt == tlb::kVtVoid)
                throw CompileError(p.type.line, "parameter " + p.name + " has no size");
            OutParam param;
            param.name = text(p.name, p.type.line);
            param.type = r.desc;
            param.flags = (p.attrs.has("in") ? kParamIn : 0) | (p.attrs.has("out") ? kParamOut : 0) |
                          (p.attrs.has("retval") ? kParamRetval : 0) | (p.attrs.has("optional") ? kParamOptional : 0) |
                          (p.attrs.has("lcid") ? kParamLcid : 0);
            f.params.push_back(std::move(param));
        }
        return f;
    }

    void addCoclass(const std::string& name)
    {
        const CoclassDef& def = *m_idl.coclasses.at(name);
        checkAttributes(def.attrs, {"uuid", "version", "helpstring", "helpcontext", "noncreatable", "appobject",
                                    "control", "hidden", "licensed", "restricted"});
        OutType type;
        type.kind = kCoclass;
        type.guid = requiredUuid(def.attrs, def.line, "coclass " + name);
        type.name = text(name, def.line);
        version(def.attrs, type.majorVersion, type.minorVersion);
        type.docString = helpString(def.attrs);
        type.helpContext = helpContext(def.attrs);
        type.flags = (def.attrs.has("noncreatable") ? 0 : kTypeFlagCanCreate) |
                     (def.attrs.has("appobject") ? kTypeFlagAppObject : 0) |
                     (def.attrs.has("control") ? kTypeFlagControl : 0) |
                     (def.attrs.has("hidden") ? kTypeFlagHidden : 0) |
                     (def.attrs.has("licensed") ? kTypeFlagLicensed : 0) |
                     (def.attrs.has("restricted") ? kTypeFlagRestricted : 0);
        type.sizeInstance = kPointerSize;
        type.alignment = kPointerSize;
        auto index = m_image.types.size();
        m_image.types.push_back(std::move(type));

        std::vector<OutImpl> impls;
        for (const CoclassMember& member : def.interfaces) {
            checkAttributes(member.attrs, {"default", "source", "restricted", "defaultvtable"});
            OutImpl impl;
            impl.hreftype = addInterface(member.interfaceName, member.line);
            impl.flags = (member.attrs.has("default") ? kImplDefault : 0) |
                         (member.attrs.has("source") ? kImplSource : 0) |
                         (member.attrs.has("restricted") ? kImplRestricted : 0) |
                         (member.attrs.has("defaultvtable") ? kImplDefaultVtable : 0);
            impls.push_back(impl);
        }
        m_image.types[index].impls = std::move(impls);
    }

    const IdlFile& m_idl;
    CodePageCheck m_check;
    Image m_image;
    std::vector<const KnownLibrary*> m_imports;
    std::map<std::string, uint32_t> m_interfaces;
    std::set<std::string> m_interfacesInProgress;
    std::map<const StructDef*, uint32_t> m_records;
    std::set<uint32_t> m_recordsInProgress;
    std::set<std::string> m_resolvingTypedefs;
};

} // namespace

Image buildImage(const IdlFile& idl, unsigned codePage)
{
    return Builder(idl, codePage).run();
}

} // namespace tlbc
