// Fault injection and answers on demand, for tests of code built on the Linux
// platform runtime. The real platform has none of these.
#pragma once

#include "Types.h"

#ifndef _WIN32

// After `skip` more successful creations, the next `count` creations through
// InitializeCriticalSectionAndSpinCount fail as if the system had raised
// `status` (STATUS_NO_MEMORY gives ERROR_NOT_ENOUGH_MEMORY, anything else
// ERROR_INVALID_PARAMETER). A count of 0 switches the failures off.
COMRT_API void ComRtFailCriticalSections(LONG skip, LONG count, DWORD status);

// What GetVersionExA reports, until reset to NT 6.2.
COMRT_API void ComRtSetVersionAnswer(DWORD platformId, DWORD major, DWORD minor);
COMRT_API void ComRtResetVersionAnswer();

// The process ANSI code page (0 restores the default: COMRT_ACP, else UTF-8).
COMRT_API void ComRtSetAnsiCodePage(UINT cp);

// The text GetLocaleInfoA answers for LOCALE_IDEFAULTANSICODEPAGE, whatever the
// locale; null returns to the real answer.
COMRT_API void ComRtSetAnsiCodePageText(const char* text);

// Replaces what MessageBoxA does; returns the previous handler. Null restores
// the default, which writes the box to standard error and answers IDOK.
typedef int (*ComRtMessageBoxHandler)(HWND, LPCSTR text, LPCSTR caption, UINT type);
COMRT_API ComRtMessageBoxHandler ComRtSetMessageBoxHandler(ComRtMessageBoxHandler handler);

#endif // _WIN32
