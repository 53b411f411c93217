// A pin of one of this runtime's filters. A pin lives and dies with its
// filter: its reference count is the filter's. Connections are made only
// between this runtime's pins (the streaming between them is internal) and
// only while the filters are stopped, so the streaming thread reads a pin's
// peer without a lock.
#pragma once

#include "platform/linux/media/MediaCommon.h"
#include "platform/linux/media/MediaTypes.h"

#include <string>

namespace comrt::media {

class MediaFilter;

class MediaPin final : public IPin {
public:
    MediaPin(MediaFilter& filter, PIN_DIRECTION direction, std::u16string name);
    ~MediaPin();

    // The implementation behind an IPin of this runtime, or null for a foreign one.
    static MediaPin* fromInterface(IPin* pin);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pPin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* pInfo) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* pPinDir) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* Id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    PIN_DIRECTION direction() const { return m_direction; }
    const std::u16string& name() const { return m_name; }
    MediaFilter& filter() const { return m_filter; }
    MediaPin* peer() const { return m_peer; }
    bool isConnected() const { return m_peer != nullptr; }
    const MediaType& connectionType() const { return m_type; }

    // Output pins, on the streaming thread: hands an item, or the end of the
    // stream, to the connected input pin. S_FALSE from downstream means
    // "send no more".
    HRESULT deliver(StreamItem& item);
    // Tells the connected filter that the stream starts (before any item).
    HRESULT deliverStartOfStream();
    void deliverEndOfStream();

    // Drops the connection on this side only (the graph drops both).
    void breakConnection();

private:
    HRESULT completeConnection(MediaPin* peer, const AM_MEDIA_TYPE& mt);

    MediaFilter& m_filter;
    const PIN_DIRECTION m_direction;
    const std::u16string m_name;
    MediaPin* m_peer = nullptr; // counted
    MediaType m_type;
};

} // namespace comrt::media
