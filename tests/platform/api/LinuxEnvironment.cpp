// The Linux side: a scratch registry for the whole run, so the tests never
// touch the user's own; the files come from the build.
#include "tests/platform/api/ApiEnvironment.h"
#include "tests/support/ScratchRegistry.h"

#include <unistd.h>

#include <memory>

namespace apitest {
namespace {

class ScratchRegistryForTheRun : public ::testing::Environment {
public:
    void SetUp() override { m_registry = std::make_unique<testkit::ScratchRegistry>(); }
    void TearDown() override { m_registry.reset(); }

private:
    std::unique_ptr<testkit::ScratchRegistry> m_registry;
};

const bool g_registry = (::testing::AddGlobalTestEnvironment(new ScratchRegistryForTheRun), true);

} // namespace

OleString typeLibraryModule()
{
    return wide(MORVEN_MODULE_PATH);
}

OleString plainFile()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return wide(std::string(path, length > 0 ? static_cast<size_t>(length) : 0));
}

} // namespace apitest
