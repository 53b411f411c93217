// The module-wide records. They live in this one file so that they are built
// in this order before DllMain first runs and torn down in the reverse order
// after the last detach.
#include "server/ClassTable.h"
#include "server/InitFailedFlag.h"
#include "server/ModuleInstance.h"
#include "server/ServerModule.h"

bool g_bInitFailed = false;
CModuleInstance g_moduleInstance;
CClassTable g_classTable;
namespace {
CServerModule g_serverModule;
}
