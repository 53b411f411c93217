// Running, waiting and stopping: Stop joins the streaming thread, waits
// never hang, a graph runs again after a stop, and letting go of a running
// graph (even from inside its own callback) stops it cleanly.
#include "tests/platform/linux/media/PipelineHarness.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sched.h>

using namespace mediatest;
using namespace std::chrono_literals;

namespace {

class GraphLifecycle : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new testmedia::TempDir("media-lifecycle");
        shortClip = testmedia::makeRawBgrAvi(dir->path(), 16, 8, 3);
        longClip = testmedia::makeRawBgrAvi(dir->path(), 16, 8, 200);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    static bool waitFor(const std::function<bool()>& condition)
    {
        for (int i = 0; i < 500 && !condition(); ++i)
            std::this_thread::sleep_for(10ms);
        return condition();
    }

    static testmedia::TempDir* dir;
    static std::string shortClip;
    static std::string longClip;
};
testmedia::TempDir* GraphLifecycle::dir = nullptr;
std::string GraphLifecycle::shortClip;
std::string GraphLifecycle::longClip;

TEST_F(GraphLifecycle, StopReturnsOnlyWhenNoCallbackCanComeAnyMore)
{
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(longClip), S_OK);
    chain.listen(cb, false);
    cb.onSample = [](IMediaSample*) { std::this_thread::sleep_for(5ms); };
    ASSERT_EQ(chain.control->Run(), S_OK);
    ASSERT_TRUE(waitFor([&] { return cb.samples >= 2; }));

    EXPECT_EQ(chain.control->Stop(), S_OK);
    EXPECT_FALSE(cb.inCallback);
    int seen = cb.samples;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(cb.samples, seen);
    EXPECT_LT(seen, 200);

    // Stopping again, in any state, is harmless; a stopped graph has nothing to wait for.
    EXPECT_EQ(chain.control->Stop(), S_OK);
    LONG code = -1;
    EXPECT_EQ(chain.events->WaitForCompletion(INFINITE, &code), VFW_E_WRONG_STATE);
    EXPECT_EQ(code, 0);
}

TEST_F(GraphLifecycle, RunAfterStopDeliversTheFirstFrameAgain)
{
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(shortClip), S_OK);
    EXPECT_EQ(chain.control->Stop(), S_OK); // before any run
    chain.listen(cb);
    std::vector<uint8_t> reds;
    cb.onSample = [&](IMediaSample* s) {
        BYTE* p = nullptr;
        s->GetPointer(&p);
        reds.push_back(p[2]);
    };
    for (int run = 0; run < 3; ++run) {
        EXPECT_EQ(chain.runToCompletion(), EC_COMPLETE) << "run " << run;
        EXPECT_EQ(chain.control->Stop(), S_OK);
    }
    ASSERT_EQ(reds.size(), 3u);
    for (uint8_t r : reds)
        EXPECT_EQ(r, testmedia::patternPixel(0, 7, 0).r);
}

TEST_F(GraphLifecycle, PausedGraphHasNothingToWaitForUntilItRuns)
{
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(shortClip), S_OK);
    chain.listen(cb);
    ASSERT_EQ(chain.control->Pause(), S_OK);
    OAFilterState state = -1;
    EXPECT_EQ(chain.control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    LONG code = -1;
    EXPECT_EQ(chain.events->WaitForCompletion(INFINITE, &code), VFW_E_WRONG_STATE);
    EXPECT_EQ(cb.samples, 0);
    EXPECT_EQ(chain.runToCompletion(), EC_COMPLETE);
    EXPECT_EQ(cb.samples, 1);
}

