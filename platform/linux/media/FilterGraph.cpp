// The graph manager: its identity, the filters it holds, and how it
// connects them.
#include "platform/linux/media/FilterGraph.h"

#include "platform/linux/media/ColourConverter.h"
#include "platform/linux/media/DecoderFilter.h"
#include "platform/linux/media/JpegDecoderFilter.h"
#include "platform/linux/media/MediaEnumerators.h"
#include "platform/linux/media/MediaHooks.h"
#include "platform/linux/media/NullRenderer.h"
#include "platform/linux/media/SourceFilter.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace comrt::media {

namespace {

// Filters the graph may put between two pins that do not take each other's types.
struct Insertable {
    HRESULT (*create)(MediaFilter** out);
    const char16_t* name;
};
const Insertable kInsertable[] = {
    {JpegDecoderFilter::create, u"JPEG Decoder"},
    {DecoderFilter::create, u"Video Decoder"},
    {ColourConverter::create, u"Colour Converter"},
};
// Filters inserted one after another between two pins, at most.
constexpr int kMaxInserted = 2;

void disconnectAll(MediaFilter& f)
{
    for (size_t i = 0; i < f.pinCount(); ++i) {
        MediaPin& pin = f.pin(i);
        if (MediaPin* peer = pin.peer())
            peer->breakConnection();
        pin.breakConnection();
    }
}

} // namespace

HRESULT FilterGraph::create(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    HRESULT injected = injectedFailure(COMRT_MEDIA_CREATE_GRAPH);
    if (FAILED(injected))
        return injected;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* graph = new (std::nothrow) FilterGraph();
    if (!graph)
        return E_OUTOFMEMORY;
    HRESULT hr = graph->QueryInterface(riid, ppv);
    graph->Release();
    return hr;
}

FilterGraph::~FilterGraph()
{
    // Released from inside a callback: the filters up that thread's stack
    // must not be stopped under it. Its source ends the stream once the
    // callback returns, and the thread's own references keep the chain alive
    // until then.
    if (onOwnStreamingThread())
        requestSourcesStop();
    else
        stopLocked();
    for (Entry& e : m_filters) {
        disconnectAll(*e.impl);
        e.filter->JoinFilterGraph(nullptr, nullptr);
    }
    m_filters.clear();
}

HRESULT STDMETHODCALLTYPE FilterGraph::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    ComRtMediaStep step = COMRT_MEDIA_STEP_COUNT;
    void* p = nullptr;
    if (riid == IID_IUnknown || riid == IID_IFilterGraph || riid == IID_IGraphBuilder) {
        p = static_cast<IGraphBuilder*>(this);
    } else if (riid == IID_IMediaControl) {
        step = COMRT_MEDIA_QUERY_MEDIA_CONTROL;
        p = static_cast<IMediaControl*>(this);
    } else if (riid == IID_IMediaEvent) {
        step = COMRT_MEDIA_QUERY_MEDIA_EVENT;
        p = static_cast<IMediaEvent*>(this);
    } else if (riid == IID_IMediaSeeking) {
        step = COMRT_MEDIA_QUERY_MEDIA_SEEKING;
        p = static_cast<IMediaSeeking*>(this);
    } else if (riid == IID_MediaEventSink) {
        p = static_cast<EventSink*>(this);
    }
    if (!p)
        return E_NOINTERFACE;
    HRESULT injected = injectedFailure(step);
    if (FAILED(injected))
        return injected;
    AddRef();
    *ppv = p;
    return S_OK;
}

ULONG STDMETHODCALLTYPE FilterGraph::AddRef()
{
    return m_refs.addRef();
}

ULONG STDMETHODCALLTYPE FilterGraph::Release()
{
    ULONG n = m_refs.release();
    if (n == 0)
        delete this;
    return n;
}

FilterGraph::Entry* FilterGraph::find(MediaFilter* impl)
{
    for (Entry& e : m_filters)
        if (e.impl == impl)
            return &e;
    return nullptr;
}

