// Parses the IDL subset the project's type libraries are written in.
#pragma once

#include "tools/tlbc/IdlAst.h"

#include <string>

namespace tlbc {

// Throws CompileError on anything outside the subset.
IdlFile parseIdl(const std::string& source, unsigned codePage);

} // namespace tlbc
