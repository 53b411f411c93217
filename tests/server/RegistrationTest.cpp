// DllRegisterServer and DllUnregisterServer of copies of MORVEN.ocx: with its
// library beside it rather than inside, without any, and under a path too long
// for the registry.
#include "platform/TypeLib.h"
#include "tests/server/ServerTestSupport.h"
#include "tests/support/ScratchFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace servertest;

namespace {

const std::string kClassKey = "CLSID\\{FB82882C-A2F5-48F3-8A8D-F336890341D1}";

bool typeLibraryRegistered()
{
    ITypeLib* pTypeLib = nullptr;
    if (FAILED(LoadRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, &pTypeLib)))
        return false;
    pTypeLib->Release();
    return true;
}

class Registration : public ::testing::Test {
protected:
    void expectUnregistered()
    {
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_PROGID));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_VERSION_INDEPENDENT_PROGID));
        EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
        EXPECT_FALSE(typeLibraryRegistered());
    }

    ScratchRegistry registry;
    LoadedModule module;
};

// A copy of MORVEN.ocx under another path, loaded from there.
class ModuleCopy {
public:
    ModuleCopy(const std::string& directory, const std::string& name, bool withTypeLibrary)
        : m_path(directory + "/" + name)
    {
        std::filesystem::create_directories(directory);
        std::filesystem::copy_file(modulePath(), m_path);
        if (!withTypeLibrary) {
            // The resource is found by its section name; under another name it is not there.
            std::string command = "objcopy --rename-section .comrt.rsrc.TYPELIB.1=.comrt.rsrc.TYPELIB.9 '" +
                                  m_path + "'";
            if (std::system(command.c_str()) != 0)
                throw std::runtime_error("objcopy failed");
        }
        m_hModule = LoadLibraryA(m_path.c_str());
        if (m_hModule == nullptr)
            throw std::runtime_error("the copy did not load");
    }
    ~ModuleCopy() { FreeLibrary(m_hModule); }

    const std::string& path() const { return m_path; }
    HRESULT call(const char* exportName) const
    {
        return reinterpret_cast<DllRegisterServerFn>(GetProcAddress(m_hModule, exportName))();
    }

private:
    std::string m_path;
    HMODULE m_hModule = nullptr;
};

std::string registeredTypeLibraryPath()
{
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_MORVEN, 1, 0, 0x409, &path)))
        return "<none>";
    std::string narrow(path, path + SysStringLen(path)); // ASCII test paths
    SysFreeString(path);
    return narrow;
}

TEST_F(Registration, TypeLibraryFromTheTlbFileBesideAModuleWithoutOne)
{
    testkit::ScratchDirectory dir("morven-server-plain");
    std::filesystem::copy_file(std::filesystem::path(modulePath()).parent_path() / "MORVEN.tlb",
                               dir.file("Plain.tlb"));
    ModuleCopy copy(dir.path(), "Plain.ocx", false);

    ASSERT_EQ(copy.call("DllRegisterServer"), S_OK);
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), copy.path());
    EXPECT_EQ(registeredTypeLibraryPath(), dir.file("Plain.tlb"));

    EXPECT_EQ(copy.call("DllUnregisterServer"), S_OK);
    expectUnregistered();
}

TEST_F(Registration, WithoutAnyTypeLibraryTheClassKeysStillChange)
{
    testkit::ScratchDirectory dir("morven-server-plain");
    ModuleCopy copy(dir.path(), "Plain.ocx", false);

    // The class keys come first and stay when the type library cannot be loaded;
    // the library's own answer is passed on.
    HRESULT hr = copy.call("DllRegisterServer");
    EXPECT_EQ(hr, TYPE_E_CANTLOADLIBRARY) << std::hex << hr;
    EXPECT_EQ(stringValue(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), copy.path());
    EXPECT_FALSE(typeLibraryRegistered());

    hr = copy.call("DllUnregisterServer");
    EXPECT_EQ(hr, TYPE_E_CANTLOADLIBRARY) << std::hex << hr;
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_PROGID));
}

TEST_F(Registration, ModulePathThatDoesNotFitChangesNothing)
{
    testkit::ScratchDirectory dir("morven-server-long");
    std::string directory = dir.path();
    while (directory.size() + std::string("/MORVEN.ocx").size() < MAX_PATH + 10)
        directory += "/" + std::string(40, 'd');
    ModuleCopy copy(directory, "MORVEN.ocx", true);

    const HRESULT pathCut = static_cast<HRESULT>(0x8007007A);
    EXPECT_EQ(copy.call("DllRegisterServer"), pathCut);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, MORVEN_PROGID));
    EXPECT_FALSE(typeLibraryRegistered());
    EXPECT_EQ(copy.call("DllUnregisterServer"), pathCut);
}

} // namespace
