// The sample sink the Sample Grabber reports to, and the address of the
// latest frame it delivered. Both exist once per module, shared by every
// capture session.
#pragma once

#include "platform/SampleGrabber.h"

// Written on the pipeline's streaming thread by SampleCB, read on the host's
// thread by Grab once startCapture's wait has returned.
extern unsigned char* g_pFrameBuffer;

// Statically allocated and never counted: AddRef and Release answer fixed values.
class CGrabberCallback : public ISampleGrabberCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SampleCB(double SampleTime, IMediaSample* pSample) override;
    HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer, LONG BufferLen) override;
};

extern CGrabberCallback g_GrabberCallback;
