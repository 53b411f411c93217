// How the graph and its filters present themselves: pin order and pin
// information, what Connect and Render refuse, the grabber's type filter,
// the filters the graph inserts, and the interfaces it does not have.
#include "tests/platform/linux/media/PipelineHarness.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

using namespace mediatest;

namespace {

// Not among the codes the platform headers here declare.
const HRESULT kInvalidDirection = HRESULT(0x80040208);

class GraphStructure : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new testmedia::TempDir("media-structure");
        clip = testmedia::makeRawBgrAvi(dir->path(), 16, 8, 5);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    // Graph, source and grabber in the graph; nothing connected.
    void SetUp() override
    {
        ensureComInitialized();
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.outVoid()),
                  S_OK);
        std::u16string path = testmedia::toUtf16(clip);
        ASSERT_EQ(graph->AddSourceFilter(path.c_str(), u"Source", source.out()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   grabberFilter.outVoid()),
                  S_OK);
        ASSERT_EQ(grabberFilter->QueryInterface(IID_ISampleGrabber, grabber.outVoid()), S_OK);
        ASSERT_EQ(graph->AddFilter(grabberFilter.get(), u"Grabber"), S_OK);
        *sourceOut.out() = firstPin(source.get(), PINDIR_OUTPUT);
        *grabberIn.out() = firstPin(grabberFilter.get(), PINDIR_INPUT);
        *grabberOut.out() = firstPin(grabberFilter.get(), PINDIR_OUTPUT);
        ASSERT_TRUE(sourceOut && grabberIn && grabberOut);
    }

    void wantType(const GUID& major, const GUID& sub, const GUID& format = GUID_NULL)
    {
        AM_MEDIA_TYPE mt{};
        mt.majortype = major;
        mt.subtype = sub;
        mt.formattype = format;
        ASSERT_EQ(grabber->SetMediaType(&mt), S_OK);
    }

    static testmedia::TempDir* dir;
    static std::string clip;
    Ref<IGraphBuilder> graph;
    Ref<IBaseFilter> source;
    Ref<IBaseFilter> grabberFilter;
    Ref<ISampleGrabber> grabber;
    Ref<IPin> sourceOut;
    Ref<IPin> grabberIn;
    Ref<IPin> grabberOut;
};
testmedia::TempDir* GraphStructure::dir = nullptr;
std::string GraphStructure::clip;

std::vector<PIN_DIRECTION> pinDirections(IBaseFilter* f)
{
    std::vector<PIN_DIRECTION> dirs;
    Ref<IEnumPins> pins;
    EXPECT_EQ(f->EnumPins(pins.out()), S_OK);
    IPin* batch[4] = {};
    ULONG fetched = 0;
    EXPECT_EQ(pins->Next(4, batch, &fetched), S_FALSE);
    for (ULONG i = 0; i < fetched; ++i) {
        PIN_DIRECTION d;
        batch[i]->QueryDirection(&d);
        dirs.push_back(d);
        batch[i]->Release();
    }
    return dirs;
}

