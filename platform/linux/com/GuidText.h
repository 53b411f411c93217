// The braced text form of a GUID, {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#pragma once

#include "platform/Types.h"

#include <string>

namespace comrt {

// Upper-case hexadecimal, as the registry holds it.
std::string guidToText(REFGUID guid);
// Exactly the braced form, hexadecimal in either case; nothing may follow it.
bool parseGuid(const OLECHAR* text, GUID& guid);

} // namespace comrt
