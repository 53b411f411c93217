// Running, pausing and stopping the graph, and what it reports while it
// runs (IMediaControl, IMediaEvent). Neither offers automation.
#include "platform/linux/media/FilterGraph.h"

#include "platform/linux/media/SourceFilter.h"

#include <algorithm>

namespace comrt::media {

HRESULT STDMETHODCALLTYPE FilterGraph::GetTypeInfoCount(UINT* pctinfo)
{
    if (pctinfo)
        *pctinfo = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

std::vector<MediaFilter*> FilterGraph::inStartOrder(bool sourcesLast) const
{
    std::vector<MediaFilter*> order;
    for (int pass = 0; pass < 2; ++pass)
        for (const Entry& e : m_filters)
            if (e.impl->isSource() == (sourcesLast ? pass == 1 : pass == 0))
                order.push_back(e.impl);
    return order;
}

int FilterGraph::countRenderers() const
{
    // The filters where the chains fed by sources end; each reports completion once.
    std::vector<MediaFilter*> ends;
    for (const Entry& e : m_filters) {
        if (!e.impl->isSource())
            continue;
        std::vector<MediaFilter*> todo{e.impl};
        while (!todo.empty()) {
            MediaFilter* f = todo.back();
            todo.pop_back();
            bool fed = false;
            for (size_t i = 0; i < f->pinCount(); ++i) {
                MediaPin& pin = f->pin(i);
                if (pin.direction() == PINDIR_OUTPUT && pin.isConnected()) {
                    todo.push_back(&pin.peer()->filter());
                    fed = true;
                }
            }
            if (!fed && f != e.impl && std::find(ends.begin(), ends.end(), f) == ends.end())
                ends.push_back(f);
        }
    }
    return int(ends.size());
}

void FilterGraph::stopLocked()
{
    // Sources first: their threads are joined, so nothing streams into the
    // others while they stop.
    for (MediaFilter* f : inStartOrder(false))
        f->Stop();
    m_state = State_Stopped;
    m_events.setRunning(false);
}

bool FilterGraph::onOwnStreamingThread() const
{
    for (const Entry& e : m_filters)
        if (auto* source = dynamic_cast<SourceFilter*>(e.impl); source && source->isOwnThread())
            return true;
    return false;
}

void FilterGraph::requestSourcesStop()
{
    for (const Entry& e : m_filters)
        if (auto* source = dynamic_cast<SourceFilter*>(e.impl))
            source->requestStop();
}

HRESULT STDMETHODCALLTYPE FilterGraph::Run()
{
    if (onOwnStreamingThread())
        return VFW_E_WRONG_STATE;
    std::lock_guard lock(m_lock);
    if (m_state == State_Running)
        return S_OK;
    if (m_state == State_Stopped)
        m_events.beginStream(countRenderers());
    m_events.setRunning(true);
    // Downstream filters first, so that they take what the sources push.
    for (MediaFilter* f : inStartOrder(true)) {
        HRESULT hr = f->Run(0);
        if (FAILED(hr)) {
            stopLocked();
            return hr;
        }
    }
    m_state = State_Running;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Pause()
{
    if (onOwnStreamingThread())
        return VFW_E_WRONG_STATE;
    std::lock_guard lock(m_lock);
    if (m_state == State_Paused)
        return S_OK;
    bool wasRunning = m_state == State_Running;
    if (wasRunning)
        m_events.setRunning(false);
    else
        m_events.beginStream(countRenderers());
    for (MediaFilter* f : inStartOrder(!wasRunning)) {
        HRESULT hr = f->Pause();
        if (FAILED(hr)) {
            stopLocked();
            return hr;
        }
    }
    m_state = State_Paused;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::Stop()
{
    if (onOwnStreamingThread()) {
        // Called from a callback: the streaming thread cannot wait for
        // itself. Its sources stop once the callback returns, and whoever
        // waits for the end of this run is released now. (The filter list
        // cannot change while the graph runs, so it is read without the lock.)
        requestSourcesStop();
        m_events.post(EC_USERABORT, S_OK, 0);
        return S_OK;
    }
    std::lock_guard lock(m_lock);
    stopLocked();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetState(LONG, OAFilterState* pfs)
{
    if (!pfs)
        return E_POINTER;
    *pfs = m_state.load();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterGraph::RenderFile(BSTR)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::AddSourceFilter(BSTR, IDispatch** ppUnk)
{
    if (ppUnk)
        *ppUnk = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::get_FilterCollection(IDispatch** ppUnk)
{
    if (ppUnk)
        *ppUnk = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::get_RegFilterCollection(IDispatch** ppUnk)
{
    if (ppUnk)
        *ppUnk = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::StopWhenReady()
{
    return Stop();
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetEventHandle(OAEVENT* hEvent)
{
    if (hEvent)
        *hEvent = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout)
{
    return m_events.getEvent(lEventCode, lParam1, lParam2, msTimeout);
}

HRESULT STDMETHODCALLTYPE FilterGraph::WaitForCompletion(LONG msTimeout, LONG* pEvCode)
{
    return m_events.waitForCompletion(msTimeout, pEvCode);
}

HRESULT STDMETHODCALLTYPE FilterGraph::CancelDefaultHandling(LONG)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::RestoreDefaultHandling(LONG)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR)
{
    return S_OK;
}

void FilterGraph::notifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    m_events.post(code, param1, param2);
}

} // namespace comrt::media
