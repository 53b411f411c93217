// Running a session and handing its frame out: layout, flip, and the frames
// of real codecs against FFmpeg's own decode.
#include "tests/capture/CaptureTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace capturetest;
using testmedia::Bgr;

namespace {

unsigned char* const kUntouched = reinterpret_cast<unsigned char*>(0x5A5A5A5A);

Bgr pixelAt(const unsigned char* data, int width, int memoryRow, int x)
{
    const unsigned char* p = data + memoryRow * testmedia::paddedRowBytes(width) + 3 * x;
    return {p[0], p[1], p[2]};
}

MORImageStruct grab(CCaptureSession& session)
{
    MORImageStruct image = {-1, -1, -1, -1, kUntouched};
    EXPECT_EQ(session.Grab(&image), S_OK);
    return image;
}

class FrameDelivery : public ::testing::Test {
protected:
    BoxRecorder boxes;
    MediaHooksGuard hooks;
};

TEST_F(FrameDelivery, GrabBeforeStartWritesOnlyTheGeometry)
{
    Session session;
    MORImageStruct image = grab(session);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.depth, 0);
    EXPECT_EQ(image.channels, 0);
    EXPECT_EQ(image.data, kUntouched);

    ASSERT_EQ(session.create(rawAvi(5, 3), 1), 1);
    image = grab(session);
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(image.depth, 8);
    EXPECT_EQ(image.channels, 3);
    EXPECT_EQ(image.data, kUntouched);

    EXPECT_EQ(session.Grab(nullptr), S_OK);

    // After teardown the last geometry stays, and no address is handed out.
    session.startCapture();
    session.destroyCapture();
    image = grab(session);
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.data, kUntouched);
}

TEST_F(FrameDelivery, WithoutFlipTheBottomRowComesFirst)
{
    Session session;
    ASSERT_EQ(session.create(rawAvi(5, 3), 0), 1);
    ASSERT_EQ(session.startCapture(), S_OK);
    EXPECT_TRUE(session.m_bStarted);

    MORImageStruct image = grab(session);
    ASSERT_NE(image.data, nullptr);
    ASSERT_NE(image.data, kUntouched);
    EXPECT_EQ(image.data, g_pFrameBuffer);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(pixelAt(image.data, 5, row, x), testmedia::patternPixel(x, 2 - row, 0))
                << "memory row " << row << ", x " << x;

    // A second start on a started session keeps the frame it has.
    EXPECT_EQ(session.startCapture(), S_OK);
    EXPECT_EQ(grab(session).data, image.data);
}

TEST_F(FrameDelivery, FlipPutsTheTopRowFirstInPlace)
{
    Session session;
    ASSERT_EQ(session.create(rawAvi(5, 3), 1), 1);
    ASSERT_EQ(session.startCapture(), S_OK);
    ASSERT_NE(g_pFrameBuffer, nullptr);

    // Mark each row's padding byte: the flip moves pixels, never the padding.
    const size_t pitch = testmedia::paddedRowBytes(5);
    ASSERT_EQ(pitch, 16u);
    for (int row = 0; row < 3; ++row)
        g_pFrameBuffer[row * pitch + 15] = static_cast<unsigned char>(0xA0 + row);
    unsigned char* delivered = g_pFrameBuffer;

    // Every Grab on the frame hands it out top row first, not just the first.
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        MORImageStruct image = grab(session);
        ASSERT_EQ(image.data, delivered) << "the flip works in the pipeline's own buffer";
        for (int row = 0; row < 3; ++row) {
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(pixelAt(image.data, 5, row, x), testmedia::patternPixel(x, row, 0))
                    << "memory row " << row << ", x " << x;
            EXPECT_EQ(image.data[row * pitch + 15], 0xA0 + row);
        }
    }
}

TEST_F(FrameDelivery, OddWidthFrameMatchesThePattern)
{
    const std::string& file = rawAvi(321, 241);
    for (VARIANT_BOOL flip : {VARIANT_BOOL(0), VARIANT_BOOL(-1)}) {
        SCOPED_TRACE(flip);
        Session session;
        ASSERT_EQ(session.create(file, flip), 1);
        ASSERT_EQ(session.startCapture(), S_OK);
        MORImageStruct image = grab(session);
        ASSERT_EQ(image.width, 321);
        ASSERT_EQ(image.height, 241);
        ASSERT_NE(image.data, nullptr);
        testmedia::Frame frame = testmedia::frameFromBuffer(image.data, 321, 241, flip == 0);
        EXPECT_TRUE(frame.pixels == testmedia::patternFrame(321, 241).pixels);
        // The middle row of an odd height stays where it was.
        EXPECT_EQ(pixelAt(image.data, 321, 120, 7), testmedia::patternPixel(7, 120, 0));
    }
}

TEST_F(FrameDelivery, RunWithoutASampleHandsOutNoAddress)
{
    // An earlier session leaves the address of a frame whose pipeline is gone.
    {
        Session earlier;
        ASSERT_EQ(earlier.create(rawAvi(5, 3), 0), 1);
        earlier.startCapture();
        ASSERT_NE(g_pFrameBuffer, nullptr);
    }
    ComRtSetMediaDeliverNoSample(TRUE);
    for (VARIANT_BOOL flip : {VARIANT_BOOL(0), VARIANT_BOOL(1)}) {
        SCOPED_TRACE(flip);
        Session session;
        ASSERT_EQ(session.create(rawAvi(5, 3), flip), 1);
        EXPECT_EQ(session.startCapture(), S_OK);
        EXPECT_TRUE(session.m_bStarted);
        MORImageStruct image = grab(session);
        EXPECT_EQ(image.data, nullptr);
        EXPECT_EQ(image.width, 5);
    }
}

