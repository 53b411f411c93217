// Creators of the pipeline's built-in classes, for the runtime's class table.
#pragma once

#include "platform/Com.h"
#include "platform/SampleGrabber.h"

namespace comrt::media {

HRESULT createFilterGraph(IUnknown* outer, REFIID riid, void** ppv);
HRESULT createSampleGrabber(IUnknown* outer, REFIID riid, void** ppv);
HRESULT createNullRenderer(IUnknown* outer, REFIID riid, void** ppv);

} // namespace comrt::media
