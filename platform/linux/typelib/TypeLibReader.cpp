// Reading and validating type library images.
#include "platform/linux/typelib/TypeLibReader.h"

#include "platform/Kernel.h"
#include "platform/linux/typelib/TypeLibFormat.h"

#include <cstring>
#include <new>

namespace comrt::typelib {
namespace {

// Thrown inside the reader for any inconsistency; becomes one HRESULT at the edge.
struct Damaged {};

GUID guidFrom(const uint8_t (&bytes)[16])
{
    GUID guid;
    std::memcpy(&guid, bytes, sizeof guid);
    return guid;
}

class ImageReader {
public:
    ImageReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    void readHeader()
    {
        std::memcpy(&m_header, m_data, sizeof m_header);
        if (m_header.headerSize < sizeof(tlb::Header) || m_header.imageSize > m_size ||
            m_header.headerSize > m_header.imageSize)
            throw Damaged{};
        m_size = m_header.imageSize;
        checkRange(m_header.types, sizeof(tlb::TypeRecord));
        checkRange(m_header.functions, sizeof(tlb::FunctionRecord));
        checkRange(m_header.params, sizeof(tlb::ParamRecord));
        checkRange(m_header.vars, sizeof(tlb::VarRecord));
        checkRange(m_header.impls, sizeof(tlb::ImplRecord));
        checkRange(m_header.imports, sizeof(tlb::ImportRecord));
        checkRange(m_header.importRefs, sizeof(tlb::ImportRefRecord));
        checkRange(m_header.typeDescs, 1);
        checkRange(m_header.strings, 1);
    }

    void read(Library& lib)
    {
        const tlb::Header& h = m_header;
        if (h.syskind > SYS_WIN64)
            throw Damaged{};
        lib.libid = guidFrom(h.libid);
        lib.lcid = h.lcid;
        lib.syskind = static_cast<SYSKIND>(h.syskind);
        lib.flags = h.libFlags;
        lib.majorVersion = h.majorVersion;
        lib.minorVersion = h.minorVersion;
        lib.name = name(h.name);
        lib.docString = optionalText(h.docString);
        lib.helpFile = optionalText(h.helpFile);
        lib.helpContext = h.helpContext;

        // References are checked against these counts, so imports come first.
        lib.imports.resize(h.imports.count);
        for (uint32_t i = 0; i < h.imports.count; ++i)
            readImport(record<tlb::ImportRecord>(h.imports, i), lib.imports[i]);
        lib.importRefs.resize(h.importRefs.count);
        for (uint32_t i = 0; i < h.importRefs.count; ++i)
            readImportRef(record<tlb::ImportRefRecord>(h.importRefs, i), lib.importRefs[i]);
        lib.types.resize(h.types.count);
        for (uint32_t i = 0; i < h.types.count; ++i)
            readType(record<tlb::TypeRecord>(h.types, i), lib.types[i]);
        checkInheritance(lib);
    }

private:
    void checkRange(const tlb::Range& range, size_t recordSize) const
    {
        uint64_t end = uint64_t(range.offset) + uint64_t(range.count) * recordSize;
        if (range.offset % 4 != 0 || range.offset < m_header.headerSize || end > m_size)
            throw Damaged{};
    }

    template <typename Record>
    Record record(const tlb::Range& range, uint64_t index) const
    {
        if (index >= range.count)
            throw Damaged{};
        Record r;
        std::memcpy(&r, m_data + range.offset + index * sizeof(Record), sizeof r);
        return r;
    }

    // Members are stored type after type, so each slice must begin where the
    // previous one ended; that also keeps one record from being shared.
    static void takeSlice(const tlb::Range& table, uint32_t& next, uint64_t first, uint64_t count)
    {
        if (first != next || first + count > table.count)
            throw Damaged{};
        next = static_cast<uint32_t>(first + count);
    }

    std::u16string text(const tlb::StringRef& ref) const
    {
        const tlb::Range& pool = m_header.strings;
        if (uint64_t(ref.offset) + ref.length > pool.count)
            throw Damaged{};
        if (ref.length == 0)
            return {};
        if (ref.length > 0x7FFFFFFFu)
            throw Damaged{};
        auto bytes = reinterpret_cast<const char*>(m_data + pool.offset + ref.offset);
        int length = static_cast<int>(ref.length);
        int wide = MultiByteToWideChar(m_header.codePage, MB_ERR_INVALID_CHARS, bytes, length, nullptr, 0);
        if (wide <= 0)
            throw Damaged{};
        std::u16string result(static_cast<size_t>(wide), u'\0');
        if (MultiByteToWideChar(m_header.codePage, MB_ERR_INVALID_CHARS, bytes, length, result.data(), wide) != wide)
            throw Damaged{};
        if (result.find(u'\0') != std::u16string::npos)
            throw Damaged{};
        return result;
    }

    std::optional<std::u16string> optionalText(const tlb::StringRef& ref) const
    {
        if (ref.offset == tlb::kNone)
            return std::nullopt;
        return text(ref);
    }

