#include "platform/linux/media/MediaFilter.h"

#include "platform/Com.h"
#include "platform/linux/media/MediaEnumerators.h"

#include <cstring>

namespace comrt::media {

void copyName(WCHAR (&dst)[128], const std::u16string& src)
{
    size_t n = std::min<size_t>(src.size(), 127);
    std::memcpy(dst, src.data(), n * sizeof(WCHAR));
    dst[n] = 0;
}

LPWSTR taskMemString(const std::u16string& s)
{
    auto* p = static_cast<LPWSTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(WCHAR)));
    if (p) {
        std::memcpy(p, s.data(), s.size() * sizeof(WCHAR));
        p[s.size()] = 0;
    }
    return p;
}

MediaFilter::MediaFilter(const CLSID& clsid) : m_clsid(clsid) {}

MediaFilter::~MediaFilter()
{
    if (m_clock)
        m_clock->Release();
}

MediaFilter* MediaFilter::fromInterface(IUnknown* filter)
{
    if (!filter)
        return nullptr;
    void* impl = nullptr;
    if (FAILED(filter->QueryInterface(IID_MediaFilterImpl, &impl)) || !impl)
        return nullptr;
    auto* f = static_cast<MediaFilter*>(impl);
    f->Release();
    return f;
}

MediaPin& MediaFilter::addPin(PIN_DIRECTION direction, std::u16string name)
{
    m_pins.push_back(std::make_unique<MediaPin>(*this, direction, std::move(name)));
    return *m_pins.back();
}

MediaPin* MediaFilter::firstPin(PIN_DIRECTION direction) const
{
    for (const auto& p : m_pins)
        if (p->direction() == direction)
            return p.get();
    return nullptr;
}

void* MediaFilter::queryExtraInterface(REFIID)
{
    return nullptr;
}

HRESULT STDMETHODCALLTYPE MediaFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    void* p = nullptr;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter)
        p = static_cast<IBaseFilter*>(this);
    else if (riid == IID_MediaFilterImpl)
        p = this;
    else
        p = queryExtraInterface(riid);
    *ppv = p;
    if (!p)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE MediaFilter::AddRef()
{
    return m_refs.addRef();
}

ULONG STDMETHODCALLTYPE MediaFilter::Release()
{
    ULONG n = m_refs.release();
    if (n == 0)
        delete this;
    return n;
}

HRESULT STDMETHODCALLTYPE MediaFilter::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = m_clsid;
    return m_clsid == GUID_NULL ? E_NOTIMPL : S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::Stop()
{
    std::lock_guard lock(m_stateLock);
    if (m_state == State_Stopped)
        return S_OK;
    deactivate();
    m_state.store(State_Stopped, std::memory_order_release);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::Pause()
{
    std::lock_guard lock(m_stateLock);
    if (m_state == State_Paused)
        return S_OK;
    if (m_state == State_Stopped) {
        HRESULT hr = activate();
        if (FAILED(hr)) {
            deactivate();
            return hr;
        }
    } else {
        pause();
    }
    m_state.store(State_Paused, std::memory_order_release);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::Run(REFERENCE_TIME)
{
    std::lock_guard lock(m_stateLock);
    if (m_state == State_Running)
        return S_OK;
    if (m_state == State_Stopped) {
        HRESULT hr = activate();
        if (FAILED(hr)) {
            deactivate();
            return hr;
        }
        m_state.store(State_Paused, std::memory_order_release);
    }
    // Running before the thread starts, so that what it pushes is taken.
    m_state.store(State_Running, std::memory_order_release);
    HRESULT hr = start();
    if (FAILED(hr)) {
        m_state.store(State_Paused, std::memory_order_release);
        return hr;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::GetState(DWORD, FILTER_STATE* State)
{
    if (!State)
        return E_POINTER;
    *State = m_state.load(std::memory_order_acquire);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::SetSyncSource(IReferenceClock* pClock)
{
    std::lock_guard lock(m_stateLock);
    if (pClock)
        pClock->AddRef();
    if (m_clock)
        m_clock->Release();
    m_clock = pClock;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::GetSyncSource(IReferenceClock** pClock)
{
    if (!pClock)
        return E_POINTER;
    std::lock_guard lock(m_stateLock);
    *pClock = m_clock;
    if (m_clock)
        m_clock->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::EnumPins(IEnumPins** ppEnum)
{
    std::vector<IPin*> pins;
    for (const auto& p : m_pins)
        pins.push_back(p.get());
    return createPinEnumerator(std::move(pins), ppEnum);
}

HRESULT STDMETHODCALLTYPE MediaFilter::FindPin(LPCWSTR Id, IPin** ppPin)
{
    if (!Id || !ppPin)
        return E_POINTER;
    std::u16string id(Id);
    for (const auto& p : m_pins)
        if (p->name() == id) {
            p->AddRef();
            *ppPin = p.get();
            return S_OK;
        }
    *ppPin = nullptr;
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE MediaFilter::QueryFilterInfo(FILTER_INFO* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    std::lock_guard lock(m_stateLock);
    copyName(pInfo->achName, m_name);
    pInfo->pGraph = m_graph;
    if (m_graph)
        m_graph->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName)
{
    std::lock_guard lock(m_stateLock);
    EventSink* sink = nullptr;
    if (pGraph) {
        void* p = nullptr;
        if (SUCCEEDED(pGraph->QueryInterface(IID_MediaEventSink, &p)) && p) {
            sink = static_cast<EventSink*>(p);
            // The graph holds this filter, not the other way round.
            pGraph->Release();
        }
    }
    m_graph = pGraph;
    m_name = pGraph && pName ? std::u16string(pName) : std::u16string();
    m_eventSink.store(sink, std::memory_order_release);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaFilter::QueryVendorInfo(LPWSTR* pVendorInfo)
{
    if (pVendorInfo)
        *pVendorInfo = nullptr;
    return E_NOTIMPL;
}

void MediaFilter::notifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    if (EventSink* sink = m_eventSink.load(std::memory_order_acquire))
        sink->notifyEvent(code, param1, param2);
}

HRESULT MediaFilter::checkInputType(MediaPin&, MediaPin&, const AM_MEDIA_TYPE&)
{
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT MediaFilter::getOutputType(MediaPin&, int, AM_MEDIA_TYPE&)
{
    return S_FALSE;
}

void MediaFilter::connectionChanged(MediaPin&) {}

HRESULT MediaFilter::startOfStream(MediaPin&)
{
    for (const auto& p : m_pins)
        if (p->direction() == PINDIR_OUTPUT && p->isConnected()) {
            HRESULT hr = p->deliverStartOfStream();
            if (hr != S_OK)
                return hr;
        }
    return S_OK;
}

HRESULT MediaFilter::receive(MediaPin&, StreamItem&)
{
    return E_UNEXPECTED;
}

void MediaFilter::endOfStream(MediaPin&)
{
    forwardEndOfStream();
}

bool MediaFilter::endsAfterFirstSample() const
{
    for (const auto& p : m_pins)
        if (p->direction() == PINDIR_OUTPUT && p->isConnected())
            return p->peer()->filter().endsAfterFirstSample();
    return false;
}

void MediaFilter::forwardEndOfStream()
{
    bool passedOn = false;
    for (const auto& p : m_pins)
        if (p->direction() == PINDIR_OUTPUT && p->isConnected()) {
            p->deliverEndOfStream();
            passedOn = true;
        }
    if (!passedOn)
        notifyEvent(EC_COMPLETE, S_OK, 0);
}

} // namespace comrt::media
