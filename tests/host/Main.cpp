// The host-level tests of both builds. Before the first test the module is
// registered the way the platform registers modules; after the last it is
// unregistered.
#include "tests/host/HostTestSupport.h"

namespace host {

namespace {

bool g_registered = false;
std::string g_problem = "the test environment did not run";

class RegisteredModule : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_problem = setUpHost();
        g_registered = g_problem.empty();
    }

    void TearDown() override { tearDownHost(); }
};

} // namespace

bool moduleRegistered()
{
    return g_registered;
}

const std::string& registrationProblem()
{
    return g_problem;
}

} // namespace host

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new host::RegisteredModule);
    return RUN_ALL_TESTS();
}