    std::u16string name(const tlb::StringRef& ref) const
    {
        std::u16string result = text(ref);
        if (result.empty())
            throw Damaged{};
        return result;
    }

    void checkReference(uint32_t hreftype) const
    {
        if (hreftype & tlb::kImportedRef) {
            if ((hreftype & ~tlb::kImportedRef) >= m_header.importRefs.count)
                throw Damaged{};
        } else if (hreftype >= m_header.types.count) {
            throw Damaged{};
        }
    }

    TypeNode typeNode(uint32_t offset, unsigned depth = 0) const
    {
        const tlb::Range& pool = m_header.typeDescs;
        if (depth >= tlb::kMaxTypeDepth || offset % 4 != 0 || uint64_t(offset) + sizeof(tlb::TypeDescNode) > pool.count)
            throw Damaged{};
        tlb::TypeDescNode raw;
        std::memcpy(&raw, m_data + pool.offset + offset, sizeof raw);
        TypeNode node;
        node.vt = raw.vt;
        switch (raw.vt) {
        case tlb::kVtPtr:
        case tlb::kVtSafeArray:
            node.element = std::make_shared<TypeNode>(typeNode(raw.operand, depth + 1));
            break;
        case tlb::kVtCArray: {
            uint64_t boundsAt = uint64_t(offset) + sizeof raw;
            if (raw.dims == 0 || boundsAt + uint64_t(raw.dims) * sizeof(tlb::ArrayBound) > pool.count)
                throw Damaged{};
            for (uint16_t i = 0; i < raw.dims; ++i) {
                tlb::ArrayBound bound;
                std::memcpy(&bound, m_data + pool.offset + boundsAt + i * sizeof bound, sizeof bound);
                node.bounds.push_back({bound.elements, bound.lowerBound});
            }
            node.element = std::make_shared<TypeNode>(typeNode(raw.operand, depth + 1));
            break;
        }
        case tlb::kVtUserDefined:
            checkReference(raw.operand);
            node.hreftype = raw.operand;
            break;
        case tlb::kVtI2: case tlb::kVtI4: case tlb::kVtR4: case tlb::kVtR8: case tlb::kVtCy:
        case tlb::kVtDate: case tlb::kVtBstr: case tlb::kVtDispatch: case tlb::kVtError:
        case tlb::kVtBool: case tlb::kVtVariant: case tlb::kVtUnknown: case tlb::kVtDecimal:
        case tlb::kVtI1: case tlb::kVtUi1: case tlb::kVtUi2: case tlb::kVtUi4: case tlb::kVtI8:
        case tlb::kVtUi8: case tlb::kVtInt: case tlb::kVtUint: case tlb::kVtVoid: case tlb::kVtHresult:
        case tlb::kVtLpstr: case tlb::kVtLpwstr:
            break;
        default:
            throw Damaged{};
        }
        return node;
    }

    // Members an interface does not have are looked up in its base, so a chain
    // of bases within the library must end.
    static void checkInheritance(const Library& lib)
    {
        for (const TypeEntry& type : lib.types) {
            if (type.kind != TKIND_INTERFACE)
                continue;
            if (type.impls.size() > 1)
                throw Damaged{};
            const TypeEntry* current = &type;
            for (size_t steps = 0; !current->impls.empty(); ++steps) {
                HREFTYPE base = current->impls[0].hreftype;
                if (base & tlb::kImportedRef)
                    break;
                if (steps >= lib.types.size() || lib.types[base].kind != TKIND_INTERFACE)
                    throw Damaged{};
                current = &lib.types[base];
            }
        }
    }

    void readImport(const tlb::ImportRecord& r, Import& out) const
    {
        out.libid = guidFrom(r.libid);
        out.majorVersion = r.majorVersion;
        out.minorVersion = r.minorVersion;
        out.lcid = r.lcid;
        out.fileName = text(r.fileName);
    }

    void readImportRef(const tlb::ImportRefRecord& r, ImportRef& out) const
    {
        if (r.importIndex >= m_header.imports.count)
            throw Damaged{};
        out.import = r.importIndex;
        out.guid = guidFrom(r.guid);
        out.name = name(r.name);
    }

