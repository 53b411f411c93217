#include "tests/capture/CaptureTestSupport.h"

#include <map>
#include <memory>
#include <thread>
#include <utility>

namespace capturetest {

namespace {

std::vector<ShownBox>& recorded()
{
    static std::vector<ShownBox> boxes;
    return boxes;
}

int recordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    recorded().push_back({owner, text != nullptr ? text : "<null>", caption != nullptr ? caption : "<null>", type});
    return IDOK;
}

} // namespace

BoxRecorder::BoxRecorder() : m_previous(ComRtSetMessageBoxHandler(&recordBox))
{
    recorded().clear();
}

BoxRecorder::~BoxRecorder()
{
    ComRtSetMessageBoxHandler(m_previous);
    recorded().clear();
}

const std::vector<ShownBox>& BoxRecorder::boxes() const
{
    return recorded();
}

std::vector<std::pair<std::string, std::string>> BoxRecorder::shown() const
{
    std::vector<std::pair<std::string, std::string>> result;
    for (const ShownBox& box : recorded())
        result.emplace_back(box.text, box.caption);
    return result;
}

void BoxRecorder::clear()
{
    recorded().clear();
}

testkit::Bstr hostPath(const std::string& utf8Path)
{
    return testkit::Bstr(testmedia::toUtf16(utf8Path));
}

VARIANT_BOOL Session::create(const std::string& path, VARIANT_BOOL flip, HRESULT* result)
{
    const testkit::Bstr file = hostPath(path);
    VARIANT_BOOL created = 42;
    HRESULT hr = createCapture(file.get(), flip, &created);
    if (result != nullptr)
        *result = hr;
    return created;
}

bool Session::holdsNothing() const
{
    return m_pGraphBuilder == nullptr && m_pSourceFilter == nullptr && m_pMediaControl == nullptr &&
           m_pSampleGrabberFilter == nullptr && m_pMediaEvent == nullptr && m_pMediaSeeking == nullptr &&
           m_pSampleGrabber == nullptr && m_pSourceOutputPin == nullptr && m_pGrabberInputPin == nullptr &&
           m_pGrabberOutputPin == nullptr && m_pEnumPins == nullptr && m_pVideoWindow == nullptr &&
           m_pImageHeader == nullptr;
}

const testkit::ScratchDirectory& mediaDir()
{
    static testkit::ScratchDirectory dir("morven-capture");
    return dir;
}

const std::string& rawAvi(int width, int height)
{
    static std::map<std::pair<int, int>, std::string> made;
    auto found = made.find({width, height});
    if (found == made.end())
        found = made.emplace(std::make_pair(width, height), testmedia::makeRawBgrAvi(mediaDir().path(), width, height))
                    .first;
    return found->second;
}

const std::string& mjpegAvi()
{
    static const std::string path = testmedia::makeMjpegAvi(mediaDir().path(), 64, 48);
    return path;
}

const std::string& audioOnly()
{
    static const std::string path = testmedia::makeAudioOnly(mediaDir().path());
    return path;
}

const char* stepName(ComRtMediaStep step)
{
    static const char* const names[] = {"CreateGraph",          "QueryMediaControl", "QueryMediaEvent",
                                        "QueryMediaSeeking",    "AddSourceFilter",   "CreateSampleGrabber",
                                        "QuerySampleGrabber",   "Connect",           "Render",
                                        "GetConnectedMediaType"};
    static_assert(sizeof names / sizeof names[0] == COMRT_MEDIA_STEP_COUNT);
    return step >= 0 && step < COMRT_MEDIA_STEP_COUNT ? names[step] : "Unknown";
}

void onFreshThread(const std::function<void()>& body)
{
    std::thread worker(body);
    worker.join();
}

bool apartmentBalanced()
{
    HRESULT hr = CoInitialize(nullptr);
    if (SUCCEEDED(hr))
        CoUninitialize();
    return hr == S_OK;
}

} // namespace capturetest
