// Applies compiled registry programs to the registry, with the replacement
// variables that the module fills through IRegistryVariables.
#pragma once

#include "registry/IRegistryVariables.h"
#include "registry/RegistryModule.h"
#include "registry/ReplacementMap.h"

// Not reference-counted: its owner makes it (usually on the stack) for one
// registration call and destroys it afterwards. AddRef and Release answer 1.
class RegistryRunner : public IRegistryVariables {
public:
    RegistryRunner() = default;
    RegistryRunner(const RegistryRunner&) = delete;
    RegistryRunner& operator=(const RegistryRunner&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // Converts both strings with the module's conversion code page, then adds
    // them as SetVariableA does. E_OUTOFMEMORY when a conversion fails.
    HRESULT STDMETHODCALLTYPE SetVariable(LPCOLESTR name, LPCOLESTR value) override;
    HRESULT STDMETHODCALLTYPE ClearVariables() override;
    HRESULT STDMETHODCALLTYPE SetVariableA(LPCSTR name, LPCSTR value) override;
    ~RegistryRunner() override;

    // Registration (bRegister true) creates keys and writes values;
    // unregistration removes keys. The whole program is checked first: one the
    // runner could misread is refused with E_FAIL before the registry is
    // touched (E_INVALIDARG when the words or the string table are missing).
    // Otherwise the run stops at the first failure and returns it; nothing
    // done before is rolled back.
    HRESULT RunProgram(const RegistryProgram& program, BOOL bRegister);

    // Module, Module_Raw, MODULEGUID and MODULETYPE of `module`, then its
    // common variables. The first failure is returned.
    HRESULT AddStandardVariables(const RegistryModule& module);

    const ReplacementMap& variables() const { return m_replacementMap; }

private:
    ReplacementMap m_replacementMap;
};
