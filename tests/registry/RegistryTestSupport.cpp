#include "RegistryTestSupport.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

void ScratchRegistryTest::SetUp()
{
    static int serial = 0;
    // Memory-backed when the system has such a folder: the store syncs every call to disk.
    std::error_code error;
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    m_folder = base / ("morven-registry-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(m_folder);
    setenv("COMRT_REGISTRY", (m_folder / "registry.db").c_str(), 1);
}

void ScratchRegistryTest::TearDown()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

bool keyExists(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<BYTE> readValue(HKEY root, const char* path, const char* name, DWORD* type)
{
    DWORD ignored = 0;
    DWORD& valueType = type != nullptr ? *type : ignored;
    valueType = kNoValue;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> bytes(4096);
    DWORD size = static_cast<DWORD>(bytes.size());
    DWORD found = 0;
    if (RegQueryValueExA(key, name, nullptr, &found, bytes.data(), &size) == ERROR_SUCCESS) {
        valueType = found;
        bytes.resize(size);
    } else {
        bytes.clear();
    }
    RegCloseKey(key);
    return bytes;
}

std::string readString(HKEY root, const char* path, const char* name)
{
    DWORD type = 0;
    std::vector<BYTE> bytes = readValue(root, path, name, &type);
    if (type != REG_SZ || bytes.empty())
        return "<missing>";
    return std::string(bytes.begin(), bytes.end() - 1);
}

void writeString(HKEY root, const char* path, const char* name, const char* value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>(std::strlen(value) + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

DWORD subkeyCount(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return count;
}

const GUID& FakeModule::typeLibraryId() const
{
    static const GUID kMorvenLibrary = {0x52BA1FC6, 0x03A4, 0x409D, {0x9C, 0x95, 0xEF, 0xB3, 0x69, 0xE2, 0xB5, 0x31}};
    return kMorvenLibrary;
}

HRESULT FakeModule::addCommonVariables(IRegistryVariables* pVariables) const
{
    ++commonCalls;
    if (FAILED(commonResult))
        return commonResult;
    return pVariables->SetVariable(u"APPID", u"");
}

void addServerVariables(RegistryRunner& runner)
{
    ASSERT_EQ(runner.SetVariableA("MODULE", "/opt/morven/MORVEN.ocx"), S_OK);
    ASSERT_EQ(runner.SetVariableA("MODULETYPE", "InprocServer32"), S_OK);
    ASSERT_EQ(runner.SetVariableA("MODULEGUID", "{52BA1FC6-03A4-409D-9C95-EFB369E2B531}"), S_OK);
    ASSERT_EQ(runner.SetVariableA("APPID", ""), S_OK);
    ASSERT_EQ(runner.SetVariableA("FriendlyName", "CMORVENProc Class"), S_OK);
}

DWORD TestProgram::text(const char* value, bool expand)
{
    if (strings.back().text == nullptr)
        strings.pop_back();
    strings.push_back({value, static_cast<BYTE>(expand ? 1 : 0)});
    return static_cast<DWORD>(strings.size() - 1);
}

TestProgram& TestProgram::op(RegOp op, DWORD name, DWORD data)
{
    words.push_back(encodeRegWord(op, name, data));
    return *this;
}

RegistryProgram TestProgram::program()
{
    if (strings.back().text != nullptr)
        strings.push_back({nullptr, 0});
    if (numbers.empty() || !isNumberTableEnd(numbers.back()))
        numbers.push_back({0, 0});
    if (binaries.empty() || !isBinaryTableEnd(binaries.back()))
        binaries.push_back({nullptr, 0, 0});
    return {words.data(), strings.data(), numbers.data(), binaries.data(), static_cast<UINT>(words.size())};
}