    void readType(const tlb::TypeRecord& r, TypeEntry& out)
    {
        if (r.typekind >= TKIND_MAX)
            throw Damaged{};
        out.guid = guidFrom(r.guid);
        out.kind = static_cast<TYPEKIND>(r.typekind);
        out.flags = r.typeFlags;
        out.majorVersion = r.majorVersion;
        out.minorVersion = r.minorVersion;
        out.name = name(r.name);
        out.docString = optionalText(r.docString);
        out.helpContext = r.helpContext;
        out.sizeInstance = r.sizeInstance;
        out.alignment = r.alignment;
        out.sizeVft = r.sizeVft;

        // Each kind carries only the members its kind can have, so the objects
        // never meet, say, a record with base interfaces.
        bool functions = out.kind == TKIND_INTERFACE || out.kind == TKIND_DISPATCH || out.kind == TKIND_MODULE;
        bool vars = out.kind == TKIND_RECORD || out.kind == TKIND_UNION || out.kind == TKIND_ENUM ||
                    out.kind == TKIND_MODULE || out.kind == TKIND_DISPATCH;
        bool impls = out.kind == TKIND_COCLASS || out.kind == TKIND_INTERFACE || out.kind == TKIND_DISPATCH;
        if ((!functions && r.functionCount) || (!vars && r.varCount) || (!impls && r.implCount))
            throw Damaged{};
        if ((out.kind == TKIND_ALIAS) != (r.aliasType != tlb::kNone))
            throw Damaged{};

        takeSlice(m_header.functions, m_nextFunction, r.firstFunction, r.functionCount);
        out.functions.resize(r.functionCount);
        for (uint16_t i = 0; i < r.functionCount; ++i)
            readFunction(record<tlb::FunctionRecord>(m_header.functions, uint64_t(r.firstFunction) + i),
                         out.functions[i]);
        takeSlice(m_header.vars, m_nextVar, r.firstVar, r.varCount);
        out.vars.resize(r.varCount);
        for (uint16_t i = 0; i < r.varCount; ++i)
            readVar(record<tlb::VarRecord>(m_header.vars, uint64_t(r.firstVar) + i), out.vars[i]);
        takeSlice(m_header.impls, m_nextImpl, r.firstImpl, r.implCount);
        out.impls.resize(r.implCount);
        for (uint16_t i = 0; i < r.implCount; ++i) {
            auto impl = record<tlb::ImplRecord>(m_header.impls, uint64_t(r.firstImpl) + i);
            checkReference(impl.hreftype);
            if (impl.implFlags & ~0xF)
                throw Damaged{};
            out.impls[i] = {impl.hreftype, impl.implFlags};
        }
        if (r.aliasType != tlb::kNone)
            out.aliasType = typeNode(r.aliasType);
    }

    void readFunction(const tlb::FunctionRecord& r, Function& out)
    {
        bool invkindValid = r.invkind == INVOKE_FUNC || r.invkind == INVOKE_PROPERTYGET ||
                            r.invkind == INVOKE_PROPERTYPUT || r.invkind == INVOKE_PROPERTYPUTREF;
        if (r.funckind > FUNC_DISPATCH || !invkindValid || r.callconv >= CC_MAX || r.vtableOffset < 0)
            throw Damaged{};
        out.memid = r.memid;
        out.name = name(r.name);
        out.docString = optionalText(r.docString);
        out.helpContext = r.helpContext;
        out.funckind = static_cast<FUNCKIND>(r.funckind);
        out.invkind = static_cast<INVOKEKIND>(r.invkind);
        out.callconv = static_cast<CALLCONV>(r.callconv);
        out.vtableOffset = r.vtableOffset;
        out.flags = r.funcFlags;
        out.returnType = typeNode(r.returnType);
        if (r.paramCount > 0x7FFF)
            throw Damaged{};
        takeSlice(m_header.params, m_nextParam, r.firstParam, r.paramCount);
        out.params.resize(r.paramCount);
        for (uint16_t i = 0; i < r.paramCount; ++i) {
            auto p = record<tlb::ParamRecord>(m_header.params, uint64_t(r.firstParam) + i);
            out.params[i].name = text(p.name);
            out.params[i].type = typeNode(p.type);
            out.params[i].flags = p.paramFlags;
        }
    }

    void readVar(const tlb::VarRecord& r, Var& out) const
    {
        // Constants would need their values stored; the format has none.
        if (r.varkind != VAR_PERINSTANCE)
            throw Damaged{};
        out.memid = r.memid;
        out.name = name(r.name);
        out.docString = optionalText(r.docString);
        out.helpContext = r.helpContext;
        out.type = typeNode(r.type);
        out.instanceOffset = r.instanceOffset;
        out.flags = r.varFlags;
        out.varkind = VAR_PERINSTANCE;
    }

    const uint8_t* m_data;
    size_t m_size;
    tlb::Header m_header{};
    uint32_t m_nextFunction = 0;
    uint32_t m_nextParam = 0;
    uint32_t m_nextVar = 0;
    uint32_t m_nextImpl = 0;
};

} // namespace

bool looksLikeTypeLibrary(const uint8_t* data, size_t size)
{
    return size >= sizeof tlb::kMagic && std::memcmp(data, tlb::kMagic, sizeof tlb::kMagic) == 0;
}

HRESULT readTypeLibrary(const uint8_t* data, size_t size, Library& out)
{
    if (data == nullptr || size < sizeof(tlb::Header) || !looksLikeTypeLibrary(data, size))
        return TYPE_E_CANTLOADLIBRARY;
    uint16_t version;
    std::memcpy(&version, data + offsetof(tlb::Header, version), sizeof version);
    if (version != tlb::kFormatVersion)
        return TYPE_E_UNSUPFORMAT;
    try {
        ImageReader reader(data, size);
        reader.readHeader();
        Library lib;
        reader.read(lib);
        out = std::move(lib);
        return S_OK;
    } catch (const Damaged&) {
        return TYPE_E_CANTLOADLIBRARY;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace comrt::typelib
