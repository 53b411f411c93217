// Frames through the platform's media pipeline: generated single-frame clips
// against FFmpeg's own first frame, in both row orders, and a file that does
// not exist, whose two message boxes are answered.
#include "tests/host/HostTestSupport.h"

#include <cstdio>

namespace host {
namespace {

// The registered class, created in an apartment of the test's own, and the clips.
class Capture : public ::testing::Test {
protected:
    void SetUp() override
    {
        HOST_REQUIRE_REGISTRATION();
        std::string error;
        clips = testClips(error);
        ASSERT_FALSE(clips.empty()) << error;
        ASSERT_EQ(CoCreateInstance(CLSID_CCMORVENProc, nullptr, CLSCTX_INPROC_SERVER, IID_ICMORVENProc,
                                   object.outVoid()),
                  S_OK);
    }

    Apartment com;
    std::vector<Clip> clips;
    Ref<ICMORVENProc> object;
};

TEST_F(Capture, FirstFrameOfEachClipMatchesFfmpegsInBothRowOrders)
{
    unsigned char sentinel = 0;
    for (const Clip& clip : clips) {
        for (const VARIANT_BOOL flip : {VARIANT_BOOL(0), VARIANT_BOOL(VARIANT_TRUE)}) {
            SCOPED_TRACE(clip.name + (flip ? " flipped" : " as delivered"));
            Bstr path(widen(clip.path));
            VARIANT_BOOL created = 7;
            ASSERT_EQ(object->createCapture(path.get(), flip, &created), S_OK);
            ASSERT_EQ(created, 1) << "the out value is 1, not VARIANT_TRUE";

            // Before the pipeline ran: the geometry, but no data yet.
            MORImageStruct image{0, 0, 0, 0, &sentinel};
            EXPECT_EQ(object->Grab(&image), S_OK);
            EXPECT_EQ(image.width, clip.width);
            EXPECT_EQ(image.height, clip.height) << "frames come bottom-up with a positive height";
            EXPECT_EQ(image.data, &sentinel);

            ASSERT_EQ(object->startCapture(), S_OK);
            image = MORImageStruct{};
            ASSERT_EQ(object->Grab(&image), S_OK);
            EXPECT_EQ(image.width, clip.width);
            EXPECT_EQ(image.height, clip.height);
            EXPECT_EQ(image.depth, 8);
            EXPECT_EQ(image.channels, 3);
            ASSERT_NE(image.data, nullptr);
            if (image.width == clip.width && image.height == clip.height) {
                // Without the flip the buffer starts with the bottom row, with it the top row.
                const testmedia::Frame got = testmedia::frameFromBuffer(image.data, clip.width, clip.height, !flip);
                const testmedia::Frame reversed =
                    testmedia::frameFromBuffer(image.data, clip.width, clip.height, flip);
                const double difference = testmedia::meanAbsDifference(got, clip.reference);
                std::printf("[          ] %s%s: mean difference %.2f from FFmpeg's first frame\n", clip.name.c_str(),
                            flip ? " (flipped)" : "", difference);
                EXPECT_GE(difference, 0);
                EXPECT_LE(difference, frameTolerance());
                EXPECT_GT(testmedia::meanAbsDifference(reversed, clip.reference), difference + 10)
                    << "rows in the wrong order";
            }

            EXPECT_EQ(object->destroyCapture(), S_FALSE);
            EXPECT_EQ(object->destroyCapture(), S_OK);
            // Teardown keeps the last geometry.
            image = MORImageStruct{0, 0, 0, 0, &sentinel};
            EXPECT_EQ(object->Grab(&image), S_OK);
            EXPECT_EQ(image.width, clip.width);
            EXPECT_EQ(image.height, clip.height);
            EXPECT_EQ(image.data, &sentinel);
        }
    }
}

TEST_F(Capture, MissingFileShowsTheTwoMessageBoxesAndFailsWithoutHanging)
{
    const std::string missing = scratchFolder() + "no-such-video.avi";
    Bstr path(widen(missing));
    VARIANT_BOOL created = 7;
    HRESULT hr;
    std::vector<ShownBox> boxes;
    {
        MessageBoxAnswerer answerer({"0", "1"});
        const DWORD start = GetTickCount();
        hr = object->createCapture(path.get(), VARIANT_TRUE, &created);
        boxes = answerer.stop();
        EXPECT_LT(GetTickCount() - start, 30000u) << "the boxes were not answered in time";
    }
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_EQ(created, 0);
    const std::vector<ShownBox> expected = {{"0", missing}, {"1", "AddSourceFilter"}};
    EXPECT_EQ(boxes.size(), expected.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].caption, i < expected.size() ? expected[i].caption : "") << i;
        EXPECT_EQ(boxes[i].text, i < expected.size() ? expected[i].text : "") << i;
    }
    EXPECT_EQ(object->destroyCapture(), S_OK) << "a failed createCapture leaves nothing to destroy";

    // The object is still usable for a file that exists.
    Bstr good(widen(clips.front().path));
    ASSERT_EQ(object->createCapture(good.get(), 0, &created), S_OK);
    EXPECT_EQ(created, 1);
    ASSERT_EQ(object->startCapture(), S_OK);
    MORImageStruct image{};
    EXPECT_EQ(object->Grab(&image), S_OK);
    EXPECT_NE(image.data, nullptr);
    EXPECT_EQ(object->destroyCapture(), S_FALSE);
}

} // namespace
} // namespace host
