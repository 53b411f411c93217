// Registration and unregistration through regsvr, checked key by key with reg.
#include "tests/e2e/E2eTest.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace e2e {
namespace {

const std::string kRoot = "HKEY_CLASSES_ROOT";
const std::string kClsid = "{FB82882C-A2F5-48F3-8A8D-F336890341D1}";
const std::string kLibid = "{52BA1FC6-03A4-409D-9C95-EFB369E2B531}";
const std::string kFriendlyName = "CCMORVENProc Object";

RegValues defaultValue(const std::string& data)
{
    return {{"(Default)", {"REG_SZ", data}}};
}

// Everything registration writes under the two ProgID keys.
RegTree expectedProgIdKeys()
{
    return {
        {kRoot + "\\MORVEN.CMORVENProc.1", defaultValue(kFriendlyName)},
        {kRoot + "\\MORVEN.CMORVENProc.1\\CLSID", defaultValue(kClsid)},
        {kRoot + "\\MORVEN.CMORVENProc", defaultValue(kFriendlyName)},
        {kRoot + "\\MORVEN.CMORVENProc\\CLSID", defaultValue(kClsid)},
        {kRoot + "\\MORVEN.CMORVENProc\\CurVer", defaultValue("MORVEN.CMORVENProc.1")},
    };
}

// Everything under HKCR\CLSID in a registry that held nothing before.
RegTree expectedClsidKeys(const std::string& module)
{
    const std::string key = kRoot + "\\CLSID\\" + kClsid;
    return {
        {kRoot + "\\CLSID", {}},
        {key, {{"(Default)", {"REG_SZ", kFriendlyName}}, {"AppID", {"REG_SZ", ""}}}},
        {key + "\\ProgID", defaultValue("MORVEN.CMORVENProc.1")},
        {key + "\\VersionIndependentProgID", defaultValue("MORVEN.CMORVENProc")},
        {key + "\\Programmable", {}},
        {key + "\\InprocServer32", {{"(Default)", {"REG_SZ", module}}, {"ThreadingModel", {"REG_SZ", "apartment"}}}},
        {key + "\\TypeLib", defaultValue(kLibid)},
    };
}

RegTree merged(RegTree a, const RegTree& b)
{
    a.insert(b.begin(), b.end());
    return a;
}

class E2eRegistration : public E2eTest {
protected:
    RegTree classKeys()
    {
        return merged(merged(query("HKCR\\MORVEN.CMORVENProc.1"), query("HKCR\\MORVEN.CMORVENProc")),
                      query("HKCR\\CLSID"));
    }
};

TEST_F(E2eRegistration, WritesExactlyTheClassKeysAndTheTypeLibrary)
{
    E2E_REGISTER(registration);
    EXPECT_EQ(registration.out, "DllRegisterServer in " + modulePath() + " succeeded.\n");

    EXPECT_EQ(classKeys(), merged(expectedProgIdKeys(), expectedClsidKeys(modulePath())));
    EXPECT_TRUE(keyExists("HKCR\\TypeLib\\" + kLibid + "\\1.0"));

    // Nothing else at the top: no AppID key, no component categories.
    std::set<std::string> topKeys;
    for (const auto& [key, values] : query("HKCR")) {
        const std::string below = key.substr(std::min(key.size(), kRoot.size() + 1));
        if (!below.empty())
            topKeys.insert(below.substr(0, below.find('\\')));
    }
    EXPECT_EQ(topKeys, (std::set<std::string>{"CLSID", "MORVEN.CMORVENProc", "MORVEN.CMORVENProc.1", "TypeLib"}));
}

TEST_F(E2eRegistration, ModuleNamedRelativelyIsRegisteredByItsFullPath)
{
    const ProcessResult result = regsvr({"./MORVEN.ocx"}, E2E_BIN_DIR);
    ASSERT_EQ(result.exitCode, 0) << result.text();
    EXPECT_EQ(result.out, "DllRegisterServer in ./MORVEN.ocx succeeded.\n");

    const std::string server = "CLSID\\" + kClsid + "\\InprocServer32";
    EXPECT_EQ(query("HKCR\\" + server)[kRoot + "\\" + server]["(Default)"].data, modulePath());
}

TEST_F(E2eRegistration, RegisteringAgainRebuildsTheClassKey)
{
    E2E_REGISTER(registration);
    const std::string key = "HKCR\\CLSID\\" + kClsid;
    ASSERT_EQ(reg({"add", key, "/v", "Stray", "/d", "left by hand", "/f"}).exitCode, 0);
    ASSERT_EQ(reg({"add", key + "\\Stray", "/ve", "/d", "left by hand", "/f"}).exitCode, 0);
    ASSERT_EQ(reg({"add", key + "\\Programmable", "/v", "Stray", "/d", "left by hand", "/f"}).exitCode, 0);
    ASSERT_NE(classKeys(), merged(expectedProgIdKeys(), expectedClsidKeys(modulePath())));

    // Silent this time: the exit code is the only report.
    const ProcessResult second = regsvr({"/s", modulePath()});
    EXPECT_EQ(second.exitCode, 0) << second.text();
    EXPECT_EQ(second.out + second.err, "");
    EXPECT_EQ(classKeys(), merged(expectedProgIdKeys(), expectedClsidKeys(modulePath())));
}

TEST_F(E2eRegistration, UnregisteringRemovesTheClassButKeepsOtherClasses)
{
    E2E_REGISTER(registration);
    const std::string other = "HKCR\\CLSID\\{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}";
    ASSERT_EQ(reg({"add", other + "\\InprocServer32", "/ve", "/d", "/elsewhere/other.so", "/f"}).exitCode, 0);

    const ProcessResult removed = registerModule(true);
    EXPECT_EQ(removed.exitCode, 0) << removed.text();
    EXPECT_EQ(removed.out, "DllUnregisterServer in " + modulePath() + " succeeded.\n");

    EXPECT_FALSE(keyExists("HKCR\\MORVEN.CMORVENProc.1"));
    EXPECT_FALSE(keyExists("HKCR\\MORVEN.CMORVENProc"));
    EXPECT_FALSE(keyExists("HKCR\\CLSID\\" + kClsid));
    EXPECT_FALSE(keyExists("HKCR\\TypeLib\\" + kLibid));
    EXPECT_TRUE(keyExists("HKCR\\CLSID"));
    EXPECT_TRUE(keyExists(other + "\\InprocServer32"));

    // A host no longer finds the class.
    const ProcessResult grabbed = grab({media().pattern, "-o", scratch("frame.png")});
    EXPECT_EQ(grabbed.exitCode, 2) << grabbed.text();
    EXPECT_NE(grabbed.err.find("not registered"), std::string::npos) << grabbed.err;

    // Again, with nothing left to remove: the class keys are already gone, and the
    // platform refuses to unregister a type library that is not registered.
    const ProcessResult again = regsvr({"/u", modulePath()});
    EXPECT_EQ(again.exitCode, 5) << again.text();
    EXPECT_EQ(again.err, "DllUnregisterServer in " + modulePath() + " failed. Return code was: 0x80070057 (E_INVALIDARG)\n");
    EXPECT_TRUE(keyExists("HKCR\\CLSID"));
    EXPECT_TRUE(keyExists(other + "\\InprocServer32"));
}

} // namespace
} // namespace e2e
