// A throw-away registry for each test, and short ways to read it back.
#pragma once

#include "platform/Registry.h"
#include "registry/RegOp.h"
#include "registry/RegistryRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// Points COMRT_REGISTRY at a fresh database file in a temp folder.
class ScratchRegistryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path m_folder;
};

inline constexpr DWORD kNoValue = 0xFFFFFFFF;

bool keyExists(HKEY root, const char* path);
// The value's bytes; *type is kNoValue when the value (or its key) is missing.
std::vector<BYTE> readValue(HKEY root, const char* path, const char* name, DWORD* type = nullptr);
// A REG_SZ value without its terminator, or "<missing>".
std::string readString(HKEY root, const char* path, const char* name);
void writeString(HKEY root, const char* path, const char* name, const char* value);
DWORD subkeyCount(HKEY root, const char* path);

// Stands in for the server module: the running program, MORVEN's type library,
// and APPID as the module's common variable.
struct FakeModule final : RegistryModule {
    HMODULE handle = nullptr;
    HRESULT commonResult = S_OK;
    mutable int commonCalls = 0;

    HMODULE moduleHandle() const override { return handle; }
    const GUID& typeLibraryId() const override;
    HRESULT addCommonVariables(IRegistryVariables* pVariables) const override;
};

// A runner with the variables the server's own program expects.
void addServerVariables(RegistryRunner& runner);

// A program assembled in a test: words and tables with their closing entries.
struct TestProgram {
    std::vector<DWORD> words;
    std::vector<RegStringEntry> strings{{"", 0}};
    std::vector<RegNumberEntry> numbers;
    std::vector<RegBinaryEntry> binaries;

    // Adds a text and returns its index.
    DWORD text(const char* value, bool expand = false);
    TestProgram& op(RegOp op, DWORD name = 0, DWORD data = 0);
    // Seals the tables; the record points into this object.
    RegistryProgram program();
};
