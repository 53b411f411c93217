// The coclass type information behind IProvideClassInfo, loaded from the
// registered type library on first request and kept until the module unloads.
#pragma once

#include "platform/Unknown.h"

#include <cstddef>

struct CClassInfoHolder {
    const GUID* m_pClsid;
    const GUID* m_pTypeLibraryId;
    WORD m_wMajorVersion;
    WORD m_wMinorVersion;
    ITypeInfo* m_pTypeInfo; // one reference, released by a shutdown hook

    // The class's type information with one reference for the caller.
    HRESULT getClassInfo(LCID lcid, ITypeInfo** ppTypeInfo);

private:
    HRESULT load(LCID lcid);
    static void release(DWORD_PTR holder);
};
static_assert(offsetof(CClassInfoHolder, m_pClsid) == 0 &&
                  offsetof(CClassInfoHolder, m_pClsid) < offsetof(CClassInfoHolder, m_pTypeLibraryId) &&
                  offsetof(CClassInfoHolder, m_pTypeLibraryId) < offsetof(CClassInfoHolder, m_wMajorVersion) &&
                  offsetof(CClassInfoHolder, m_wMajorVersion) < offsetof(CClassInfoHolder, m_wMinorVersion) &&
                  offsetof(CClassInfoHolder, m_wMinorVersion) < offsetof(CClassInfoHolder, m_pTypeInfo),
              "CClassInfoHolder keeps its field order");

// CCMORVENProc's, in type library 1.0.
extern CClassInfoHolder g_classInfoHolder;
