#include "tools/tlbc/Compiler.h"

#include "tools/tlbc/IdlParser.h"
#include "tools/tlbc/ImageWriter.h"
#include "tools/tlbc/TypeLibBuilder.h"

namespace tlbc {

std::vector<uint8_t> compileIdl(const std::string& source, unsigned codePage)
{
    return writeImage(buildImage(parseIdl(source, codePage), codePage));
}

} // namespace tlbc
