// Building and tearing down a capture session on the runtime's pipeline.
#include "tests/capture/CaptureTestSupport.h"

#include <gtest/gtest.h>

using namespace capturetest;
using Boxes = std::vector<std::pair<std::string, std::string>>;

namespace {

class CaptureSession : public ::testing::Test {
protected:
    BoxRecorder boxes;
    MediaHooksGuard hooks;
};

TEST_F(CaptureSession, BuildsASessionAndTearsItDown)
{
    Session session;
    EXPECT_EQ(session.destroyCapture(), S_OK);
    HRESULT hr = E_FAIL;
    VARIANT_BOOL created = session.create(rawAvi(6, 4), 0, &hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(created, 1) << "the out value is 1, not VARIANT_TRUE";
    EXPECT_TRUE(boxes.boxes().empty());

    EXPECT_TRUE(session.m_bCreated);
    EXPECT_FALSE(session.m_bStarted);
    EXPECT_EQ(session.m_nWidth, 6);
    EXPECT_EQ(session.m_nHeight, 4);
    EXPECT_EQ(session.m_nDepth, 8);
    EXPECT_EQ(session.m_nChannels, 3);
    for (void* held : {(void*)session.m_pGraphBuilder, (void*)session.m_pSourceFilter, (void*)session.m_pMediaControl,
                       (void*)session.m_pSampleGrabberFilter, (void*)session.m_pMediaEvent,
                       (void*)session.m_pMediaSeeking, (void*)session.m_pSampleGrabber,
                       (void*)session.m_pSourceOutputPin, (void*)session.m_pGrabberInputPin,
                       (void*)session.m_pGrabberOutputPin})
        EXPECT_NE(held, nullptr);

    // The header describes the frame buffer's rows: 6 pixels of 3 bytes, padded to 20.
    ASSERT_NE(session.m_pImageHeader, nullptr);
    EXPECT_EQ(session.m_pImageHeader->width, 6);
    EXPECT_EQ(session.m_pImageHeader->height, 4);
    EXPECT_EQ(session.m_pImageHeader->nChannels, 3);
    EXPECT_EQ(session.m_pImageHeader->widthStep, 20);
    EXPECT_EQ(session.m_pImageHeader->imageData, nullptr);

    EXPECT_EQ(session.destroyCapture(), S_FALSE);
    EXPECT_TRUE(session.holdsNothing());
    EXPECT_FALSE(session.m_bCreated);
    // Teardown keeps the geometry.
    EXPECT_EQ(session.m_nWidth, 6);
    EXPECT_EQ(session.m_nHeight, 4);
    EXPECT_EQ(session.destroyCapture(), S_OK);

    // A started session's graph is stopped, not released running: a reference
    // of the test's own keeps the graph to be asked afterwards.
    ASSERT_EQ(session.create(rawAvi(6, 4), 0), 1);
    EXPECT_EQ(session.startCapture(), S_OK);
    EXPECT_TRUE(session.m_bStarted);
    session.m_pMediaControl->AddRef();
    testkit::Ref<IMediaControl> control(session.m_pMediaControl);
    OAFilterState state = -1;
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_EQ(session.destroyCapture(), S_FALSE);
    EXPECT_FALSE(session.m_bStarted);
    EXPECT_TRUE(session.holdsNothing());
    state = -1;
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped) << "the graph was left running";
}

TEST_F(CaptureSession, AnyNonzeroFlagAsksForTheFlip)
{
    Session session;
    for (VARIANT_BOOL flag : {VARIANT_BOOL(1), VARIANT_BOOL(-1), VARIANT_BOOL(0), VARIANT_BOOL(2)}) {
        ASSERT_EQ(session.create(rawAvi(6, 4), flag), 1);
        EXPECT_EQ(session.m_bFlip, flag != 0) << "flag " << flag;
        session.destroyCapture();
        EXPECT_EQ(session.m_bFlip, flag != 0) << "teardown keeps the flag";
    }
}

TEST_F(CaptureSession, FlagIsStoredOnlyOnceTheGraphExists)
{
    Session session;
    ComRtFailMediaStep(COMRT_MEDIA_CREATE_GRAPH, E_OUTOFMEMORY);
    EXPECT_EQ(session.create(rawAvi(6, 4), 1), 0);
    EXPECT_FALSE(session.m_bFlip);

    ComRtResetMediaHooks();
    ComRtFailMediaStep(COMRT_MEDIA_CONNECT, VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(session.create(rawAvi(6, 4), -1), 0);
    EXPECT_TRUE(session.m_bFlip);
}

struct FailingStep {
    ComRtMediaStep step;
    HRESULT hr;
    Boxes expected; // the path's box is checked separately
    bool pathBoxFirst;
};

void PrintTo(const FailingStep& failing, std::ostream* out)
{
    *out << stepName(failing.step);
}

class CaptureSessionFailure : public CaptureSession, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(CaptureSessionFailure, ReportsTheStepAndKeepsNothing)
{
    const FailingStep& failing = GetParam();
    Session session;
    const std::string& path = rawAvi(6, 4);
    ComRtFailMediaStep(failing.step, failing.hr);

    HRESULT hr = E_FAIL;
    EXPECT_EQ(session.create(path, 1, &hr), 0);
    EXPECT_EQ(hr, S_FALSE);

    Boxes expected = failing.expected;
    if (failing.pathBoxFirst)
        expected.insert(expected.begin(), {path, "0"});
    EXPECT_EQ(boxes.shown(), expected);
    for (const ShownBox& box : boxes.boxes()) {
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.type, MB_OK);
    }

    EXPECT_FALSE(session.m_bCreated);
    EXPECT_TRUE(session.holdsNothing());
    EXPECT_EQ(session.destroyCapture(), S_OK);

    // Nothing of the failed attempt stands in the way of the next one.
    ComRtResetMediaHooks();
    EXPECT_EQ(session.create(path, 0), 1);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, CaptureSessionFailure,
    ::testing::Values(FailingStep{COMRT_MEDIA_CREATE_GRAPH, REGDB_E_CLASSNOTREG, {}, false},
                      FailingStep{COMRT_MEDIA_QUERY_MEDIA_CONTROL, E_NOINTERFACE, {}, false},
                      FailingStep{COMRT_MEDIA_QUERY_MEDIA_EVENT, E_NOINTERFACE, {}, false},
                      FailingStep{COMRT_MEDIA_QUERY_MEDIA_SEEKING, E_NOINTERFACE, {}, false},
                      FailingStep{COMRT_MEDIA_ADD_SOURCE_FILTER, VFW_E_UNKNOWN_FILE_TYPE, {{"AddSourceFilter", "1"}}, true},
                      FailingStep{COMRT_MEDIA_CREATE_SAMPLE_GRABBER, REGDB_E_CLASSNOTREG, {{"m_pSampleGrabberFilter", "2"}}, false},
                      FailingStep{COMRT_MEDIA_QUERY_SAMPLE_GRABBER, E_NOINTERFACE, {{"m_pSampleGrabber", "3"}}, false},
                      FailingStep{COMRT_MEDIA_CONNECT, VFW_E_CANNOT_CONNECT, {{"Connect", "5"}}, false},
                      FailingStep{COMRT_MEDIA_RENDER, VFW_E_CANNOT_RENDER, {{"Render", "6"}}, false},
                      FailingStep{COMRT_MEDIA_GET_CONNECTED_MEDIA_TYPE, VFW_E_NOT_CONNECTED, {{"GetConnectedMediaType", "7"}}, false}),
    [](const ::testing::TestParamInfo<FailingStep>& info) { return std::string(stepName(info.param.step)); });

TEST_F(CaptureSession, MissingFileShowsThePathThenTheStep)
{
    Session session;
    const std::string missing = mediaDir().file("no-such-clip.avi");
    HRESULT hr = E_FAIL;
    EXPECT_EQ(session.create(missing, 0, &hr), 0);
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_EQ(boxes.shown(), (Boxes{{missing, "0"}, {"AddSourceFilter", "1"}}));
    EXPECT_TRUE(session.holdsNothing());
}

TEST_F(CaptureSession, FileWithoutVideoFailsToConnect)
{
    Session session;
    HRESULT hr = E_FAIL;
    EXPECT_EQ(session.create(audioOnly(), 0, &hr), 0);
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_EQ(boxes.shown(), (Boxes{{"Connect", "5"}}));
    EXPECT_TRUE(session.holdsNothing());
}

TEST_F(CaptureSession, DamagedFilesFailCleanly)
{
    const std::string& dir = mediaDir().path();
    for (const std::string& path : {testmedia::makeRandomBytes(dir), testmedia::makeEmptyFile(dir),
                                    testmedia::makeTruncatedCopy(mjpegAvi(), dir, 0.05)}) {
        SCOPED_TRACE(path);
        boxes.clear();
        Session session;
        HRESULT hr = E_FAIL;
        EXPECT_EQ(session.create(path, 1, &hr), 0);
        EXPECT_EQ(hr, S_FALSE);
        EXPECT_FALSE(boxes.boxes().empty());
        EXPECT_TRUE(session.holdsNothing());
        EXPECT_EQ(session.destroyCapture(), S_OK);
    }
}

TEST_F(CaptureSession, NullOutPointerBuildsNothing)
{
    Session session;
    const testkit::Bstr path = hostPath(rawAvi(6, 4));
    EXPECT_EQ(session.createCapture(path.get(), 1, nullptr), S_FALSE);
    EXPECT_FALSE(session.m_bCreated);
    EXPECT_FALSE(session.m_bFlip);
    EXPECT_TRUE(session.holdsNothing());
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(session.destroyCapture(), S_OK);
}

TEST_F(CaptureSession, CreatingOverALiveSessionReplacesIt)
{
    Session session;
    ASSERT_EQ(session.create(rawAvi(6, 4), 0), 1);
    ASSERT_EQ(session.startCapture(), S_OK);

    HRESULT hr = E_FAIL;
    EXPECT_EQ(session.create(mjpegAvi(), 1, &hr), 1);
    EXPECT_EQ(hr, S_OK);
    EXPECT_TRUE(session.m_bCreated);
    EXPECT_FALSE(session.m_bStarted);
    EXPECT_TRUE(session.m_bFlip);
    EXPECT_EQ(session.m_nWidth, 64);
    EXPECT_EQ(session.m_nHeight, 48);
    ASSERT_NE(session.m_pImageHeader, nullptr);
    EXPECT_EQ(session.m_pImageHeader->width, 64);

    // The replacement is one session: one teardown ends it.
    EXPECT_EQ(session.destroyCapture(), S_FALSE);
    EXPECT_EQ(session.destroyCapture(), S_OK);

    // A replacement that fails leaves the object Idle.
    ASSERT_EQ(session.create(rawAvi(6, 4), 0), 1);
    EXPECT_EQ(session.create(audioOnly(), 0), 0);
    EXPECT_FALSE(session.m_bCreated);
    EXPECT_TRUE(session.holdsNothing());
    EXPECT_EQ(session.destroyCapture(), S_OK);
}

TEST_F(CaptureSession, StartWithoutASessionDoesNothing)
{
    Session session;
    EXPECT_EQ(session.startCapture(), S_OK);
    EXPECT_FALSE(session.m_bStarted);

    EXPECT_EQ(session.create(audioOnly(), 0), 0);
    EXPECT_EQ(session.startCapture(), S_OK);
    EXPECT_FALSE(session.m_bStarted);

    ASSERT_EQ(session.create(rawAvi(6, 4), 0), 1);
    session.destroyCapture();
    EXPECT_EQ(session.startCapture(), S_OK);
    EXPECT_FALSE(session.m_bStarted);
}

// Each created session gives back exactly the initialisation it holds.
TEST_F(CaptureSession, ComInitialisationStaysBalanced)
{
    onFreshThread([] {
        Session session;
        EXPECT_FALSE(apartmentBalanced()) << "object creation initialises COM";

        for (int cycle = 0; cycle < 3; ++cycle) {
            ASSERT_EQ(session.create(rawAvi(6, 4), cycle & 1), 1);
            session.startCapture();
            session.destroyCapture();
            EXPECT_TRUE(apartmentBalanced()) << "after cycle " << cycle;
        }

        // A failed create after a teardown gives back what it took.
        EXPECT_EQ(session.create(audioOnly(), 0), 0);
        EXPECT_TRUE(apartmentBalanced());

        // A replaced session is still one initialisation.
        ASSERT_EQ(session.create(rawAvi(6, 4), 0), 1);
        ASSERT_EQ(session.create(rawAvi(6, 4), 0), 1);
        session.destroyCapture();
        EXPECT_TRUE(apartmentBalanced());
    });
}

TEST_F(CaptureSession, FailedFirstCreateKeepsTheObjectsInitialisation)
{
    onFreshThread([] {
        Session session;
        EXPECT_EQ(session.create(audioOnly(), 0), 0);
        EXPECT_FALSE(apartmentBalanced());
        ASSERT_EQ(session.create(rawAvi(6, 4), 0), 1);
        session.destroyCapture();
        EXPECT_TRUE(apartmentBalanced());
    });
}

} // namespace
