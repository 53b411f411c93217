// The pipeline's test hooks, which other pieces' tests rely on to make
// pipeline steps fail or behave otherwise.
#include "platform/linux/ComRtExtensions.h"
#include "tests/platform/linux/media/PipelineHarness.h"
#include "tests/support/TestMedia.h"

#include <gtest/gtest.h>

using namespace mediatest;

namespace {

class MediaHooks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new testmedia::TempDir("media-hooks");
        clip = testmedia::makeRawBgrAvi(dir->path(), 9, 5, 2);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    void TearDown() override { ComRtResetMediaHooks(); }

    static testmedia::TempDir* dir;
    static std::string clip;
};
testmedia::TempDir* MediaHooks::dir = nullptr;
std::string MediaHooks::clip;

TEST_F(MediaHooks, EachStepFailsWithTheGivenCodeUntilReset)
{
    for (int i = 0; i < COMRT_MEDIA_STEP_COUNT; ++i) {
        auto step = static_cast<ComRtMediaStep>(i);
        SCOPED_TRACE("step " + std::to_string(i));
        const HRESULT code = HRESULT(0x80040300 + i);
        ComRtFailMediaStep(step, code);
        {
            Chain chain;
            // The chain takes every step but the query for IMediaSeeking.
            EXPECT_EQ(chain.build(clip), step == COMRT_MEDIA_QUERY_MEDIA_SEEKING ? S_OK : code);
            // A refused QueryInterface hands out nothing.
            if (step == COMRT_MEDIA_QUERY_MEDIA_CONTROL) {
                EXPECT_FALSE(chain.control);
            }
            if (step == COMRT_MEDIA_QUERY_MEDIA_EVENT) {
                EXPECT_FALSE(chain.events);
            }
            if (step == COMRT_MEDIA_QUERY_SAMPLE_GRABBER) {
                EXPECT_FALSE(chain.grabber);
            }
            if (step == COMRT_MEDIA_QUERY_MEDIA_SEEKING) {
                Ref<IMediaSeeking> seeking;
                EXPECT_EQ(chain.graph->QueryInterface(IID_IMediaSeeking, seeking.outVoid()), code);
                EXPECT_FALSE(seeking);
            }
        }
        ComRtResetMediaHooks();
        Chain chain;
        EXPECT_EQ(chain.build(clip), S_OK);
    }
    // Asking a step to "fail" with a success code clears it.
    ComRtFailMediaStep(COMRT_MEDIA_CONNECT, E_FAIL);
    ComRtFailMediaStep(COMRT_MEDIA_CONNECT, S_OK);
    Chain chain;
    EXPECT_EQ(chain.build(clip), S_OK);
}

TEST_F(MediaHooks, TopDownOutputHasANegativeHeightAndTheTopRowFirst)
{
    ComRtSetMediaTopDownOutput(TRUE);
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(clip), S_OK);
    EXPECT_EQ(chain.videoInfo().bmiHeader.biWidth, 9);
    EXPECT_EQ(chain.videoInfo().bmiHeader.biHeight, -5);
    ASSERT_TRUE(chain.grabOne(cb));
    testmedia::Frame got = testmedia::frameFromBuffer(cb.pointers[0], 9, 5, false);
    EXPECT_EQ(testmedia::meanAbsDifference(got, testmedia::patternFrame(9, 5, 0)), 0.0);
}

TEST_F(MediaHooks, NoSampleRunsCompleteWithoutACallback)
{
    ComRtSetMediaDeliverNoSample(TRUE);
    RecordingCallback cb;
    Chain chain;
    ASSERT_EQ(chain.build(clip), S_OK);
    chain.listen(cb);
    EXPECT_EQ(chain.runToCompletion(), EC_COMPLETE);
    EXPECT_EQ(cb.samples, 0);
}

} // namespace
