// The capture record: one decoding pipeline built for one video file, and the
// operations that build it, run it, hand its frame out and take it apart.
// Both instance forms of CCMORVENProc embed it and forward their methods here.
#pragma once

#include "capture/MORVEN.h"
#include "platform/Com.h"
#include "platform/SampleGrabber.h"

#include <opencv2/core/types_c.h>

// A plain record: its fields keep this order and it has no virtual functions,
// so the instance forms can lay it out the same way on every build.
class CCaptureSession {
public:
    IGraphBuilder* m_pGraphBuilder;
    IBaseFilter* m_pSourceFilter;
    IMediaControl* m_pMediaControl;
    IBaseFilter* m_pSampleGrabberFilter;
    IMediaEvent* m_pMediaEvent;
    IMediaSeeking* m_pMediaSeeking;
    ISampleGrabber* m_pSampleGrabber;
    IPin* m_pSourceOutputPin;
    IPin* m_pGrabberInputPin;
    IPin* m_pGrabberOutputPin;
    IEnumPins* m_pEnumPins; // enumerator of the latest pin search
    IVideoWindow* m_pVideoWindow;
    bool m_bCreated;
    bool m_bStarted;
    int32_t m_nWidth;
    int32_t m_nHeight; // negative for a top-down frame
    int32_t m_nDepth;
    int32_t m_nChannels;
    bool m_bFlip;
    IplImage* m_pImageHeader; // a view of the frame buffer, never owning pixels

    // This object holds one CoInitialize that its next teardown gives back.
    bool m_bComInitialized;
    // The frame this session has already turned top-first, so that a second
    // Grab on it does not turn it back.
    unsigned char* m_pFlippedFrame;

    // Object creation: initialises COM on the creating thread, sets the initial values.
    void initialize();

    HRESULT createCapture(BSTR aviFileString, VARIANT_BOOL bFlipImageHorizontally, VARIANT_BOOL* bCaptureCreated);
    HRESULT destroyCapture();

    // Defined in FrameDelivery.cpp.
    HRESULT startCapture();
    HRESULT Grab(MORImageStruct* imageStruct);
    // A header of the session's geometry without pixels, or null.
    IplImage* createImageHeader();
    // Writes the frame's address to *data once the pipeline has run.
    bool getFrameData(unsigned char** data);

    // Defined in PinSearch.cpp: the first pin of the filter in the wanted
    // direction, counted, or null.
    IPin* getInputPin(IBaseFilter* filter);
    IPin* getOutputPin(IBaseFilter* filter);

private:
    IPin* findPin(IBaseFilter* filter, PIN_DIRECTION direction); // PinSearch.cpp
    HRESULT buildSession(BSTR aviFileString, VARIANT_BOOL bFlipImageHorizontally);
    void releasePipeline();
    void releaseImageHeader();
};
