// Serialising the image: header, record tables, then the two pools.
#include "tools/tlbc/ImageWriter.h"

#include "platform/linux/typelib/TypeLibFormat.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace tlbc {
namespace tlb = comrt::tlb;
namespace {

class Pools {
public:
    tlb::StringRef text(const std::string& s)
    {
        auto found = m_stringOffsets.find(s);
        uint32_t offset;
        if (found != m_stringOffsets.end()) {
            offset = found->second;
        } else {
            offset = static_cast<uint32_t>(m_strings.size());
            m_strings.insert(m_strings.end(), s.begin(), s.end());
            m_stringOffsets.emplace(s, offset);
        }
        return {offset, static_cast<uint32_t>(s.size())};
    }

    tlb::StringRef optionalText(const std::optional<std::string>& s)
    {
        return s ? text(*s) : tlb::StringRef{tlb::kNone, 0};
    }

    // Elements are written before the node that refers to them; equal
    // descriptions share one node.
    uint32_t type(const TypeDesc& desc)
    {
        uint32_t operand = desc.hreftype;
        if (desc.element)
            operand = type(*desc.element);
        std::vector<uint8_t> bytes(sizeof(tlb::TypeDescNode) + desc.bounds.size() * sizeof(tlb::ArrayBound));
        tlb::TypeDescNode node{desc.vt, static_cast<uint16_t>(desc.bounds.size()), operand};
        std::memcpy(bytes.data(), &node, sizeof node);
        for (size_t i = 0; i < desc.bounds.size(); ++i) {
            tlb::ArrayBound bound{desc.bounds[i].first, desc.bounds[i].second};
            std::memcpy(bytes.data() + sizeof node + i * sizeof bound, &bound, sizeof bound);
        }
        auto found = m_typeOffsets.find(bytes);
        if (found != m_typeOffsets.end())
            return found->second;
        auto offset = static_cast<uint32_t>(m_types.size());
        m_types.insert(m_types.end(), bytes.begin(), bytes.end());
        m_typeOffsets.emplace(bytes, offset);
        return offset;
    }

    const std::vector<uint8_t>& strings() const { return m_strings; }
    const std::vector<uint8_t>& types() const { return m_types; }

private:
    std::vector<uint8_t> m_strings;
    std::map<std::string, uint32_t> m_stringOffsets;
    std::vector<uint8_t> m_types;
    std::map<std::vector<uint8_t>, uint32_t> m_typeOffsets;
};

class Output {
public:
    template <typename Record>
    tlb::Range table(const std::vector<Record>& records)
    {
        align();
        tlb::Range range{static_cast<uint32_t>(m_bytes.size()), static_cast<uint32_t>(records.size())};
        for (const Record& r : records)
            append(&r, sizeof r);
        return range;
    }

    tlb::Range pool(const std::vector<uint8_t>& bytes)
    {
        align();
        tlb::Range range{static_cast<uint32_t>(m_bytes.size()), static_cast<uint32_t>(bytes.size())};
        append(bytes.data(), bytes.size());
        return range;
    }

    void append(const void* data, size_t size)
    {
        auto p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }

    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    void align()
    {
        while (m_bytes.size() % 4 != 0)
            m_bytes.push_back(0);
    }

    std::vector<uint8_t> m_bytes;
};

} // namespace

