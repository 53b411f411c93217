// Finding a filter's first pin of one direction.
#include "capture/CaptureSession.h"

IPin* CCaptureSession::getInputPin(IBaseFilter* filter)
{
    return findPin(filter, PINDIR_INPUT);
}

IPin* CCaptureSession::getOutputPin(IBaseFilter* filter)
{
    return findPin(filter, PINDIR_OUTPUT);
}

IPin* CCaptureSession::findPin(IBaseFilter* filter, PIN_DIRECTION direction)
{
    // The enumerator of the previous search is done with.
    if (m_pEnumPins != nullptr) {
        m_pEnumPins->Release();
        m_pEnumPins = nullptr;
    }
    if (filter == nullptr)
        return nullptr;
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || pins == nullptr)
        return nullptr;
    m_pEnumPins = pins;

    IPin* pin = nullptr;
    while (m_pEnumPins->Next(1, &pin, nullptr) == S_OK && pin != nullptr) {
        PIN_INFO info = {};
        if (SUCCEEDED(pin->QueryPinInfo(&info))) {
            // The pin information holds a counted reference to the filter.
            if (info.pFilter != nullptr)
                info.pFilter->Release();
            if (info.dir == direction)
                return pin;
        }
        pin->Release();
        pin = nullptr;
    }
    return nullptr;
}