TEST_F(GraphLifecycle, WaitTimesOutWithEAbortWhileTheFrameIsHeldUp)
{
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(shortClip), S_OK);
    chain.listen(cb);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    cb.onSample = [released](IMediaSample*) { released.wait(); };
    ASSERT_EQ(chain.control->Run(), S_OK);

    LONG code = -1;
    EXPECT_EQ(chain.events->WaitForCompletion(30, &code), E_ABORT);
    EXPECT_EQ(code, 0);
    release.set_value();
    EXPECT_EQ(chain.events->WaitForCompletion(INFINITE, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);

    LONG_PTR p1 = 0, p2 = 0;
    EXPECT_EQ(chain.events->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(chain.events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

TEST_F(GraphLifecycle, StopFromInsideTheCallbackEndsTheRunWithoutDeadlock)
{
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(longClip), S_OK);
    chain.listen(cb, false);
    IMediaControl* control = chain.control.get();
    cb.onSample = [control](IMediaSample*) { EXPECT_EQ(control->Stop(), S_OK); };
    EXPECT_EQ(chain.runToCompletion(), EC_USERABORT);
    EXPECT_EQ(chain.control->Stop(), S_OK);
    EXPECT_EQ(cb.samples, 1);
}

TEST_F(GraphLifecycle, ReleasingARunningGraphStopsIt)
{
    RecordingCallback cb;
    {
        Chain chain;
        ASSERT_EQ(chain.build(longClip), S_OK);
        chain.listen(cb, false);
        cb.onSample = [](IMediaSample*) { std::this_thread::sleep_for(2ms); };
        ASSERT_EQ(chain.control->Run(), S_OK);
        ASSERT_TRUE(waitFor([&] { return cb.samples >= 1; }));
        chain.control.reset(); // no Stop: the chain's references just go
    }
    int seen = cb.samples;
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(cb.samples, seen);
    EXPECT_EQ(cb.m_refs, 1u); // the grabber gave its reference back
}

TEST_F(GraphLifecycle, ReleasingTheLastReferenceInsideTheCallbackIsSafe)
{
    RecordingCallback cb;
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::atomic<bool> once{false};
    {
        Chain chain;
        ASSERT_EQ(chain.build(longClip), S_OK);
        chain.listen(cb, false);
        IMediaControl* last = chain.control.get();
        last->AddRef();
        cb.onSample = [&, last](IMediaSample*) {
            if (!once.exchange(true)) {
                last->Release();
                done.set_value();
            }
        };
        ASSERT_EQ(chain.control->Run(), S_OK);
        // Everything but the reference the callback drops goes now.
        chain.control.reset();
        chain.events.reset();
        chain.graph.reset();
        chain.source.reset();
        chain.grabber.reset();
        chain.grabberFilter.reset();
        chain.sourceOut.reset();
        chain.grabberIn.reset();
        chain.grabberOut.reset();
        ASSERT_EQ(finished.wait_for(10s), std::future_status::ready);
    }
    ASSERT_TRUE(waitFor([&] { return cb.m_refs == 1u; }));
    int seen = cb.samples;
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(cb.samples, seen);
}

} // namespace

// A one-shot run's thread is queued on the caller's processor to start, but
// must not stay tied to it, and the caller's own set must not change.
TEST_F(GraphLifecycle, OneShotThreadMayRunOnEveryProcessorTheCallerMay)
{
    cpu_set_t callers;
    ASSERT_EQ(sched_getaffinity(0, sizeof callers, &callers), 0);
    for (bool oneShot : {true, false}) {
        SCOPED_TRACE(oneShot ? "one-shot" : "streaming");
        RecordingCallback cb;
        Chain chain;
        ASSERT_EQ(chain.build(shortClip), S_OK);
        chain.listen(cb, oneShot);
        cpu_set_t streaming;
        CPU_ZERO(&streaming);
        cb.onSample = [&](IMediaSample*) {
            if (cb.samples == 0) // the first sample
                sched_getaffinity(0, sizeof streaming, &streaming);
        };
        ASSERT_EQ(chain.runToCompletion(), EC_COMPLETE);
        EXPECT_TRUE(CPU_EQUAL(&streaming, &callers));
        cpu_set_t after;
        ASSERT_EQ(sched_getaffinity(0, sizeof after, &after), 0);
        EXPECT_TRUE(CPU_EQUAL(&after, &callers));
    }
}
