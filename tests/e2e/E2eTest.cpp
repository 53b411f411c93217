#include "tests/e2e/E2eTest.h"

#include <cstdlib>
#include <filesystem>

namespace e2e {

std::string binPath(const std::string& name)
{
    return std::string(E2E_BIN_DIR) + "/" + name;
}

std::string modulePath()
{
    return std::filesystem::weakly_canonical(binPath("MORVEN.ocx")).string();
}

void E2eTest::SetUp()
{
    dir_ = std::make_unique<testmedia::TempDir>("morven-e2e");
    registry_ = std::make_unique<testkit::ScratchRegistry>();
}

void E2eTest::TearDown()
{
    registry_.reset();
    dir_.reset();
}

ProcessResult E2eTest::regsvr(const std::vector<std::string>& args, const std::string& cwd)
{
    std::vector<std::string> argv{binPath("regsvr")};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, cwd);
}

ProcessResult E2eTest::grab(const std::vector<std::string>& args, const std::string& cwd, const std::string& input)
{
    std::vector<std::string> argv{binPath("morven-grab")};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, cwd, input);
}

ProcessResult E2eTest::reg(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{binPath("reg")};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv);
}

RegTree E2eTest::query(const std::string& key)
{
    const ProcessResult result = reg({"query", key, "/s"});
    if (result.exitCode != 0)
        return {};
    RegTree tree = parseRegQuery(result.out);
    // A key without values of its own is not listed by itself, only its subkeys.
    const std::string shortRoot = "HKCR\\";
    tree.try_emplace(key.rfind(shortRoot, 0) == 0 ? "HKEY_CLASSES_ROOT\\" + key.substr(shortRoot.size()) : key);
    return tree;
}

bool E2eTest::keyExists(const std::string& key)
{
    return reg({"query", key}).exitCode == 0;
}

ProcessResult E2eTest::registerModule(bool unregister)
{
    std::vector<std::string> args;
    if (unregister)
        args.push_back("/u");
    args.push_back(modulePath());
    return regsvr(args);
}

const E2eMedia& media()
{
    static testmedia::TempDir dir("morven-e2e-media");
    static const E2eMedia made{testmedia::makeRawBgrAvi(dir.path(), 37, 23),
                               testmedia::makeH264Mp4(dir.path(), 66, 50)};
    return made;
}

std::string compareWithPattern(const testmedia::Frame& image)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const testmedia::Bgr want = testmedia::patternPixel(x, y, 0);
            const testmedia::Bgr got = image.at(x, y);
            if (!(got == want))
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is B,G,R " +
                       std::to_string(got.b) + "," + std::to_string(got.g) + "," + std::to_string(got.r) +
                       ", the pattern has " + std::to_string(want.b) + "," + std::to_string(want.g) + "," +
                       std::to_string(want.r);
        }
    return "";
}

} // namespace e2e
