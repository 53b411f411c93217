// What regsvr and morven-grab do with bad command lines and modules they cannot use.
#include "tests/e2e/E2eTest.h"

#include <filesystem>
#include <fstream>

namespace e2e {
namespace {

using E2eRegsvr = E2eTest;
using E2eGrabArguments = E2eTest;

bool mentions(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(E2eRegsvr, BadCommandLinesPrintUsageAndExitOne)
{
    const std::vector<std::vector<std::string>> commandLines = {
        {}, {"/u"}, {"a.ocx", "b.ocx"}, {"/x", "a.ocx"}, {"--bogus", "a.ocx"}};
    for (const auto& args : commandLines) {
        const ProcessResult result = regsvr(args);
        EXPECT_EQ(result.exitCode, 1) << result.text();
        EXPECT_TRUE(mentions(result.err, "usage: regsvr")) << result.text();
    }
    // Silent mode says nothing, even about its arguments.
    const ProcessResult silent = regsvr({"/s"});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_EQ(silent.out + silent.err, "");

    const ProcessResult help = regsvr({"/?"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(mentions(help.out, "usage: regsvr")) << help.text();
}

TEST_F(E2eRegsvr, ModuleThatCannotBeLoadedExitsThree)
{
    const std::string missing = scratch("missing.ocx");
    const ProcessResult result = regsvr({missing});
    EXPECT_EQ(result.exitCode, 3) << result.text();
    EXPECT_TRUE(mentions(result.err, "LoadLibrary(\"" + missing + "\") failed: error ")) << result.err;
    EXPECT_TRUE(mentions(result.err, "0x8007")) << result.err;

    const std::string notALibrary = scratch("text.ocx");
    std::ofstream(notALibrary) << "not a shared object\n";
    const ProcessResult garbage = regsvr({"/u", notALibrary});
    EXPECT_EQ(garbage.exitCode, 3) << garbage.text();
    EXPECT_TRUE(mentions(garbage.err, "LoadLibrary(\"" + notALibrary + "\") failed")) << garbage.err;

    const ProcessResult silent = regsvr({"/s", missing});
    EXPECT_EQ(silent.exitCode, 3);
    EXPECT_EQ(silent.out + silent.err, "");
}

TEST_F(E2eRegsvr, LibraryWithoutTheEntryPointExitsFour)
{
    // The runtime library is a perfectly loadable module that serves no class.
    const std::string runtime = binPath("libcomrt.so");
    for (const char* entry : {"DllRegisterServer", "DllUnregisterServer"}) {
        std::vector<std::string> args;
        if (std::string(entry) == "DllUnregisterServer")
            args.push_back("/u");
        args.push_back(runtime);
        const ProcessResult result = regsvr(args);
        EXPECT_EQ(result.exitCode, 4) << result.text();
        EXPECT_TRUE(mentions(result.err, runtime + " was loaded, but the " + entry + " entry point was not found"))
            << result.err;
    }
    EXPECT_FALSE(keyExists("HKCR\\CLSID"));
}

TEST_F(E2eGrabArguments, BadCommandLinesPrintUsageAndExitOne)
{
    const std::vector<std::vector<std::string>> commandLines = {
        {}, {"-o"}, {"a.mp4", "-o"}, {"a.mp4", "--raw"}, {"a.mp4", "--bogus"},
        // Batch options and their values.
        {"a.mp4", "b.mp4", "--raw", "x.bgr"}, {"-j", "0", "a.mp4"}, {"-j", "many", "a.mp4"}, {"-j"},
        {"--timeout", "0", "a.mp4"}, {"--timeout", "soon", "a.mp4"}, {"--format", "gif", "a.mp4"},
        {"a.mp4", "--format", "jpg", "-o", "x.png"}, {"a.mp4", "b.mp4", "-o", "frame.png"}};
    for (const auto& args : commandLines) {
        const ProcessResult result = grab(args);
        EXPECT_EQ(result.exitCode, 1) << result.text();
        EXPECT_TRUE(mentions(result.err, "usage: morven-grab")) << result.text();
    }
    // An extension no image format answers to is refused before any work is done.
    const ProcessResult unknown = grab({"a.mp4", "-o", scratch("frame.xyz")});
    EXPECT_EQ(unknown.exitCode, 1) << unknown.text();
    EXPECT_TRUE(mentions(unknown.err, "no image format is known for " + scratch("frame.xyz"))) << unknown.err;
    EXPECT_TRUE(mentions(unknown.err, ".png, .jpg, .bmp or .ppm")) << unknown.err;
    EXPECT_FALSE(std::filesystem::exists(scratch("frame.xyz")));

    const ProcessResult help = grab({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(mentions(help.out, "usage: morven-grab")) << help.text();
}

} // namespace
} // namespace e2e
