#include "server/CMORVENProcObject.h"

#include "server/ClassInfoHolder.h"

const InterfaceEntry CCMORVENProcObject::s_interfaces[] = {
    {&IID_ICMORVENProc, 0},
    {&IID_IProvideClassInfo, sizeof(void*)},
    {nullptr, 0},
};

CCMORVENProcObject::CCMORVENProcObject() : m_pOuterUnknown(nullptr)
{
    m_nRefCount = 0;
    m_captureSession.initialize();
}

HRESULT CCMORVENProcObject::createCapture(BSTR aviFileString, VARIANT_BOOL bFlipImageHorizontally,
                                          VARIANT_BOOL* bCaptureCreated)
{
    return m_captureSession.createCapture(aviFileString, bFlipImageHorizontally, bCaptureCreated);
}

HRESULT CCMORVENProcObject::Grab(MORImageStruct* imageStruct)
{
    return m_captureSession.Grab(imageStruct);
}

HRESULT CCMORVENProcObject::destroyCapture()
{
    return m_captureSession.destroyCapture();
}

HRESULT CCMORVENProcObject::startCapture()
{
    return m_captureSession.startCapture();
}

HRESULT CCMORVENProcObject::GetClassInfo(ITypeInfo** ppTI)
{
    return g_classInfoHolder.getClassInfo(LOCALE_NEUTRAL, ppTI);
}
