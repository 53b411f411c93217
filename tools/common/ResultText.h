// Names and hex forms of the result codes the host tools report.
#pragma once

#include "platform/Kernel.h"

#include <cstdio>
#include <string>

namespace tools {

// "0x80004001" for any HRESULT or Win32 code.
inline std::string hexCode(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// The symbolic name of the codes a user of the tools is likely to meet, or "".
inline const char* resultName(HRESULT hr)
{
    switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_NOTIMPL: return "E_NOTIMPL";
    case E_NOINTERFACE: return "E_NOINTERFACE";
    case E_POINTER: return "E_POINTER";
    case E_FAIL: return "E_FAIL";
    case E_UNEXPECTED: return "E_UNEXPECTED";
    case E_ACCESSDENIED: return "E_ACCESSDENIED";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case E_INVALIDARG: return "E_INVALIDARG";
    case CLASS_E_CLASSNOTAVAILABLE: return "CLASS_E_CLASSNOTAVAILABLE";
    case REGDB_E_CLASSNOTREG: return "REGDB_E_CLASSNOTREG";
    case REGDB_E_WRITEREGDB: return "REGDB_E_WRITEREGDB";
    case CO_E_CLASSSTRING: return "CO_E_CLASSSTRING";
    case CO_E_DLLNOTFOUND: return "CO_E_DLLNOTFOUND";
    case CO_E_ERRORINDLL: return "CO_E_ERRORINDLL";
    case CO_E_NOTINITIALIZED: return "CO_E_NOTINITIALIZED";
    case TYPE_E_LIBNOTREGISTERED: return "TYPE_E_LIBNOTREGISTERED";
    case TYPE_E_REGISTRYACCESS: return "TYPE_E_REGISTRYACCESS";
    case TYPE_E_CANTLOADLIBRARY: return "TYPE_E_CANTLOADLIBRARY";
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): return "ERROR_FILE_NOT_FOUND";
    case HRESULT_FROM_WIN32(ERROR_BAD_FORMAT): return "ERROR_BAD_FORMAT";
    case HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND): return "ERROR_MOD_NOT_FOUND";
    case HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND): return "ERROR_PROC_NOT_FOUND";
    case HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT): return "ERROR_BAD_EXE_FORMAT";
    case HRESULT_FROM_WIN32(ERROR_DLL_INIT_FAILED): return "ERROR_DLL_INIT_FAILED";
    default: return "";
    }
}

// "0x80004001 (E_NOTIMPL)", or the bare hex form for codes without a name here.
inline std::string describeResult(HRESULT hr)
{
    std::string text = hexCode(hr);
    if (const char* name = resultName(hr); *name)
        text += std::string(" (") + name + ")";
    return text;
}

} // namespace tools
