#include "server/ModuleInstance.h"

#include "server/InitFailedFlag.h"

namespace {
// Any function of this library will do to find the library's load address.
void moduleAnchor() {}
} // namespace

CModuleInstance::CModuleInstance() : m_hInstance(nullptr), m_csInstance{}
{
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&moduleAnchor), &m_hInstance);
    if (FAILED(m_csInstance.create()))
        g_bInitFailed = true;
}

CModuleInstance::~CModuleInstance()
{
    m_csInstance.destroy();
}
