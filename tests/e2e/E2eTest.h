// The frame of every cross-process test: the built programs, a fresh registry
// file per test (COMRT_REGISTRY, inherited by every process a test starts), and
// registration through regsvr.
#pragma once

#include "tests/e2e/Process.h"
#include "tests/e2e/RegOutput.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace e2e {

inline constexpr char kClassKey[] = "HKEY_CLASSES_ROOT\\CLSID\\{FB82882C-A2F5-48F3-8A8D-F336890341D1}";
inline constexpr char kTypeLibKey[] = "HKEY_CLASSES_ROOT\\TypeLib\\{52BA1FC6-03A4-409D-9C95-EFB369E2B531}";

// A program built into the build tree's bin directory.
std::string binPath(const std::string& name);
// The module's full path, as registration should write it.
std::string modulePath();

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A path in this test's own scratch directory.
    std::string scratch(const std::string& name) const { return dir_->file(name); }
    const std::string& scratchDir() const { return dir_->path(); }

    ProcessResult regsvr(const std::vector<std::string>& args, const std::string& cwd = {});
    ProcessResult grab(const std::vector<std::string>& args, const std::string& cwd = {},
                       const std::string& input = {});
    ProcessResult reg(const std::vector<std::string>& args);

    // `reg query KEY /s`; an absent key gives an empty tree.
    RegTree query(const std::string& key);
    bool keyExists(const std::string& key);

    // Runs regsvr [/u] on the module by its full path.
    ProcessResult registerModule(bool unregister = false);

private:
    std::unique_ptr<testmedia::TempDir> dir_;
    std::unique_ptr<testkit::ScratchRegistry> registry_;
};

// Media made once for the whole run.
struct E2eMedia {
    std::string pattern; // raw BGR AVI, 37x23: the exactly known pattern, rows of 111 bytes padded to 112
    std::string h264;    // H.264 MP4, 66x50: rows of 198 bytes padded to 200
};
const E2eMedia& media();

// Equal to patternFrame, pixel for pixel: returns "" or where they first differ.
std::string compareWithPattern(const testmedia::Frame& image);

} // namespace e2e

// Registers the module into `name` (a ProcessResult); the test stops when that fails.
#define E2E_REGISTER(name)                             \
    const ::e2e::ProcessResult name = registerModule(); \
    ASSERT_EQ(name.exitCode, 0) << name.text()
