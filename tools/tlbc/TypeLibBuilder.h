// Lays out a parsed IDL file as a type library for the 32-bit platform.
#pragma once

#include "tools/tlbc/IdlAst.h"
#include "tools/tlbc/ImageModel.h"

namespace tlbc {

// The library's entries are the items its block lists, in order, each followed
// by what it pulls in: a class its interfaces, an interface the records and
// interfaces its methods use. Base interfaces that an imported library
// provides are referred to there, never copied. Throws CompileError.
Image buildImage(const IdlFile& idl, unsigned codePage);

} // namespace tlbc
