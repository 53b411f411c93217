// The runtime's binary type library image: what the type library compiler
// writes and LoadTypeLib reads. Both sides include this file, and nothing else
// of the runtime, so the compiler builds without the runtime.
//
// Layout: a Header, then record tables, a pool of type descriptions and a pool
// of strings, each table at a 4-byte aligned offset. Little-endian. Strings are
// stored in the code page the header names and converted to UTF-16 on load.
// Sizes, offsets and vtable positions describe the 32-bit platform, which is
// what the libraries declare as their system kind.
#pragma once

#include <cstdint>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the image is read and written in host order");

namespace comrt::tlb {

inline constexpr char kMagic[4] = {'C', 'T', 'L', 'B'};
inline constexpr uint16_t kFormatVersion = 1;

// A module carries its type library in this ELF section: resource TYPELIB 1.
inline constexpr char kResourceSection[] = ".comrt.rsrc.TYPELIB.1";

// An offset that refers to nothing (absent string, no alias type).
inline constexpr uint32_t kNone = 0xFFFFFFFFu;
// Type references: a local type's index, or this bit plus an ImportRef index.
inline constexpr uint32_t kImportedRef = 0x80000000u;
// Deepest type description the reader follows (pointer to pointer to ...).
inline constexpr unsigned kMaxTypeDepth = 16;

// Variant types the image may describe (the platform's VARENUM values).
enum VarType : uint16_t {
    kVtEmpty = 0,
    kVtI2 = 2,
    kVtI4 = 3,
    kVtR4 = 4,
    kVtR8 = 5,
    kVtCy = 6,
    kVtDate = 7,
    kVtBstr = 8,
    kVtDispatch = 9,
    kVtError = 10,
    kVtBool = 11,
    kVtVariant = 12,
    kVtUnknown = 13,
    kVtDecimal = 14,
    kVtI1 = 16,
    kVtUi1 = 17,
    kVtUi2 = 18,
    kVtUi4 = 19,
    kVtI8 = 20,
    kVtUi8 = 21,
    kVtInt = 22,
    kVtUint = 23,
    kVtVoid = 24,
    kVtHresult = 25,
    kVtPtr = 26,
    kVtSafeArray = 27,
    kVtCArray = 28,
    kVtUserDefined = 29,
    kVtLpstr = 30,
    kVtLpwstr = 31,
};

struct StringRef {
    uint32_t offset; // into the string pool, or kNone
    uint32_t length; // bytes, no terminator
};

struct Range {
    uint32_t offset; // from the start of the image
    uint32_t count;  // records, or bytes for the two pools
};

struct Header {
    char magic[4];
    uint16_t version;
    uint16_t headerSize;
    uint32_t imageSize;
    uint32_t codePage;
    uint8_t libid[16]; // a GUID in memory order
    uint32_t lcid;
    uint16_t syskind;
    uint16_t libFlags;
    uint16_t majorVersion;
    uint16_t minorVersion;
    StringRef name;
    StringRef docString;
    StringRef helpFile;
    uint32_t helpContext;
    Range types;
    Range functions;
    Range params;
    Range vars;
    Range impls;
    Range imports;
    Range importRefs;
    Range typeDescs;
    Range strings;
};
static_assert(sizeof(Header) == 144);

struct TypeRecord {
    uint8_t guid[16];
    uint16_t typekind;
    uint16_t typeFlags;
    uint16_t majorVersion;
    uint16_t minorVersion;
    StringRef name;
    StringRef docString;
    uint32_t helpContext;
    uint32_t sizeInstance;
    uint16_t alignment;
    uint16_t sizeVft;
    uint32_t firstFunction;
    uint16_t functionCount;
    uint16_t varCount;
    uint32_t firstVar;
    uint32_t firstImpl;
    uint16_t implCount;
    uint16_t reserved;
    uint32_t aliasType; // type description offset, or kNone
};
static_assert(sizeof(TypeRecord) == 76);

struct FunctionRecord {
    int32_t memid;
    StringRef name;
    StringRef docString;
    uint32_t helpContext;
    uint16_t funckind;
    uint16_t invkind;
    uint16_t callconv;
    int16_t vtableOffset;
    uint16_t funcFlags;
    uint16_t paramCount;
    uint32_t firstParam;
    uint32_t returnType;
};
static_assert(sizeof(FunctionRecord) == 44);

struct ParamRecord {
    StringRef name;
    uint32_t type;
    uint16_t paramFlags;
    uint16_t reserved;
};
static_assert(sizeof(ParamRecord) == 16);

struct VarRecord {
    int32_t memid;
    StringRef name;
    StringRef docString;
    uint32_t helpContext;
    uint32_t type;
    uint32_t instanceOffset;
    uint16_t varFlags;
    uint16_t varkind;
};
static_assert(sizeof(VarRecord) == 36);

struct ImplRecord {
    uint32_t hreftype;
    int32_t implFlags;
};
static_assert(sizeof(ImplRecord) == 8);

struct ImportRecord {
    uint8_t libid[16];
    uint16_t majorVersion;
    uint16_t minorVersion;
    uint32_t lcid;
    StringRef fileName;
};
static_assert(sizeof(ImportRecord) == 32);

struct ImportRefRecord {
    uint32_t importIndex;
    uint8_t guid[16];
    StringRef name;
};
static_assert(sizeof(ImportRefRecord) == 28);

// A type description node in the pool, 4-aligned. kVtPtr and kVtSafeArray refer
// to their element node, kVtCArray to its element node and is followed by
// `dims` ArrayBound records, kVtUserDefined carries a type reference.
struct TypeDescNode {
    uint16_t vt;
    uint16_t dims;
    uint32_t operand;
};
static_assert(sizeof(TypeDescNode) == 8);

struct ArrayBound {
    uint32_t elements;
    int32_t lowerBound;
};
static_assert(sizeof(ArrayBound) == 8);

} // namespace comrt::tlb
