#include "tests/registry/RegistryTestSupport.h"

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
