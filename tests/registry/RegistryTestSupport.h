// What the registry tests share: the kit's scratch registry and readers, a fake
// module, the server's variables, and programs assembled in a test.
#pragma once

#include "platform/Registry.h"
#include "registry/RegOp.h"
#include "registry/RegistryRunner.h"
#include "tests/support/RegistryReads.h"
#include "tests/support/ScratchRegistry.h"

#include <gtest/gtest.h>

#include <vector>

using testkit::keyExists;
using testkit::readValue;
using testkit::ScratchRegistryTest;
using testkit::stringValue;
using testkit::subKeyNames;
using testkit::writeString;

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
