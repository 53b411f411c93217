// The attribute and description records handed to callers. Each is one heap
// block, the record first and everything it points at after it, so the
// matching Release call frees it with one free().
#pragma once

#include "platform/linux/typelib/TypeLibModel.h"

namespace comrt::typelib {

// Null when memory runs out.
TYPEATTR* makeTypeAttr(const TypeEntry& type, LCID lcid);
FUNCDESC* makeFuncDesc(const Function& function);
VARDESC* makeVarDesc(const Var& var);
TLIBATTR* makeLibAttr(const Library& lib);

void freeDescriptor(void* descriptor);

} // namespace comrt::typelib
