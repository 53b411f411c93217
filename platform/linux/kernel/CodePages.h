// Code pages inside the runtime: which one a pseudo code page stands for, which
// ones exist, and how many bytes a character takes in each.
#pragma once

#include "platform/Kernel.h"

#include <cstddef>
#include <string>

namespace comrt {

// The process ANSI code page: COMRT_ACP, a test's choice, or UTF-8.
UINT processAnsiCodePage();
// The ANSI code page of the calling thread's locale (CP_THREAD_ACP).
UINT threadAnsiCodePage();
// The ANSI code page of a locale, or 0 when the locale is unknown.
UINT ansiCodePageOfLocale(LCID locale);
// The OEM code page that goes with an ANSI code page.
UINT oemCodePageFor(UINT ansiCodePage);

// CP_ACP, CP_THREAD_ACP, CP_OEMCP and CP_MACCP made into real code pages.
UINT resolveCodePage(UINT codePage);
// True when text of the (resolved) code page can be converted.
bool isSupportedCodePage(UINT codePage);
// The converter's name for a numbered code page.
std::string iconvNameOf(UINT codePage);

// Lead bytes of the double-byte code pages (932, 936, 949, 950).
bool isDbcsCodePage(UINT codePage);
bool isDbcsLeadByte(UINT codePage, unsigned char byte);

// Bytes of the character that starts at text in the (resolved) code page:
// 0 at the terminator; never reaches past it.
size_t characterLength(UINT codePage, const char* text);

} // namespace comrt
