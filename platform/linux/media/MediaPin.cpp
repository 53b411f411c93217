#include "platform/linux/media/MediaPin.h"

#include "platform/Com.h"
#include "platform/linux/media/MediaEnumerators.h"
#include "platform/linux/media/MediaFilter.h"

#include <cstring>

namespace comrt::media {

MediaPin::MediaPin(MediaFilter& filter, PIN_DIRECTION direction, std::u16string name)
    : m_filter(filter), m_direction(direction), m_name(std::move(name))
{
}

MediaPin::~MediaPin()
{
    breakConnection();
}

MediaPin* MediaPin::fromInterface(IPin* pin)
{
    if (!pin)
        return nullptr;
    void* impl = nullptr;
    if (FAILED(pin->QueryInterface(IID_MediaPinImpl, &impl)) || !impl)
        return nullptr;
    auto* p = static_cast<MediaPin*>(impl);
    p->Release();
    return p;
}

HRESULT STDMETHODCALLTYPE MediaPin::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPin || riid == IID_MediaPinImpl) {
        *ppv = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MediaPin::AddRef()
{
    return m_filter.AddRef();
}

ULONG STDMETHODCALLTYPE MediaPin::Release()
{
    return m_filter.Release();
}

HRESULT MediaPin::completeConnection(MediaPin* peer, const AM_MEDIA_TYPE& mt)
{
    HRESULT hr = m_type.assign(mt);
    if (FAILED(hr))
        return hr;
    peer->AddRef();
    m_peer = peer;
    m_filter.connectionChanged(*this);
    return S_OK;
}

void MediaPin::breakConnection()
{
    if (MediaPin* peer = m_peer) {
        m_peer = nullptr;
        m_type.clear();
        m_filter.connectionChanged(*this);
        peer->Release();
    }
}

HRESULT STDMETHODCALLTYPE MediaPin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt)
{
    if (!pReceivePin)
        return E_POINTER;
    if (m_direction != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    if (m_filter.state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (m_peer)
        return VFW_E_ALREADY_CONNECTED;
    MediaPin* receiver = fromInterface(pReceivePin);
    if (!receiver)
        return VFW_E_NO_TRANSPORT;
    if (receiver->direction() != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    if (&receiver->filter() == &m_filter)
        return VFW_E_CANNOT_CONNECT;

    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int i = 0;; ++i) {
        MediaType offered;
        if (m_filter.getOutputType(*this, i, offered.get()) != S_OK)
            break;
        if (pmt && !mediaTypeMatches(*pmt, offered.get()))
            continue;
        HRESULT hr = receiver->ReceiveConnection(this, &offered.get());
        if (hr != S_OK) {
            last = FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
            continue;
        }
        hr = completeConnection(receiver, offered.get());
        if (FAILED(hr)) {
            receiver->breakConnection();
            return hr;
        }
        return S_OK;
    }
    return last == VFW_E_TYPE_NOT_ACCEPTED ? VFW_E_NO_ACCEPTABLE_TYPES : last;
}

HRESULT STDMETHODCALLTYPE MediaPin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt)
{
    if (!pConnector || !pmt)
        return E_POINTER;
    if (m_direction != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    if (m_filter.state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (m_peer)
        return VFW_E_ALREADY_CONNECTED;
    MediaPin* from = fromInterface(pConnector);
    if (!from)
        return VFW_E_NO_TRANSPORT;
    if (from->direction() != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    HRESULT hr = m_filter.checkInputType(*this, *from, *pmt);
    if (hr != S_OK)
        return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    return completeConnection(from, *pmt);
}

HRESULT STDMETHODCALLTYPE MediaPin::Disconnect()
{
    if (m_filter.state() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (!m_peer)
        return S_FALSE;
    breakConnection();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaPin::ConnectedTo(IPin** pPin)
{
    if (!pPin)
        return E_POINTER;
    *pPin = m_peer;
    if (!m_peer)
        return VFW_E_NOT_CONNECTED;
    m_peer->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaPin::ConnectionMediaType(AM_MEDIA_TYPE* pmt)
{
    if (!pmt)
        return E_POINTER;
    if (!m_peer) {
        std::memset(pmt, 0, sizeof *pmt);
        return VFW_E_NOT_CONNECTED;
    }
    return copyMediaType(*pmt, m_type.get());
}

HRESULT STDMETHODCALLTYPE MediaPin::QueryPinInfo(PIN_INFO* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    pInfo->pFilter = countedFilter(m_filter);
    pInfo->dir = m_direction;
    copyName(pInfo->achName, m_name);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaPin::QueryDirection(PIN_DIRECTION* pPinDir)
{
    if (!pPinDir)
        return E_POINTER;
    *pPinDir = m_direction;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaPin::QueryId(LPWSTR* Id)
{
    if (!Id)
        return E_POINTER;
    *Id = taskMemString(m_name);
    return *Id ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE MediaPin::QueryAccept(const AM_MEDIA_TYPE* pmt)
{
    if (!pmt)
        return E_POINTER;
    if (m_direction == PINDIR_INPUT) {
        // Unconnected, there is no connector to ask about: the type on its own decides.
        MediaPin& from = m_peer ? *m_peer : *this;
        return m_filter.checkInputType(*this, from, *pmt) == S_OK ? S_OK : S_FALSE;
    }
    for (int i = 0;; ++i) {
        MediaType offered;
        if (m_filter.getOutputType(*this, i, offered.get()) != S_OK)
            return S_FALSE;
        if (mediaTypeMatches(*pmt, offered.get()))
            return S_OK;
    }
}

HRESULT STDMETHODCALLTYPE MediaPin::EnumMediaTypes(IEnumMediaTypes** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    std::vector<std::shared_ptr<MediaType>> types;
    if (m_direction == PINDIR_OUTPUT) {
        for (int i = 0;; ++i) {
            auto t = std::make_shared<MediaType>();
            if (m_filter.getOutputType(*this, i, t->get()) != S_OK)
                break;
            types.push_back(std::move(t));
        }
    }
    return createMediaTypeEnumerator(std::move(types), ppEnum);
}

HRESULT STDMETHODCALLTYPE MediaPin::QueryInternalConnections(IPin** apPin, ULONG* nPin)
{
    (void)apPin;
    (void)nPin;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE MediaPin::EndOfStream()
{
    if (m_direction != PINDIR_INPUT)
        return E_UNEXPECTED;
    m_filter.endOfStream(*this);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaPin::BeginFlush()
{
    return m_direction == PINDIR_INPUT ? S_OK : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE MediaPin::EndFlush()
{
    return m_direction == PINDIR_INPUT ? S_OK : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE MediaPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    (void)tStart;
    (void)tStop;
    (void)dRate;
    return S_OK;
}

HRESULT MediaPin::deliver(StreamItem& item)
{
    MediaPin* peer = m_peer;
    if (!peer)
        return VFW_E_NOT_CONNECTED;
    return peer->filter().receive(*peer, item);
}

HRESULT MediaPin::deliverStartOfStream()
{
    MediaPin* peer = m_peer;
    return peer ? peer->filter().startOfStream(*peer) : S_OK;
}

void MediaPin::deliverEndOfStream()
{
    if (MediaPin* peer = m_peer)
        peer->filter().endOfStream(*peer);
}

} // namespace comrt::media
