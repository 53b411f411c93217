// Running the pipeline once and handing its frame to the host.
#include "capture/CaptureSession.h"

#include "capture/GrabberCallback.h"

#include <opencv2/core/core_c.h>

HRESULT CCaptureSession::startCapture()
{
    // Only a built session that has not run yet has a pipeline to run: in the
    // Idle state there is none, and a started session already has its frame.
    if (!m_bCreated || m_bStarted)
        return S_OK;

    // A frame address left by an earlier run belongs to a pipeline that may be
    // gone; only this run's sample may be handed out.
    g_pFrameBuffer = nullptr;
    m_pFlippedFrame = nullptr;

    m_pMediaControl->Run();
    LONG eventCode = 0;
    m_pMediaEvent->WaitForCompletion(static_cast<LONG>(INFINITE), &eventCode);
    m_bStarted = true;
    return S_OK;
}

HRESULT CCaptureSession::Grab(MORImageStruct* imageStruct)
{
    if (imageStruct == nullptr)
        return S_OK;
    getFrameData(&imageStruct->data);
    imageStruct->width = m_nWidth;
    imageStruct->height = m_nHeight;
    imageStruct->depth = m_nDepth;
    imageStruct->channels = m_nChannels;
    return S_OK;
}

bool CCaptureSession::getFrameData(unsigned char** data)
{
    if (!m_bStarted || data == nullptr)
        return false;

    unsigned char* frame = g_pFrameBuffer;
    if (frame == nullptr) {
        // The run delivered nothing.
        *data = nullptr;
        return false;
    }
    if (!m_bFlip) {
        *data = frame;
        return true;
    }
    if (m_pImageHeader == nullptr) {
        // No header of this geometry: the rows cannot be walked safely.
        *data = nullptr;
        return false;
    }
    // The flip works in place, so a frame already turned top-first is not turned again.
    if (m_pFlippedFrame != frame) {
        try {
            m_pImageHeader->imageData = reinterpret_cast<char*>(frame);
            cvFlip(m_pImageHeader, nullptr, 0);
        } catch (...) {
            *data = nullptr;
            return false;
        }
        m_pFlippedFrame = frame;
    }
    *data = reinterpret_cast<unsigned char*>(m_pImageHeader->imageData);
    return true;
}

IplImage* CCaptureSession::createImageHeader()
{
    if (!m_bCreated)
        return nullptr;
    // A geometry the image library cannot describe (a top-down frame's
    // negative height) gets no header. It is turned away here because the
    // library, when it refuses one itself, throws and loses the header it made.
    if (m_nWidth < 0 || m_nHeight < 0 || m_nChannels < 1)
        return nullptr;
    try {
        return cvCreateImageHeader(cvSize(m_nWidth, m_nHeight), m_nDepth, m_nChannels);
    } catch (...) {
        return nullptr;
    }
}
