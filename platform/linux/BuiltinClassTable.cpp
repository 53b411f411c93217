// The classes built into the runtime.
#include "platform/linux/BuiltinClasses.h"
#include "platform/linux/com/BuiltinComClasses.h"
#include "platform/linux/media/MediaClasses.h"

namespace comrt {

const BuiltinClass kBuiltinClasses[] = {
    {&CLSID_StdGlobalInterfaceTable, createGlobalInterfaceTable},
    {&CLSID_FilterGraph, media::createFilterGraph},
    {&CLSID_SampleGrabber, media::createSampleGrabber},
    {&CLSID_NullRenderer, media::createNullRenderer},
    {nullptr, nullptr},
};

} // namespace comrt
