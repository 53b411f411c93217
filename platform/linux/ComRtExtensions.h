// The Linux runtime's own extensions: calls the real platform does not have,
// all under the ComRt prefix. Setting the message-box handler is a host
// facility; everything else is for tests only (fault injection and fixed
// answers), and a normal process never calls it.
#pragma once

#include "platform/Types.h"

// ---- Host facility ----

// Replaces what MessageBoxA does, for the whole process; returns the previous
// handler. A GUI host shows a real dialog here, a test records the boxes.
// Null restores the default, which writes the box to standard error and
// answers IDOK.
typedef int (*ComRtMessageBoxHandler)(HWND, LPCSTR text, LPCSTR caption, UINT type);
COMRT_API ComRtMessageBoxHandler ComRtSetMessageBoxHandler(ComRtMessageBoxHandler handler);

// ---- Test hooks: kernel ----

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

// ---- Test hooks: registry ----

// Closes this process's connection to the registry database, which writes its log back
// into the file. The next registry call opens the file again; open handles stay valid.
COMRT_API void ComRtCloseRegistryStore(void);

// The registry calls a test can make fail.
enum ComRtRegistryCall {
    COMRT_REG_OPEN_KEY,       // RegOpenKeyExA
    COMRT_REG_CREATE_KEY,     // RegCreateKeyExA
    COMRT_REG_SET_VALUE,      // RegSetValueExA
    COMRT_REG_QUERY_VALUE,    // RegQueryValueExA
    COMRT_REG_DELETE_KEY,     // RegDeleteKeyA
    COMRT_REG_DELETE_TREE,    // RegDeleteTreeA
    COMRT_REG_DELETE_VALUE,   // RegDeleteValueA
    COMRT_REG_ENUM_KEY,       // RegEnumKeyExA
    COMRT_REG_ENUM_VALUE,     // RegEnumValueA
    COMRT_REG_QUERY_INFO_KEY, // RegQueryInfoKeyA
    COMRT_REG_CALL_COUNT
};

// After `skip` more calls of `call` in this process, the next one answers
// `error` (a Win32 code) and does nothing else: the registry is untouched and
// an out handle is null. The calls after it go through again. A new plan for
// the same call replaces the old; ERROR_SUCCESS cancels it.
COMRT_API void ComRtFailRegistryCall(ComRtRegistryCall call, LONG skip, LONG error);

// How many calls of `call` this process has made since the last reset, the
// failed ones included: a test counts a clean run's calls, then fails each.
COMRT_API LONG ComRtRegistryCallsMade(ComRtRegistryCall call);

// Cancels every planned registry failure and sets the counts to 0.
COMRT_API void ComRtResetRegistryHooks();

// ---- Test hooks: media pipeline ----

// The pipeline steps a capture session takes, in the order it takes them.
enum ComRtMediaStep {
    COMRT_MEDIA_CREATE_GRAPH,             // CoCreateInstance(CLSID_FilterGraph)
    COMRT_MEDIA_QUERY_MEDIA_CONTROL,      // graph QueryInterface(IID_IMediaControl)
    COMRT_MEDIA_QUERY_MEDIA_EVENT,        // graph QueryInterface(IID_IMediaEvent)
    COMRT_MEDIA_QUERY_MEDIA_SEEKING,      // graph QueryInterface(IID_IMediaSeeking)
    COMRT_MEDIA_ADD_SOURCE_FILTER,        // IGraphBuilder::AddSourceFilter
    COMRT_MEDIA_CREATE_SAMPLE_GRABBER,    // CoCreateInstance(CLSID_SampleGrabber)
    COMRT_MEDIA_QUERY_SAMPLE_GRABBER,     // grabber QueryInterface(IID_ISampleGrabber)
    COMRT_MEDIA_CONNECT,                  // IGraphBuilder::Connect
    COMRT_MEDIA_RENDER,                   // IGraphBuilder::Render
    COMRT_MEDIA_GET_CONNECTED_MEDIA_TYPE, // ISampleGrabber::GetConnectedMediaType
    COMRT_MEDIA_STEP_COUNT
};

// From now on `step` fails with `hr` (a failure code) until the hooks are
// reset; a QueryInterface step answers hr and writes null. S_OK clears it.
COMRT_API void ComRtFailMediaStep(ComRtMediaStep step, HRESULT hr);

// The colour converter offers top-down frames: the connected format has a
// negative biHeight and the first row in memory is the top row.
COMRT_API void ComRtSetMediaTopDownOutput(BOOL topDown);

// Run completes (EC_COMPLETE) without any sample reaching the grabber.
COMRT_API void ComRtSetMediaDeliverNoSample(BOOL noSample);

// Run ends in an error (EC_ERRORABORT with `hr`, a failure code) before any
// sample reaches the grabber, as a decoder that fails mid-stream ends it. S_OK clears it.
COMRT_API void ComRtSetMediaAbortRun(HRESULT hr);

// What the Connect step does to the whole process when the file being connected
// is one a test named: it crashes (SIGSEGV) or stalls for ever, the way a decoder
// fault would. A file is named by a text its path contains; null or "" disarms.
// Child processes are armed through their environment instead, read once at the
// first step: COMRT_MEDIA_TEST_CRASH=TEXT, COMRT_MEDIA_TEST_STALL=TEXT.
enum ComRtMediaFault {
    COMRT_MEDIA_FAULT_CRASH,
    COMRT_MEDIA_FAULT_STALL,
    COMRT_MEDIA_FAULT_COUNT
};
COMRT_API void ComRtSetMediaFault(ComRtMediaFault fault, const char* pathContains);

// How many first pictures were converted while they were decoded (the
// conversion overlapping the decode), since the last reset: a test learns
// which way its picture went.
COMRT_API LONG ComRtMediaPicturesConvertedWhileDecoded();

// Clears every media switch above, and the count.
COMRT_API void ComRtResetMediaHooks();