TEST_F(GraphStructure, PinsComeInTheFiltersOwnOrderWithCountedPinInfo)
{
    EXPECT_EQ(pinDirections(source.get()), std::vector<PIN_DIRECTION>{PINDIR_OUTPUT});
    EXPECT_EQ(pinDirections(grabberFilter.get()), (std::vector<PIN_DIRECTION>{PINDIR_INPUT, PINDIR_OUTPUT}));

    // PIN_INFO hands out a counted reference to the filter.
    ULONG before = source->AddRef();
    source->Release();
    PIN_INFO info{};
    ASSERT_EQ(sourceOut->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(info.pFilter, source.get());
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(source->AddRef(), before + 1);
    source->Release();
    info.pFilter->Release();
    EXPECT_EQ(source->AddRef(), before);
    source->Release();

    LPWSTR id = nullptr;
    ASSERT_EQ(grabberIn->QueryId(&id), S_OK);
    Ref<IPin> found;
    EXPECT_EQ(grabberFilter->FindPin(id, found.out()), S_OK);
    EXPECT_EQ(found.get(), grabberIn.get());
    CoTaskMemFree(id);

    FILTER_INFO fi{};
    ASSERT_EQ(source->QueryFilterInfo(&fi), S_OK);
    EXPECT_EQ(std::u16string(fi.achName), u"Source");
    EXPECT_EQ(static_cast<IUnknown*>(fi.pGraph), static_cast<IUnknown*>(graph.get()));
    fi.pGraph->Release();
}

TEST_F(GraphStructure, ConnectAndRenderRefuseWhatCannotWork)
{
    wantType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(graph->Connect(nullptr, grabberIn.get()), E_POINTER);
    EXPECT_EQ(graph->Connect(sourceOut.get(), nullptr), E_POINTER);
    EXPECT_EQ(graph->Connect(grabberIn.get(), sourceOut.get()), kInvalidDirection);
    EXPECT_EQ(graph->Render(nullptr), E_POINTER);
    // The grabber's output offers nothing before its input is connected.
    EXPECT_EQ(graph->Render(grabberOut.get()), VFW_E_CANNOT_RENDER);
    AM_MEDIA_TYPE mt{};
    EXPECT_EQ(grabber->GetConnectedMediaType(&mt), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(grabber->GetConnectedMediaType(nullptr), E_POINTER);

    // Only the given major type and subtype are taken.
    wantType(MEDIATYPE_Audio, GUID_NULL);
    EXPECT_EQ(graph->Connect(sourceOut.get(), grabberIn.get()), VFW_E_CANNOT_CONNECT);
    wantType(MEDIATYPE_Video, MEDIATYPE_Audio);
    EXPECT_EQ(graph->Connect(sourceOut.get(), grabberIn.get()), VFW_E_CANNOT_CONNECT);
    wantType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, MEDIATYPE_Stream);
    EXPECT_EQ(graph->Connect(sourceOut.get(), grabberIn.get()), VFW_E_CANNOT_CONNECT);
    // A failed attempt leaves no filter behind.
    Ref<IEnumFilters> filters;
    ASSERT_EQ(graph->EnumFilters(filters.out()), S_OK);
    ULONG count = 0;
    IBaseFilter* batch[8] = {};
    filters->Next(8, batch, &count);
    for (ULONG i = 0; i < count; ++i)
        batch[i]->Release();
    EXPECT_EQ(count, 2u);

    wantType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
    EXPECT_EQ(graph->Connect(sourceOut.get(), grabberIn.get()), S_OK);
    EXPECT_EQ(graph->Connect(sourceOut.get(), grabberIn.get()), VFW_E_ALREADY_CONNECTED);
}

TEST_F(GraphStructure, ConnectInsertsDecoderAndConverterAndRenderAddsARenderer)
{
    wantType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24);
    ASSERT_EQ(graph->Connect(sourceOut.get(), grabberIn.get()), S_OK);
    ASSERT_EQ(graph->Render(grabberOut.get()), S_OK);
    for (const char16_t* name : {u"Source", u"Grabber", u"Video Decoder", u"Colour Converter", u"Null Renderer"}) {
        Ref<IBaseFilter> f;
        EXPECT_EQ(graph->FindFilterByName(name, f.out()), S_OK);
    }
    Ref<IPin> upstream;
    ASSERT_EQ(grabberIn->ConnectedTo(upstream.out()), S_OK);
    PIN_INFO info{};
    ASSERT_EQ(upstream->QueryPinInfo(&info), S_OK);
    FILTER_INFO fi{};
    info.pFilter->QueryFilterInfo(&fi);
    EXPECT_EQ(std::u16string(fi.achName), u"Colour Converter");
    if (fi.pGraph)
        fi.pGraph->Release();
    info.pFilter->Release();

    // The connected type is the caller's copy, its format block from task memory.
    AM_MEDIA_TYPE a{}, b{};
    ASSERT_EQ(grabber->GetConnectedMediaType(&a), S_OK);
    ASSERT_EQ(grabber->GetConnectedMediaType(&b), S_OK);
    EXPECT_NE(a.pbFormat, b.pbFormat);
    EXPECT_EQ(a.cbFormat, sizeof(VIDEOINFOHEADER));
    CoTaskMemFree(a.pbFormat);
    CoTaskMemFree(b.pbFormat);
}

TEST_F(GraphStructure, GraphHasNoWindowAndNoAutomation)
{
    Ref<IVideoWindow> window;
    EXPECT_EQ(graph->QueryInterface(IID_IVideoWindow, window.outVoid()), E_NOINTERFACE);
    EXPECT_FALSE(window);

    Ref<IMediaControl> control;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.outVoid()), S_OK);
    UINT n = 7;
    EXPECT_EQ(control->GetTypeInfoCount(&n), E_NOTIMPL);
    EXPECT_EQ(control->Invoke(0, GUID_NULL, 0, 0, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    Ref<IMediaEvent> events;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaEvent, events.outVoid()), S_OK);
    EXPECT_EQ(events->GetIDsOfNames(GUID_NULL, nullptr, 0, 0, nullptr), E_NOTIMPL);

    // Every interface of the graph leads back to the one object.
    Ref<IUnknown> a, b;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, a.outVoid()), S_OK);
    ASSERT_EQ(events->QueryInterface(IID_IUnknown, b.outVoid()), S_OK);
    EXPECT_EQ(a.get(), b.get());

    Ref<IMediaSeeking> seeking;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaSeeking, seeking.outVoid()), S_OK);
    LONGLONG duration = 0;
    EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 2000000); // five frames at 25 per second, in 100 ns units
}

} // namespace