HRESULT FilterGraph::addFilterLocked(MediaFilter* impl, const std::u16string& requested)
{
    if (find(impl))
        return E_INVALIDARG;
    if (impl->graph())
        return E_INVALIDARG; // a member of another graph
    std::u16string name = requested.empty() ? std::u16string(u"Filter") : requested.substr(0, 120);
    HRESULT result = S_OK;
    auto taken = [this](const std::u16string& n) {
        return std::any_of(m_filters.begin(), m_filters.end(), [&](const Entry& e) { return e.name == n; });
    };
    if (taken(name)) {
        result = VFW_S_DUPLICATE_NAME;
        for (int i = 1;; ++i) {
            char suffix[8];
            std::snprintf(suffix, sizeof suffix, " %04d", i);
            std::u16string candidate = name + std::u16string(suffix, suffix + 5);
            if (!taken(candidate)) {
                name = candidate;
                break;
            }
            if (i == 9999)
                return VFW_E_DUPLICATE_NAME;
        }
    }
    try {
        m_filters.push_back(Entry{ComPtr<IBaseFilter>(impl), impl, name});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    impl->JoinFilterGraph(this, name.c_str());
    return result;
}

void FilterGraph::removeFilterLocked(MediaFilter* impl)
{
    for (auto it = m_filters.begin(); it != m_filters.end(); ++it)
        if (it->impl == impl) {
            disconnectAll(*impl);
            impl->JoinFilterGraph(nullptr, nullptr);
            m_filters.erase(it);
            return;
        }
}

HRESULT STDMETHODCALLTYPE FilterGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR pName)
{
    if (!pFilter)
        return E_POINTER;
    MediaFilter* impl = MediaFilter::fromInterface(pFilter);
    if (!impl)
        return E_INVALIDARG; // only this runtime's filters can stream to each other
    std::lock_guard lock(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    return addFilterLocked(impl, pName ? std::u16string(pName) : std::u16string());
}

HRESULT STDMETHODCALLTYPE FilterGraph::RemoveFilter(IBaseFilter* pFilter)
{
    if (!pFilter)
        return E_POINTER;
    MediaFilter* impl = MediaFilter::fromInterface(pFilter);
    std::lock_guard lock(m_lock);
    if (!impl || !find(impl))
        return E_INVALIDARG;
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    removeFilterLocked(impl);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::EnumFilters(IEnumFilters** ppEnum)
{
    std::vector<IBaseFilter*> filters;
    {
        std::lock_guard lock(m_lock);
        for (const Entry& e : m_filters)
            filters.push_back(e.filter.get());
        // The enumerator takes its references before the lock goes.
        return createFilterEnumerator(std::move(filters), ppEnum);
    }
}

HRESULT STDMETHODCALLTYPE FilterGraph::FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter)
{
    if (!pName || !ppFilter)
        return E_POINTER;
    *ppFilter = nullptr;
    std::lock_guard lock(m_lock);
    for (const Entry& e : m_filters)
        if (e.name == pName) {
            e.filter->AddRef();
            *ppFilter = e.filter.get();
            return S_OK;
        }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::checkPinsLocked(IPin* out, IPin* in, MediaPin*& outImpl, MediaPin*& inImpl)
{
    if (!out)
        return E_POINTER;
    outImpl = MediaPin::fromInterface(out);
    if (!outImpl)
        return VFW_E_NO_TRANSPORT;
    if (outImpl->direction() != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    if (!find(&outImpl->filter()))
        return VFW_E_NOT_IN_GRAPH;
    if (in) {
        inImpl = MediaPin::fromInterface(in);
        if (!inImpl)
            return VFW_E_NO_TRANSPORT;
        if (inImpl->direction() != PINDIR_INPUT)
            return VFW_E_INVALID_DIRECTION;
        if (!find(&inImpl->filter()))
            return VFW_E_NOT_IN_GRAPH;
        if (inImpl->isConnected())
            return VFW_E_ALREADY_CONNECTED;
    }
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (outImpl->isConnected())
        return VFW_E_ALREADY_CONNECTED;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt)
{
    if (!ppinOut || !ppinIn)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    MediaPin* out = nullptr;
    MediaPin* in = nullptr;
    HRESULT hr = checkPinsLocked(ppinOut, ppinIn, out, in);
    if (FAILED(hr))
        return hr;
    return out->Connect(in, pmt);
}

HRESULT STDMETHODCALLTYPE FilterGraph::Reconnect(IPin*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Disconnect(IPin* ppin)
{
    if (!ppin)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    return ppin->Disconnect();
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetDefaultSyncSource()
{
    return S_OK;
}

HRESULT FilterGraph::connectThrough(MediaPin& out, MediaPin& in, int depth)
{
    if (out.Connect(&in, nullptr) == S_OK)
        return S_OK;
    if (depth == 0)
        return VFW_E_CANNOT_CONNECT;
    for (const Insertable& kind : kInsertable) {
        MediaFilter* raw = nullptr;
        if (FAILED(kind.create(&raw)))
            return E_OUTOFMEMORY;
        ComPtr<IBaseFilter> filter(raw, false);
        MediaPin* tin = raw->firstPin(PINDIR_INPUT);
        MediaPin* tout = raw->firstPin(PINDIR_OUTPUT);
        // Only a filter that takes what `out` offers is worth adding.
        if (FAILED(addFilterLocked(raw, kind.name)))
            continue;
        if (tin && tout && out.Connect(tin, nullptr) == S_OK) {
            if (connectThrough(*tout, in, depth - 1) == S_OK)
                return S_OK;
        }
        removeFilterLocked(raw);
    }
    return VFW_E_CANNOT_CONNECT;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Connect(IPin* ppinOut, IPin* ppinIn)
{
    HRESULT injected = injectedFailure(COMRT_MEDIA_CONNECT);
    if (FAILED(injected))
        return injected;
    if (!ppinOut || !ppinIn)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    MediaPin* out = nullptr;
    MediaPin* in = nullptr;
    HRESULT hr = checkPinsLocked(ppinOut, ppinIn, out, in);
    if (hr == VFW_E_NO_TRANSPORT)
        return VFW_E_CANNOT_CONNECT;
    if (FAILED(hr))
        return hr;
    return connectThrough(*out, *in, kMaxInserted);
}

HRESULT STDMETHODCALLTYPE FilterGraph::Render(IPin* ppinOut)
{
    HRESULT injected = injectedFailure(COMRT_MEDIA_RENDER);
    if (FAILED(injected))
        return injected;
    if (!ppinOut)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    MediaPin* out = nullptr;
    MediaPin* none = nullptr;
    HRESULT hr = checkPinsLocked(ppinOut, nullptr, out, none);
    if (hr == VFW_E_NO_TRANSPORT)
        return VFW_E_CANNOT_RENDER;
    if (FAILED(hr))
        return hr;
    NullRenderer* raw = nullptr;
    if (FAILED(NullRenderer::create(&raw)))
        return E_OUTOFMEMORY;
    ComPtr<IBaseFilter> renderer(raw, false);
    hr = addFilterLocked(raw, u"Null Renderer");
    if (FAILED(hr))
        return hr;
    if (connectThrough(*out, *raw->firstPin(PINDIR_INPUT), kMaxInserted) != S_OK) {
        removeFilterLocked(raw);
        return VFW_E_CANNOT_RENDER;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::RenderFile(LPCWSTR, LPCWSTR)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                                                       IBaseFilter** ppFilter)
{
    if (ppFilter)
        *ppFilter = nullptr;
    HRESULT injected = injectedFailure(COMRT_MEDIA_ADD_SOURCE_FILTER);
    if (FAILED(injected))
        return injected;
    if (!lpcwstrFileName || !ppFilter)
        return E_POINTER;
    std::u16string path(lpcwstrFileName);
    {
        std::lock_guard lock(m_lock);
        if (m_state != State_Stopped)
            return VFW_E_NOT_STOPPED;
    }
    // The file is opened without the lock: reading its header takes a while.
    SourceFilter* source = nullptr;
    HRESULT hr = SourceFilter::create(path, &source);
    if (FAILED(hr))
        return hr;
    std::lock_guard lock(m_lock);
    hr = m_state == State_Stopped
             ? addFilterLocked(source, lpcwstrFilterName ? std::u16string(lpcwstrFilterName) : path)
             : VFW_E_NOT_STOPPED;
    if (FAILED(hr)) {
        source->Release();
        return hr;
    }
    *ppFilter = source; // the creation's reference goes to the caller
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::SetLogFile(DWORD_PTR)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Abort()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::ShouldOperationContinue()
{
    return S_OK;
}

REFERENCE_TIME FilterGraph::longestDuration() const
{
    REFERENCE_TIME longest = 0;
    for (const Entry& e : m_filters)
        if (auto* source = dynamic_cast<SourceFilter*>(e.impl))
            longest = std::max(longest, source->duration());
    return longest;
}

} // namespace comrt::media
