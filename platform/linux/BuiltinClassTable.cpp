// The classes built into the runtime.
#include "platform/linux/BuiltinClasses.h"
#include "platform/linux/com/BuiltinComClasses.h"
#include "platform/DirectShow.h"
#include "platform/SampleGrabber.h"

namespace comrt {

const char kMediaModule[] = "libcomrt-media.so";

const BuiltinClass kBuiltinClasses[] = {
    {&CLSID_StdGlobalInterfaceTable, createGlobalInterfaceTable, nullptr},
    {&CLSID_FilterGraph, nullptr, kMediaModule},
    {&CLSID_SampleGrabber, nullptr, kMediaModule},
    {&CLSID_NullRenderer, nullptr, kMediaModule},
    {nullptr, nullptr, nullptr},
};

} // namespace comrt
