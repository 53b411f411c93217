// The media module's classes: the filter graph, the Sample Grabber and the
// null renderer. The runtime serves them as built-in classes and makes their
// objects through the module's one export, ComRtCreateObject.
#pragma once

#include "platform/Com.h"
#include "platform/SampleGrabber.h"

namespace comrt::media {

HRESULT createFilterGraph(IUnknown* outer, REFIID riid, void** ppv);
HRESULT createSampleGrabber(IUnknown* outer, REFIID riid, void** ppv);
HRESULT createNullRenderer(IUnknown* outer, REFIID riid, void** ppv);

} // namespace comrt::media
