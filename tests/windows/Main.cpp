// The Windows host-level tests. MORVEN.ocx is registered with the platform's
// own regsvr32 before the first test and unregistered after the last one.
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

namespace {

class RegisteredModule : public ::testing::Environment {
public:
    void SetUp() override
    {
        const std::string module = wintest::modulePath();
        if (GetFileAttributesA(module.c_str()) == INVALID_FILE_ATTRIBUTES) {
            wintest::setRegistrationState(false, module + " does not exist");
            return;
        }
        std::string error;
        const std::optional<DWORD> code = wintest::regsvr32(false, error);
        if (!code)
            wintest::setRegistrationState(false, error);
        else if (*code != 0)
            wintest::setRegistrationState(false, "regsvr32 " + module + " exited with " + std::to_string(*code));
        else
            wintest::setRegistrationState(true, "");
    }

    void TearDown() override
    {
        std::string error;
        if (wintest::moduleRegistered())
            wintest::regsvr32(true, error);
    }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new RegisteredModule);
    return RUN_ALL_TESTS();
}
