// The interface through which the module fills a registry runner's replacement map.
#pragma once

#include "platform/Unknown.h"

inline constexpr IID IID_IRegistryVariables = {0xE21F8A85, 0xB05D, 0x4243, {0x81, 0x83, 0xC7, 0xCB, 0x40, 0x55, 0x88, 0xF7}};

struct IRegistryVariables : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetVariable(LPCOLESTR name, LPCOLESTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearVariables() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVariableA(LPCSTR name, LPCSTR value) = 0;
    virtual ~IRegistryVariables() = default;
};