TEST_F(FrameDelivery, RunThatAbortsHandsOutNoAddress)
{
    {
        Session earlier;
        ASSERT_EQ(earlier.create(rawAvi(5, 3), 0), 1);
        earlier.startCapture();
        ASSERT_NE(g_pFrameBuffer, nullptr);
    }
    // The run ends in an error before its first sample, as a decoder that
    // fails mid-stream ends it: startCapture still returns, with nothing to hand out.
    ComRtSetMediaAbortRun(E_OUTOFMEMORY);
    for (VARIANT_BOOL flip : {VARIANT_BOOL(0), VARIANT_BOOL(1)}) {
        SCOPED_TRACE(flip);
        Session session;
        ASSERT_EQ(session.create(rawAvi(5, 3), flip), 1);
        session.m_pMediaEvent->AddRef();
        testkit::Ref<IMediaEvent> events(session.m_pMediaEvent);
        EXPECT_EQ(session.startCapture(), S_OK);
        EXPECT_TRUE(session.m_bStarted);
        LONG code = 0;
        EXPECT_EQ(events->WaitForCompletion(0, &code), S_OK);
        EXPECT_EQ(code, EC_ERRORABORT) << "the run did not abort";
        MORImageStruct image = grab(session);
        EXPECT_EQ(image.data, nullptr);
        EXPECT_EQ(image.width, 5);
        EXPECT_EQ(session.destroyCapture(), S_FALSE);
    }
}

TEST_F(FrameDelivery, TopDownFrameIsHandedOutButNeverFlippedWithoutAHeader)
{
    ComRtSetMediaTopDownOutput(TRUE);
    {
        Session session;
        ASSERT_EQ(session.create(rawAvi(5, 3), 0), 1);
        EXPECT_EQ(session.m_nHeight, -3) << "the height keeps its sign";
        EXPECT_EQ(session.m_pImageHeader, nullptr);
        ASSERT_EQ(session.startCapture(), S_OK);
        MORImageStruct image = grab(session);
        EXPECT_EQ(image.height, -3);
        ASSERT_EQ(image.data, g_pFrameBuffer);
        ASSERT_NE(image.data, nullptr);
        EXPECT_TRUE(testmedia::frameFromBuffer(image.data, 5, 3, false).pixels ==
                    testmedia::patternFrame(5, 3).pixels);
    }
    {
        Session session;
        ASSERT_EQ(session.create(rawAvi(5, 3), 1), 1);
        ASSERT_EQ(session.startCapture(), S_OK);
        ASSERT_NE(g_pFrameBuffer, nullptr);
        MORImageStruct image = grab(session);
        EXPECT_EQ(image.data, nullptr);
        // The buffer was not touched.
        EXPECT_TRUE(testmedia::frameFromBuffer(g_pFrameBuffer, 5, 3, false).pixels ==
                    testmedia::patternFrame(5, 3).pixels);
    }
}

struct CodedClip {
    const char* name;
    std::string (*make)(const std::string& dir, int width, int height, int frames);
    int width;
    int height;
};

void PrintTo(const CodedClip& clip, std::ostream* out)
{
    *out << clip.name;
}

std::string placeUnderNonAscii(const std::string& dir, int width, int height, int frames)
{
    return testmedia::placeUnderNonAsciiPath(testmedia::makeMjpegAvi(dir, width, height, frames), dir);
}

class CodedFrame : public FrameDelivery, public ::testing::WithParamInterface<CodedClip> {};

// A decoded frame is FFmpeg's own first frame, up to rounding in the colour conversion.
TEST_P(CodedFrame, MatchesFfmpegsFirstFrame)
{
    const CodedClip& clip = GetParam();
    const std::string file = clip.make(mediaDir().path(), clip.width, clip.height, 3);
    const testmedia::Frame expected = testmedia::expectedFirstFrame(file);
    ASSERT_EQ(expected.width, clip.width);

    for (VARIANT_BOOL flip : {VARIANT_BOOL(0), VARIANT_BOOL(1)}) {
        SCOPED_TRACE(flip);
        Session session;
        ASSERT_EQ(session.create(file, flip), 1);
        ASSERT_EQ(session.startCapture(), S_OK);
        MORImageStruct image = grab(session);
        EXPECT_EQ(image.width, clip.width);
        EXPECT_EQ(image.height, clip.height);
        EXPECT_EQ(image.depth, 8);
        EXPECT_EQ(image.channels, 3);
        ASSERT_NE(image.data, nullptr);
        testmedia::Frame got = testmedia::frameFromBuffer(image.data, clip.width, clip.height, flip == 0);
        double difference = testmedia::meanAbsDifference(got, expected);
        EXPECT_GE(difference, 0.0);
        EXPECT_LT(difference, 1.5);
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, CodedFrame,
                         ::testing::Values(CodedClip{"Mjpeg", testmedia::makeMjpegAvi, 96, 64},
                                           CodedClip{"H264", testmedia::makeH264Mp4, 96, 64},
                                           CodedClip{"Mpeg4", testmedia::makeMpeg4Avi, 96, 64},
                                           CodedClip{"NonAsciiPath", placeUnderNonAscii, 64, 48}),
                         [](const ::testing::TestParamInfo<CodedClip>& info) { return info.param.name; });

} // namespace
