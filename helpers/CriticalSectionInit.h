// Creating the module's critical sections so that a failure can be reported.
#pragma once

#include "platform/Kernel.h"

// S_OK; E_OUTOFMEMORY when the system is out of memory; E_FAIL for any other failure.
HRESULT createCriticalSection(CRITICAL_SECTION* section);

// A critical section that remembers whether its creation succeeded, so that the
// teardown of an object whose creation failed part way never deletes a section
// that was never made.
struct CSafeCriticalSection {
    CRITICAL_SECTION m_section;
    bool m_bCreated;

    // Creates the section; the result is createCriticalSection's.
    HRESULT create();
    // As create(), but raises CAtlException with the failure (for constructors).
    void createOrThrow();
    // Deletes the section if it was created; safe to call more than once.
    void destroy();
    void enter() { EnterCriticalSection(&m_section); }
    void leave() { LeaveCriticalSection(&m_section); }
};
