#include "tests/support/ScratchRegistry.h"

#include "platform/linux/ComRtExtensions.h"

#include <cstdlib>

namespace testkit {

namespace {

constexpr char kRegistryVariable[] = "COMRT_REGISTRY";

} // namespace

ScratchRegistry::ScratchRegistry() : m_directory("morven-registry", ScratchDirectory::Storage::Memory)
{
    if (const char* previous = std::getenv(kRegistryVariable))
        m_previous = previous;
    setenv(kRegistryVariable, path().c_str(), 1);
}

ScratchRegistry::~ScratchRegistry()
{
    // Nothing may keep the file open once it is gone.
    ComRtCloseRegistryStore();
    if (m_previous)
        setenv(kRegistryVariable, m_previous->c_str(), 1);
    else
        unsetenv(kRegistryVariable);
}

} // namespace testkit
