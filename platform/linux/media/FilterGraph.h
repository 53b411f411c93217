// The filter graph manager: holds the filters, connects them (inserting a
// decoder and a colour converter where the types call for them), runs and
// stops them, and reports the end of the stream. It has no window, so it
// answers no IVideoWindow.
//
// A first frame, in the order it is made:
//  1. AddSourceFilter: MediaFile.cpp opens the file through LocalFiles.cpp
//     (regular files only; ImageSequences.cpp for a pattern of numbered
//     images) and picks the video stream FFmpeg's command line would pick;
//     SourceFilter.cpp offers it on its pin.
//  2. Connect (FilterGraph.cpp): JpegDecoderFilter.cpp for Motion JPEG, else
//     DecoderFilter.cpp, then ColourConverter.cpp. The decoder decodes the
//     first picture already here (a read-ahead: a small picture on the
//     caller's thread, a large one on the source's streaming thread,
//     SourceFilter::onStreamingThread, while the caller converts it band by
//     band in BandConverter.cpp), because the picture's own size is the
//     connected size; OutputStart.cpp passes over pictures that
//     FFmpeg's command line drops before its output starts.
//  3. Run (FilterGraphControl.cpp): the source's streaming thread hands the
//     picture on (startOfStream); ColourConverter.cpp has PictureConverter.cpp
//     turn it into a sample (MediaSample.cpp) in one pass, as FFmpeg's scale
//     filter would; SampleGrabberFilter.cpp calls the host's callback and,
//     being one-shot, ends the stream; GraphEvents.cpp wakes
//     WaitForCompletion.
// Devices that are there for speed only, the picture being the same without
// them: FrameBuffers.cpp and LargeBuffers.cpp (memory taken and kept in large
// pages), HeapThresholds.cpp (decoder memory kept between pipelines),
// StreamingThread.cpp (where the streaming thread starts), KeyPackets.cpp (a
// key picture drained at once) and JpegDecoderFilter.cpp (within a few levels
// a byte).
#pragma once

#include "platform/linux/media/GraphEvents.h"
#include "platform/linux/media/MediaFilter.h"

#include <mutex>
#include <string>
#include <vector>

namespace comrt::media {

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEvent,
                          public IMediaSeeking,
                          public EventSink {
public:
    static HRESULT create(IUnknown* outer, REFIID riid, void** ppv);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IFilterGraph
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) override;
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override;
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE Reconnect(IPin* ppin) override;
    HRESULT STDMETHODCALLTYPE Disconnect(IPin* ppin) override;
    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override;

    // IGraphBuilder
    HRESULT STDMETHODCALLTYPE Connect(IPin* ppinOut, IPin* ppinIn) override;
    HRESULT STDMETHODCALLTYPE Render(IPin* ppinOut) override;
    HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
    HRESULT STDMETHODCALLTYPE AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                                              IBaseFilter** ppFilter) override;
    HRESULT STDMETHODCALLTYPE SetLogFile(DWORD_PTR hFile) override;
    HRESULT STDMETHODCALLTYPE Abort() override;
    HRESULT STDMETHODCALLTYPE ShouldOperationContinue() override;

    // IDispatch, of IMediaControl and IMediaEvent: not offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IMediaControl
    HRESULT STDMETHODCALLTYPE Run() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState* pfs) override;
    HRESULT STDMETHODCALLTYPE RenderFile(BSTR strFilename) override;
    HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR strFilename, IDispatch** ppUnk) override;
    HRESULT STDMETHODCALLTYPE get_FilterCollection(IDispatch** ppUnk) override;
    HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IDispatch** ppUnk) override;
    HRESULT STDMETHODCALLTYPE StopWhenReady() override;

    // IMediaEvent
    HRESULT STDMETHODCALLTYPE GetEventHandle(OAEVENT* hEvent) override;
    HRESULT STDMETHODCALLTYPE GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                                       LONG msTimeout) override;
    HRESULT STDMETHODCALLTYPE WaitForCompletion(LONG msTimeout, LONG* pEvCode) override;
    HRESULT STDMETHODCALLTYPE CancelDefaultHandling(LONG lEvCode) override;
    HRESULT STDMETHODCALLTYPE RestoreDefaultHandling(LONG lEvCode) override;
    HRESULT STDMETHODCALLTYPE FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) override;

    // IMediaSeeking (FilterGraphSeeking.cpp)
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* pCapabilities) override;
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* pCapabilities) override;
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* pFormat) override;
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* pFormat) override;
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* pFormat) override;
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* pFormat) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* pFormat) override;
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* pDuration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* pStop) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* pCurrent) override;
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                                                const GUID* pSourceFormat) override;
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                           DWORD dwStopFlags) override;
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
    HRESULT STDMETHODCALLTYPE SetRate(double dRate) override;
    HRESULT STDMETHODCALLTYPE GetRate(double* pdRate) override;
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* pllPreroll) override;

    // EventSink
    void notifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) override;

private:
    struct Entry {
        ComPtr<IBaseFilter> filter;
        MediaFilter* impl;
        std::u16string name;
    };

    FilterGraph() = default;
    ~FilterGraph();

    Entry* find(MediaFilter* impl);
    HRESULT addFilterLocked(MediaFilter* impl, const std::u16string& name);
    void removeFilterLocked(MediaFilter* impl);
    // Checks both ends of a connection the caller asks for.
    HRESULT checkPinsLocked(IPin* out, IPin* in, MediaPin*& outImpl, MediaPin*& inImpl);
    // Connects `out` to `in`, directly or through up to `depth` inserted filters.
    HRESULT connectThrough(MediaPin& out, MediaPin& in, int depth);
    // Every filter, sources first or last.
    std::vector<MediaFilter*> inStartOrder(bool sourcesLast) const;
    int countRenderers() const;
    REFERENCE_TIME longestDuration() const;
    void stopLocked();
    bool onOwnStreamingThread() const;
    void requestSourcesStop();

    RefCount m_refs;
    std::mutex m_lock; // the filter list and state changes; never taken on a streaming thread
    std::vector<Entry> m_filters;
    std::atomic<FILTER_STATE> m_state{State_Stopped};
    GraphEvents m_events;
};

} // namespace comrt::media
