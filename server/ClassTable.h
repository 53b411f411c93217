// The table of creatable classes and its one row.
#pragma once

#include "helpers/CriticalSectionInit.h"
#include "platform/Unknown.h"

#include <cstddef>

// Makes an instance: outer unknown or null, interface id, out pointer.
using InstanceCreator = HRESULT (*)(IUnknown* pUnkOuter, REFIID riid, void** ppv);

// One component category a class implements or requires; a list ends with kind 0.
struct CategoryMapEntry {
    int kind;
    const GUID* categoryId;
};
#define CATEGORY_MAP_END 0
#define CATEGORY_IMPLEMENTED 1
#define CATEGORY_REQUIRED 2

struct ClassEntry {
    const CLSID* pClsid;
    HRESULT (*pfnUpdateRegistry)(BOOL bRegister);
    HRESULT (*pfnCreateClassObject)(InstanceCreator pfnCreateInstance, REFIID riid, void** ppv);
    InstanceCreator pfnCreateInstance;
    IUnknown* pCachedClassObject;
    DWORD dwRegister;
    const char* (*pfnGetDescription)();
    const CategoryMapEntry* (*pfnGetCategoryMap)();
    void (*pfnObjectMain)(bool bStarting);
};
static_assert(offsetof(ClassEntry, pClsid) == 0 &&
                  offsetof(ClassEntry, pfnUpdateRegistry) < offsetof(ClassEntry, pfnCreateClassObject) &&
                  offsetof(ClassEntry, pfnCreateClassObject) < offsetof(ClassEntry, pfnCreateInstance) &&
                  offsetof(ClassEntry, pfnCreateInstance) < offsetof(ClassEntry, pCachedClassObject) &&
                  offsetof(ClassEntry, pCachedClassObject) < offsetof(ClassEntry, dwRegister) &&
                  offsetof(ClassEntry, dwRegister) < offsetof(ClassEntry, pfnGetDescription) &&
                  offsetof(ClassEntry, pfnGetDescription) < offsetof(ClassEntry, pfnGetCategoryMap) &&
                  offsetof(ClassEntry, pfnGetCategoryMap) < offsetof(ClassEntry, pfnObjectMain),
              "ClassEntry keeps its field order");

// The entries of this module, in table order (the one entry is CCMORVENProc's).
extern ClassEntry* g_classEntries[1];

class CClassTable {
public:
    CClassTable();
    ~CClassTable();
    CClassTable(const CClassTable&) = delete;
    CClassTable& operator=(const CClassTable&) = delete;

    // DllGetClassObject: finds the entry, makes its class object once, and
    // hands out the requested interface on it.
    HRESULT getClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
    // DllRegisterServer / DllUnregisterServer; defined in SelfRegistration.cpp.
    HRESULT registerServer(BOOL bRegisterTypeLibrary);
    HRESULT unregisterServer(BOOL bUnregisterTypeLibrary);
    // Releases the cached class objects; later calls do nothing.
    void terminate();

    LONG m_nLive;
    HMODULE m_hTypeLibraryModule;
    ClassEntry** m_ppEntriesBegin;
    ClassEntry** m_ppEntriesEnd;
    CSafeCriticalSection m_csClassTable;
};
static_assert(offsetof(CClassTable, m_nLive) == 0 &&
                  offsetof(CClassTable, m_nLive) < offsetof(CClassTable, m_hTypeLibraryModule) &&
                  offsetof(CClassTable, m_hTypeLibraryModule) < offsetof(CClassTable, m_ppEntriesBegin) &&
                  offsetof(CClassTable, m_ppEntriesBegin) < offsetof(CClassTable, m_ppEntriesEnd) &&
                  offsetof(CClassTable, m_ppEntriesEnd) < offsetof(CClassTable, m_csClassTable),
              "CClassTable keeps its field order");

extern CClassTable g_classTable;
