// Fault injection into the media pipeline, for tests only. The runtime's
// pipeline consults these switches; a normal process never sets them.
// They exist only in this runtime, not on the real platform: tests that use
// them check COMRT_HAVE_MEDIA_TEST_HOOKS.
#pragma once

#include "Types.h"

#ifndef _WIN32

#define COMRT_HAVE_MEDIA_TEST_HOOKS 1

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

// Clears every switch above.
COMRT_API void ComRtResetMediaHooks();

#endif // _WIN32