std::vector<uint8_t> writeImage(const Image& image)
{
    Pools pools;
    std::vector<tlb::TypeRecord> types;
    std::vector<tlb::FunctionRecord> functions;
    std::vector<tlb::ParamRecord> params;
    std::vector<tlb::VarRecord> vars;
    std::vector<tlb::ImplRecord> impls;
    std::vector<tlb::ImportRecord> imports;
    std::vector<tlb::ImportRefRecord> importRefs;

    for (const OutType& t : image.types) {
        tlb::TypeRecord r{};
        std::memcpy(r.guid, t.guid.data(), 16);
        r.typekind = t.kind;
        r.typeFlags = t.flags;
        r.majorVersion = t.majorVersion;
        r.minorVersion = t.minorVersion;
        r.name = pools.text(t.name);
        r.docString = pools.optionalText(t.docString);
        r.helpContext = t.helpContext;
        r.sizeInstance = t.sizeInstance;
        r.alignment = t.alignment;
        r.sizeVft = t.sizeVft;
        r.firstFunction = static_cast<uint32_t>(functions.size());
        r.functionCount = static_cast<uint16_t>(t.functions.size());
        r.firstVar = static_cast<uint32_t>(vars.size());
        r.varCount = static_cast<uint16_t>(t.vars.size());
        r.firstImpl = static_cast<uint32_t>(impls.size());
        r.implCount = static_cast<uint16_t>(t.impls.size());
        r.aliasType = tlb::kNone;
        types.push_back(r);
        for (const OutFunction& f : t.functions) {
            tlb::FunctionRecord fr{};
            fr.memid = f.memid;
            fr.name = pools.text(f.name);
            fr.docString = pools.optionalText(f.docString);
            fr.helpContext = f.helpContext;
            fr.funckind = f.funckind;
            fr.invkind = f.invkind;
            fr.callconv = f.callconv;
            fr.vtableOffset = f.vtableOffset;
            fr.funcFlags = f.flags;
            fr.paramCount = static_cast<uint16_t>(f.params.size());
            fr.firstParam = static_cast<uint32_t>(params.size());
            fr.returnType = pools.type(f.returnType);
            functions.push_back(fr);
            for (const OutParam& p : f.params)
                params.push_back({pools.text(p.name), pools.type(p.type), p.flags, 0});
        }
        for (const OutVar& v : t.vars) {
            tlb::VarRecord vr{};
            vr.memid = v.memid;
            vr.name = pools.text(v.name);
            vr.docString = pools.optionalText(v.docString);
            vr.helpContext = v.helpContext;
            vr.type = pools.type(v.type);
            vr.instanceOffset = v.instanceOffset;
            vr.varFlags = v.flags;
            vr.varkind = 0; // VAR_PERINSTANCE
            vars.push_back(vr);
        }
        for (const OutImpl& i : t.impls)
            impls.push_back({i.hreftype, i.flags});
    }
    for (const OutImport& i : image.imports) {
        tlb::ImportRecord r{};
        std::memcpy(r.libid, i.libid.data(), 16);
        r.majorVersion = i.majorVersion;
        r.minorVersion = i.minorVersion;
        r.lcid = i.lcid;
        r.fileName = pools.text(i.fileName);
        imports.push_back(r);
    }
    for (const OutImportRef& i : image.importRefs) {
        tlb::ImportRefRecord r{};
        r.importIndex = i.importIndex;
        std::memcpy(r.guid, i.guid.data(), 16);
        r.name = pools.text(i.name);
        importRefs.push_back(r);
    }

    tlb::Header h{};
    std::memcpy(h.magic, tlb::kMagic, sizeof h.magic);
    h.version = tlb::kFormatVersion;
    h.headerSize = sizeof h;
    h.codePage = image.codePage;
    std::memcpy(h.libid, image.libid.data(), 16);
    h.lcid = image.lcid;
    h.syskind = image.syskind;
    h.libFlags = image.flags;
    h.majorVersion = image.majorVersion;
    h.minorVersion = image.minorVersion;
    h.name = pools.text(image.name);
    h.docString = pools.optionalText(image.docString);
    h.helpFile = pools.optionalText(image.helpFile);
    h.helpContext = image.helpContext;

    Output out;
    out.append(&h, sizeof h);
    h.types = out.table(types);
    h.functions = out.table(functions);
    h.params = out.table(params);
    h.vars = out.table(vars);
    h.impls = out.table(impls);
    h.imports = out.table(imports);
    h.importRefs = out.table(importRefs);
    h.typeDescs = out.pool(pools.types());
    h.strings = out.pool(pools.strings());
    h.imageSize = static_cast<uint32_t>(out.bytes().size());
    std::memcpy(out.bytes().data(), &h, sizeof h);
    return std::move(out.bytes());
}

std::string embeddingSource(const std::vector<uint8_t>& image, const std::string& sourceName)
{
    std::string out = "// Generated by tlbc from " + sourceName + "; do not edit.\n"
                      "// The module's type library resource, found by LoadTypeLib in this section.\n\n"
                      "__attribute__((section(\"" + std::string(tlb::kResourceSection) + "\"), used))\n"
                      "static const unsigned char kTypeLibraryResource[" + std::to_string(image.size()) + "] = {";
    for (size_t i = 0; i < image.size(); ++i) {
        char byte[16];
        std::snprintf(byte, sizeof byte, "%s0x%02x,", i % 16 == 0 ? "\n    " : " ", image[i]);
        out += byte;
    }
    out += "\n};\n";
    return out;
}

} // namespace tlbc
