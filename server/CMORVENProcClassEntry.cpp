// The class entry of CCMORVENProc, the module's one creatable class.
#include "capture/MORVEN.h"
#include "server/AggregatedInstance.h"
#include "server/CachedClassFactory.h"
#include "server/ClassTable.h"
#include "server/SelfRegistration.h"
#include "server/StandaloneInstance.h"

namespace {

// The class entry's instance creator: a null outer selects the standalone form.
HRESULT createInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv)
{
    if (pUnkOuter == nullptr)
        return CStandaloneInstance::create(riid, ppv);
    return CAggregatedInstance::create(pUnkOuter, riid, ppv);
}

const char* description()
{
    return nullptr;
}

// The class declares no component categories.
const CategoryMapEntry* categoryMap()
{
    return nullptr;
}

void objectMain(bool)
{
}

ClassEntry g_classEntryCMORVENProc = {
    &CLSID_CCMORVENProc, &updateRegistryCMORVENProc, &createClassObject, &createInstance, nullptr, 0,
    &description,       &categoryMap,                &objectMain,
};

} // namespace

ClassEntry* g_classEntries[1] = {&g_classEntryCMORVENProc};
