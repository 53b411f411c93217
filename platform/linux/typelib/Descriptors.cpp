// Building the caller-owned description records.
#include "platform/linux/typelib/Descriptors.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace comrt::typelib {
namespace {

constexpr size_t align(size_t n) { return (n + 7) & ~size_t(7); }

size_t arrayDescSize(const TypeNode& node)
{
    return align(std::max(sizeof(ARRAYDESC), offsetof(ARRAYDESC, rgbounds) + node.bounds.size() * sizeof(SAFEARRAYBOUND)));
}

// Bytes a type description needs beyond the TYPEDESC embedded in its owner.
size_t nestedSize(const TypeNode& node)
{
    switch (node.vt) {
    case VT_PTR:
    case VT_SAFEARRAY:
        return align(sizeof(TYPEDESC)) + nestedSize(*node.element);
    case VT_CARRAY:
        return arrayDescSize(node) + nestedSize(*node.element);
    default:
        return 0;
    }
}

// Hands out consecutive pieces of the block after the record itself.
class Bump {
public:
    explicit Bump(uint8_t* next) : m_next(next) {}
    template <typename T>
    T* take(size_t size)
    {
        T* p = reinterpret_cast<T*>(m_next);
        m_next += align(size);
        return p;
    }

private:
    uint8_t* m_next;
};

void fillTypeDesc(TYPEDESC& out, const TypeNode& node, Bump& bump)
{
    out.vt = node.vt;
    switch (node.vt) {
    case VT_PTR:
    case VT_SAFEARRAY:
        out.lptdesc = bump.take<TYPEDESC>(sizeof(TYPEDESC));
        fillTypeDesc(*out.lptdesc, *node.element, bump);
        break;
    case VT_CARRAY: {
        ARRAYDESC* array = bump.take<ARRAYDESC>(arrayDescSize(node));
        array->cDims = static_cast<USHORT>(node.bounds.size());
        std::copy(node.bounds.begin(), node.bounds.end(), array->rgbounds);
        fillTypeDesc(array->tdescElem, *node.element, bump);
        out.lpadesc = array;
        break;
    }
    case VT_USERDEFINED:
        out.hreftype = node.hreftype;
        break;
    default:
        break;
    }
}

template <typename Record>
Record* allocate(size_t extra, Bump& bump)
{
    void* block = std::calloc(1, align(sizeof(Record)) + extra);
    bump = Bump(static_cast<uint8_t*>(block) + align(sizeof(Record)));
    return static_cast<Record*>(block);
}

} // namespace

TYPEATTR* makeTypeAttr(const TypeEntry& type, LCID lcid)
{
    Bump bump(nullptr);
    auto* attr = allocate<TYPEATTR>(type.aliasType ? nestedSize(*type.aliasType) : 0, bump);
    if (attr == nullptr)
        return nullptr;
    attr->guid = type.guid;
    attr->lcid = lcid;
    attr->memidConstructor = MEMBERID_NIL;
    attr->memidDestructor = MEMBERID_NIL;
    attr->cbSizeInstance = type.sizeInstance;
    attr->typekind = type.kind;
    attr->cFuncs = static_cast<WORD>(type.functions.size());
    attr->cVars = static_cast<WORD>(type.vars.size());
    attr->cImplTypes = static_cast<WORD>(type.impls.size());
    attr->cbSizeVft = type.sizeVft;
    attr->cbAlignment = type.alignment;
    attr->wTypeFlags = type.flags;
    attr->wMajorVerNum = type.majorVersion;
    attr->wMinorVerNum = type.minorVersion;
    if (type.aliasType)
        fillTypeDesc(attr->tdescAlias, *type.aliasType, bump);
    else
        attr->tdescAlias.vt = VT_EMPTY;
    return attr;
}

FUNCDESC* makeFuncDesc(const Function& function)
{
    size_t extra = nestedSize(function.returnType) + align(function.params.size() * sizeof(ELEMDESC));
    for (const Param& param : function.params)
        extra += nestedSize(param.type);
    Bump bump(nullptr);
    auto* desc = allocate<FUNCDESC>(extra, bump);
    if (desc == nullptr)
        return nullptr;
    desc->memid = function.memid;
    desc->funckind = function.funckind;
    desc->invkind = function.invkind;
    desc->callconv = function.callconv;
    desc->cParams = static_cast<SHORT>(function.params.size());
    desc->oVft = function.vtableOffset;
    desc->wFuncFlags = function.flags;
    for (const Param& param : function.params)
        if (param.flags & PARAMFLAG_FOPT)
            ++desc->cParamsOpt;
    fillTypeDesc(desc->elemdescFunc.tdesc, function.returnType, bump);
    if (!function.params.empty()) {
        desc->lprgelemdescParam = bump.take<ELEMDESC>(function.params.size() * sizeof(ELEMDESC));
        for (size_t i = 0; i < function.params.size(); ++i) {
            ELEMDESC& elem = desc->lprgelemdescParam[i];
            fillTypeDesc(elem.tdesc, function.params[i].type, bump);
            elem.paramdesc.wParamFlags = function.params[i].flags;
        }
    }
    return desc;
}

VARDESC* makeVarDesc(const Var& var)
{
    Bump bump(nullptr);
    auto* desc = allocate<VARDESC>(nestedSize(var.type), bump);
    if (desc == nullptr)
        return nullptr;
    desc->memid = var.memid;
    desc->oInst = var.instanceOffset;
    fillTypeDesc(desc->elemdescVar.tdesc, var.type, bump);
    desc->wVarFlags = var.flags;
    desc->varkind = var.varkind;
    return desc;
}

TLIBATTR* makeLibAttr(const Library& lib)
{
    auto* attr = static_cast<TLIBATTR*>(std::calloc(1, sizeof(TLIBATTR)));
    if (attr == nullptr)
        return nullptr;
    attr->guid = lib.libid;
    attr->lcid = lib.lcid;
    attr->syskind = lib.syskind;
    attr->wMajorVerNum = lib.majorVersion;
    attr->wMinorVerNum = lib.minorVersion;
    attr->wLibFlags = lib.flags;
    return attr;
}

void freeDescriptor(void* descriptor)
{
    std::free(descriptor);
}

} // namespace comrt::typelib
