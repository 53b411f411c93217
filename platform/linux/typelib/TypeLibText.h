// Text helpers shared by the type library code: BSTR results, name matching,
// GUID and path forms.
#pragma once

#include "platform/Types.h"

#include <optional>
#include <string>

namespace comrt::typelib {

// Writes a new BSTR (or null for an absent text) through `out` when `out` is
// given. False when memory runs out.
bool storeBstr(BSTR* out, const std::optional<std::u16string>& text);

// Names in a type library match without regard to ASCII case.
bool sameName(const std::u16string& a, const OLECHAR* b);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case.
std::string guidText(REFGUID guid);

// File names: UTF-16 on the interface, UTF-8 on the file system. Empty on
// text that has no UTF-8 form (unpaired surrogates).
std::string utf8FromWide(const OLECHAR* text);
std::u16string wideFromUtf8(const std::string& text);

// Text in the ANSI code page, as the A registry functions take it, and back.
// nullopt when a conversion fails.
std::optional<std::string> ansiFromWide(const std::u16string& text);
std::optional<std::u16string> wideFromAnsi(const std::string& text);

} // namespace comrt::typelib
