// Whether a session gives back every reference it took, on each failing step,
// at teardown and when replaced. The pipeline's objects are watched by
// standing in for the runtime's CoCreateInstance in this executable (the
// component is linked in statically, so its calls land here first); the
// same trick makes the path copy run out of memory.
#include "tests/capture/CaptureTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <vector>

using namespace capturetest;

namespace {

// The graphs and grabbers made through the component, each with one extra
// reference held here.
std::vector<IUnknown*> g_watched;
// SysAllocString fails once for this source string.
const OLECHAR* g_failCopyOf = nullptr;

template <class Function>
Function runtimeFunction(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv)
{
    static const auto real = runtimeFunction<HRESULT (*)(REFCLSID, IUnknown*, DWORD, REFIID, LPVOID*)>("CoCreateInstance");
    HRESULT hr = real(rclsid, pUnkOuter, dwClsContext, riid, ppv);
    if (SUCCEEDED(hr) && ppv != nullptr && *ppv != nullptr &&
        (IsEqualCLSID(rclsid, CLSID_FilterGraph) || IsEqualCLSID(rclsid, CLSID_SampleGrabber))) {
        IUnknown* object = static_cast<IUnknown*>(*ppv);
        object->AddRef();
        g_watched.push_back(object);
    }
    return hr;
}

extern "C" BSTR SysAllocString(const OLECHAR* psz)
{
    static const auto real = runtimeFunction<BSTR (*)(const OLECHAR*)>("SysAllocString");
    if (psz != nullptr && psz == g_failCopyOf) {
        g_failCopyOf = nullptr;
        return nullptr;
    }
    return real(psz);
}

namespace {

class ReferenceRelease : public ::testing::Test {
protected:
    BoxRecorder boxes;
    MediaHooksGuard hooks;

    void SetUp() override { g_watched.clear(); }

    // Drops the references held here, graph before grabber (the graph holds
    // the grabber it contains); each must be the last one.
    void expectReleased(size_t count)
    {
        ASSERT_EQ(g_watched.size(), count);
        for (IUnknown* object : g_watched)
            EXPECT_EQ(object->Release(), 0u) << "a reference of the session was kept";
        g_watched.clear();
    }
};

class ReleaseOnFailure : public ReferenceRelease, public ::testing::WithParamInterface<ComRtMediaStep> {};

TEST_P(ReleaseOnFailure, ReferencesTakenBeforeTheStepAreGivenBack)
{
    const ComRtMediaStep step = GetParam();
    {
        Session session;
        ComRtFailMediaStep(step, E_FAIL);
        ASSERT_EQ(session.create(rawAvi(6, 4), 0), 0);
        EXPECT_TRUE(session.holdsNothing());
    }
    // The grabber exists from its creation step on.
    expectReleased(step > COMRT_MEDIA_CREATE_SAMPLE_GRABBER ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(AfterTheGraph, ReleaseOnFailure,
                         ::testing::Values(COMRT_MEDIA_QUERY_MEDIA_CONTROL, COMRT_MEDIA_QUERY_MEDIA_EVENT,
                                           COMRT_MEDIA_QUERY_MEDIA_SEEKING, COMRT_MEDIA_ADD_SOURCE_FILTER,
                                           COMRT_MEDIA_CREATE_SAMPLE_GRABBER, COMRT_MEDIA_QUERY_SAMPLE_GRABBER,
                                           COMRT_MEDIA_CONNECT, COMRT_MEDIA_RENDER,
                                           COMRT_MEDIA_GET_CONNECTED_MEDIA_TYPE),
                         [](const ::testing::TestParamInfo<ComRtMediaStep>& info) {
                             return std::string(stepName(info.param));
                         });

TEST_F(ReferenceRelease, TeardownGivesBackEverything)
{
    Session session;
    ASSERT_EQ(session.create(rawAvi(6, 4), 1), 1);
    ASSERT_EQ(session.startCapture(), S_OK);
    MORImageStruct image = {};
    session.Grab(&image);
    ASSERT_EQ(session.destroyCapture(), S_FALSE);
    expectReleased(2);
}

TEST_F(ReferenceRelease, ReplacedSessionIsGivenBack)
{
    Session session;
    ASSERT_EQ(session.create(rawAvi(6, 4), 0), 1);
    ASSERT_EQ(session.startCapture(), S_OK);
    std::vector<IUnknown*> first = g_watched;
    g_watched.clear();

    ASSERT_EQ(session.create(mjpegAvi(), 0), 1);
    for (IUnknown* object : first)
        EXPECT_EQ(object->Release(), 0u);

    session.destroyCapture();
    expectReleased(2);
}

TEST_F(ReferenceRelease, PathCopyOutOfMemoryFailsLikeAStep)
{
    Session session;
    const testkit::Bstr path = hostPath(rawAvi(6, 4));
    g_failCopyOf = path.get();
    VARIANT_BOOL created = 42;
    EXPECT_EQ(session.createCapture(path.get(), 0, &created), S_FALSE);
    EXPECT_EQ(created, 0);
    EXPECT_EQ(g_failCopyOf, nullptr) << "the component copies the path it was given";
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(session.m_bCreated);
    EXPECT_TRUE(session.holdsNothing());
    expectReleased(1);

    EXPECT_EQ(session.createCapture(path.get(), 0, &created), S_OK);
    EXPECT_EQ(created, 1);
    session.destroyCapture();
    expectReleased(2);
}

} // namespace
