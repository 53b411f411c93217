// Checks a registry program before it runs, so that a program that the runner
// could misread is refused before it touches the registry.
#pragma once

#include "registry/RegistryProgram.h"

// Levels a program may nest, its root level included.
inline constexpr UINT kMaxProgramLevels = 512;

// S_OK for a well-formed program. E_INVALIDARG when the words or the string
// table are missing. E_FAIL when the program does not start with Root, has no
// End word within its word count, uses an undefined opcode or an unknown root,
// nests unevenly or deeper than kMaxProgramLevels, opens a block with no key
// before it, lets KeepKey or ReplaceKey stand without a Key of the same name
// right after it, names a key with index 0 or an empty text, or indexes past
// the end of a table.
HRESULT checkRegistryProgram(const RegistryProgram& program);
