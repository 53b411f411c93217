// Instruction words of a compiled registry program.
//
// One 32-bit word per instruction: bits 31-28 hold the opcode, bits 27-14 the
// name operand (a string-table index, or the root number of a Root word) and
// bits 13-0 the data operand (an index into the string, number or binary table).
#pragma once

#include "platform/Registry.h"

enum class RegOp : DWORD {
    End = 0,
    KeepKey = 1,     // the key that follows is never removed on unregistration
    ReplaceKey = 2,  // the key that follows is deleted and created afresh on registration
    Key = 3,
    // 4 is not defined.
    BeginBlock = 5,
    EndBlock = 6,
    Root = 7,
    StringValue = 8,
    MultiStringValue = 9,
    NumberValue = 10,
    BinaryValue = 11,
    // 12 to 15 are not defined.
};

inline constexpr DWORD kRegOperandMask = 0x3FFF;
// Largest table index an operand can hold.
inline constexpr DWORD kRegMaxOperand = kRegOperandMask;

// Operands are 14 bits wide; higher bits are dropped.
constexpr DWORD encodeRegWord(RegOp op, DWORD nameOperand = 0, DWORD dataOperand = 0)
{
    return (static_cast<DWORD>(op) << 28) | ((nameOperand & kRegOperandMask) << 14) | (dataOperand & kRegOperandMask);
}

// The raw opcode, 0 to 15; it may name no defined operation.
constexpr DWORD regWordOpcode(DWORD word) { return word >> 28; }
constexpr DWORD regWordName(DWORD word) { return (word >> 14) & kRegOperandMask; }
constexpr DWORD regWordData(DWORD word) { return word & kRegOperandMask; }

constexpr RegOp regWordOp(DWORD word) { return static_cast<RegOp>(regWordOpcode(word)); }

constexpr bool isDefinedRegOpcode(DWORD opcode)
{
    return opcode <= 11 && opcode != 4;
}

constexpr bool isRegValueOp(RegOp op)
{
    return op == RegOp::StringValue || op == RegOp::MultiStringValue || op == RegOp::NumberValue ||
           op == RegOp::BinaryValue;
}

// The predefined root key that root number n designates (handle value
// 0x80000000 + n), or null for a number that names no root.
inline HKEY regRootKey(DWORD rootNumber)
{
    switch (rootNumber) {
    case 0:
        return HKEY_CLASSES_ROOT;
    case 1:
        return HKEY_CURRENT_USER;
    case 2:
        return HKEY_LOCAL_MACHINE;
    case 3:
        return HKEY_USERS;
    case 5:
        return HKEY_CURRENT_CONFIG;
    default:
        return nullptr;
    }
}
